#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>

namespace qel::cli {

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

void catchInterrupts() {
    static_assert(std::atomic<bool>::is_always_lock_free);
    (void)interruptFlag(); // made before any signal can come
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interrupted() {
    return interruptFlag().load();
}

} // namespace qel::cli
