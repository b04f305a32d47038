#include "link/DataTransferTables.h"

#include <array>

namespace qel::transfer {

namespace {

struct Entry {
    std::int32_t fixedSize;
    std::uint16_t nameParameter;
};

constexpr std::array<Entry, 17> table{{
    {216, noName}, // 0 Command
    {868, noName}, // 1 Patch
    {70, 96},      // 2 Tone
    {40, 0},       // 3 Timber
    {1056, 0},     // 4 Drum
    {266, noName}, // 5 Voice
    {50, noName},  // 6 Inst
    {46, noName},  // 7 Wave
    {0, noName},   // 8 Wave Data
    {36, 48},      // 9 DSP
    {0, 4},        // 10 Song
    {0, 4},        // 11 Rhythm
    {240, noName}, // 12 Registration
    {92, 48},      // 13 Drawbar Organ
    {128, noName}, // 14 Analog Synth
    {0, noName},   // 15 (none)
    {0, 4},        // 16 SMF
}};

} // namespace

std::int32_t fixedSize(std::uint16_t category) {
    return category < table.size() ? table[category].fixedSize : 0;
}

std::uint16_t nameParameter(std::uint16_t category) {
    return category < table.size() ? table[category].nameParameter : noName;
}

} // namespace qel::transfer
