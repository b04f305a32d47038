#include "kbdsim/SimulatorOptions.h"

namespace kbdsim {

bool MessageSelector::matches(std::size_t messageOrdinal, MessageKind messageKind) const {
    if (ordinal != 0 && ordinal == messageOrdinal)
        return true;
    if (!kind)
        return false;
    if (*kind == messageKind)
        return true;
    return *kind == MessageKind::ParameterRequest && messageKind == MessageKind::ModelRequest;
}

} // namespace kbdsim
