#include "cli/StandardOutput.h"

#include "platform/files/ProcessSignals.h"
#include "platform/files/StandardStreams.h"

#include <iostream>

namespace qel::cli {

void ignoreBrokenPipes() {
    platform::ignoreBrokenPipes();
}

bool outputClosed() {
    // Cheap while nothing has failed: checked before every block of a transfer.
    if (std::cout.good())
        return false;
    return platform::standardOutputHungUp();
}

} // namespace qel::cli
