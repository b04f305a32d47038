#include "cli/Interrupt.h"

#include "platform/files/ProcessSignals.h"

namespace qel::cli {

void catchInterrupts() {
    platform::catchInterruptSignals();
}

bool interrupted() {
    return platform::interruptSignalled();
}

} // namespace qel::cli
