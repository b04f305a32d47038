#pragma once

// Where the blocks of a tone group or drum group live on the keyboard. A group
// numbered N (the k-th group, k = N - base group number) keeps each category's
// blocks from number k * step + base upwards.

#include "model/Catalogue.h"

#include <cstdint>
#include <span>

namespace qel::groupLayout {

struct Row {
    category::id category;
    std::uint16_t count; // blocks of this category in one group
    std::uint16_t step;
    std::uint16_t base;
};

inline constexpr std::uint16_t firstToneGroup = 850;
inline constexpr std::uint16_t firstDrumGroup = 17;

// In the order the children are created, received and sent.
inline constexpr Row toneGroup[] = {
    {category::Tone, 1, 1, 850},   {category::Timber, 1, 1, 520},     {category::Voice, 4, 4, 950},
    {category::Wave, 64, 64, 800}, {category::WaveData, 64, 64, 800},
};
inline constexpr Row drumGroup[] = {
    {category::Drum, 1, 1, 17},
    {category::Inst, 128, 128, 240},
    {category::Wave, 128, 128, 2080},
    {category::WaveData, 128, 128, 2080},
};

// The rows of a group type (3 tone group, 4 drum group); empty for other types.
inline std::span<const Row> rows(type::id type) {
    if (type == type::UserToneWithWave)
        return toneGroup;
    if (type == type::UserDrumWithWave)
        return drumGroup;
    return {};
}

// The group number of the first group of a group type.
inline std::uint16_t firstGroup(type::id type) {
    return type == type::UserDrumWithWave ? firstDrumGroup : firstToneGroup;
}

// The row of `category` in the layout of a group type, or null.
inline const Row* find(type::id type, category::id category) {
    for (const Row& row : rows(type))
        if (row.category == category)
            return &row;
    return nullptr;
}

// The number of the first block of `category` in group `group` (modulo 65536).
inline std::uint16_t firstNumber(const Row& row, type::id type, std::uint16_t group) {
    return static_cast<std::uint16_t>((group - firstGroup(type)) * row.step + row.base);
}

} // namespace qel::groupLayout
