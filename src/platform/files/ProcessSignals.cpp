#include "platform/files/ProcessSignals.h"

#include <atomic>
#include <csignal>

namespace qel::platform {

namespace {

// The one piece of state a signal handler may touch: lock-free, the first
// signal's number, 0 before any came.
std::atomic<int>& interruptFlag() {
    static std::atomic<int> flag{0};
    return flag;
}

extern "C" void onInterrupt(int signal) {
    int none = 0;
    interruptFlag().compare_exchange_strong(none, signal);
}

} // namespace

void catchInterruptSignals() {
    static_assert(std::atomic<int>::is_always_lock_free);
    (void)interruptFlag(); // made before any signal can come
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interruptSignalled() {
    return interruptFlag().load() != 0;
}

int interruptSignalNumber() {
    return interruptFlag().load();
}

void ignoreBrokenPipes() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
}

} // namespace qel::platform
