#pragma once

// The value width, in bits, of every parameter the keyboard has: one row per
// category, one entry per parameter number. Width 0 marks a parameter number the
// keyboard does not have; category 15 has no row.

#include <cstddef>
#include <cstdint>
#include <span>

namespace qel::parameterWidths {

// The row of a category (0 to 16); empty for category 15 and for any value
// outside 0 to 16.
std::span<const std::uint8_t> row(std::uint16_t category);

// The width of one parameter, 0 when the keyboard does not have it (including
// numbers past the end of the row and categories without a row).
std::uint8_t width(std::uint16_t category, std::uint16_t parameter);

// Number of 7-bit groups that carry a value of `width` bits (1 to 32).
constexpr std::size_t groupCount(std::uint8_t width) {
    return (width - 1u) / 7u + 1u;
}

} // namespace qel::parameterWidths
