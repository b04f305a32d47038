#include "cli/Interrupt.h"

#include "platform/files/ProcessSignals.h"

namespace qel::cli {

void catchInterrupts() {
    platform::catchInterruptSignals();
}

bool interrupted() {
    return platform::interruptSignalled();
}

int interruptedStatus() {
    constexpr int signalledStatus = 128;
    return signalledStatus + platform::interruptSignalNumber();
}

} // namespace qel::cli
