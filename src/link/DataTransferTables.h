#pragma once

// Per category (0 to 16): the fixed size of its items, and the parameter
// holding the first half of an item's 8-byte name.

#include <cstdint>

namespace qel::transfer {

// The size of every item of the category in bytes; 0 when the size differs
// per item and must be asked from the keyboard (parameter 3). 0 for any value
// outside 0 to 16.
std::int32_t fixedSize(std::uint16_t category);

// The first of the two name parameters; a value with bit 7 set (noName) means
// that items of the category carry no name. noName for any value outside 0 to 16.
std::uint16_t nameParameter(std::uint16_t category);

inline constexpr std::uint16_t noName = 0x80;
inline constexpr std::uint16_t sizeParameter = 3;

// True when items of the category carry no name.
inline bool hasNoName(std::uint16_t parameter) {
    return (parameter & 0x80) != 0;
}

} // namespace qel::transfer
