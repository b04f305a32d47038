#include "platform/files/ProcessSignals.h"

#include <atomic>
#include <csignal>

namespace qel::platform {

namespace {

// The one piece of state a signal handler may touch: lock-free, set once.
std::atomic<bool>& interruptFlag() {
    static std::atomic<bool> flag{false};
    return flag;
}

extern "C" void onInterrupt(int) {
    interruptFlag().store(true);
}

} // namespace

void catchInterruptSignals() {
    static_assert(std::atomic<bool>::is_always_lock_free);
    (void)interruptFlag(); // made before any signal can come
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interruptSignalled() {
    return interruptFlag().load();
}

void ignoreBrokenPipes() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
}

} // namespace qel::platform
