#include "cli/StandardOutput.h"

#include <csignal>
#include <iostream>
#include <poll.h>
#include <unistd.h>

namespace qel::cli {

void ignoreBrokenPipes() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
}

bool outputClosed() {
    // Cheap while nothing has failed: checked before every block of a transfer.
    if (std::cout.good())
        return false;
    // A pipe whose reader has gone reports an error condition to poll(); a
    // full disk or a file that cannot be written does not.
    pollfd output{STDOUT_FILENO, 0, 0};
    return ::poll(&output, 1, 0) == 1 && (output.revents & (POLLERR | POLLHUP)) != 0;
}

} // namespace qel::cli
