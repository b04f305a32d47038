#pragma once

#include <cstdint>
#include <vector>

namespace qel {

// Holds every SysEx message, data block, item payload and file image.
using ByteVector = std::vector<std::uint8_t>;

} // namespace qel
