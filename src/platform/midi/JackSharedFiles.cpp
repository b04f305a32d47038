#include "platform/midi/JackSharedFiles.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <jack/jack.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qel::midi {

namespace {

// The child: a client of a server that does not exist makes libjack attach
// to the shared files and then fail, registering nowhere. The parent's other
// threads are not in the child, so it calls nothing but libjack and _exit().
[[noreturn]] void attachAndExit(const char* serverName) {
    // Dying here is the answer, not a fault to inspect: no core file.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    jack_status_t status{};
    const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
    if (jack_client_t* client = jack_client_open("qel-files-check", options, &status, serverName))
        jack_client_close(client);
    ::_exit(0);
}

// Waits up to `bound` for the child behind `pidfd` to end.
bool waitForEnd(int pidfd, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ended{pidfd, POLLIN, 0};
        const int ready = ::poll(&ended, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready == 1)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

std::string storePath() {
    return "/dev/shm/jack_db-" + std::to_string(::getuid());
}

} // namespace

std::string checkJackSharedFiles(std::chrono::milliseconds bound) {
    // Made before the fork: the child allocates nothing of its own.
    const std::string serverName = "qel-no-server-" + std::to_string(::getpid());
    const pid_t child = ::fork();
    if (child == 0)
        attachAndExit(serverName.c_str());
    if (child < 0)
        return {}; // no check possible; libjack is tried as it is
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    // Without a pidfd (a kernel before 5.3) no wait here could be bounded.
    const bool ended = pidfd >= 0 && waitForEnd(pidfd, bound);
    if (pidfd >= 0)
        ::close(pidfd);
    if (!ended)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (pidfd < 0)
        return {}; // no check possible; libjack is tried as it is
    if (!ended)
        return "JACK's shared files hang a client that opens them (" + storePath() +
               " is damaged; it is made afresh once removed while no JACK server runs)";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {};
    // A sanitizer's handler turns the crash into an exit status.
    const std::string how = WIFSIGNALED(status)
                                ? ::strsignal(WTERMSIG(status))
                                : "exit status " + std::to_string(WEXITSTATUS(status));
    return "JACK's shared files crash a client that opens them (" + how + "; " + storePath() +
           " is damaged; it is made afresh once removed while no JACK server runs)";
}

} // namespace qel::midi
