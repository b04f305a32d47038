#include "platform/files/StandardStreams.h"

#include <poll.h>
#include <unistd.h>

namespace qel::platform {

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

bool standardOutputHungUp() {
    // A pipe whose reader has gone reports an error condition to poll(); a
    // full disk or a file that cannot be written does not.
    pollfd output{STDOUT_FILENO, 0, 0};
    return ::poll(&output, 1, 0) == 1 && (output.revents & (POLLERR | POLLHUP)) != 0;
}

} // namespace qel::platform
