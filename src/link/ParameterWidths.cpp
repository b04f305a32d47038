#include "link/ParameterWidths.h"

#include <array>
#include <initializer_list>

namespace qel::parameterWidths {
namespace {

// One run of equal widths: `width` repeated `count` times. The rows below are
// written as runs so that they read like the keyboard's parameter list.
struct Run {
    std::uint8_t width;
    std::uint8_t count;
};

template <std::size_t N>
constexpr std::array<std::uint8_t, N> expand(std::initializer_list<Run> runs) {
    std::array<std::uint8_t, N> widths{};
    std::size_t at = 0;
    for (const Run& run : runs) {
        for (int i = 0; i < run.count; ++i)
            widths.at(at++) = run.width; // at() fails the constant evaluation on overflow
    }
    if (at != N)
        throw "row length differs from its declared size";
    return widths;
}

constexpr auto command = expand<128>({
    {14, 1}, {1, 1},  {1, 1},  {16, 1}, {8, 1},  {8, 1},  {16, 1}, {0, 25}, {7, 1},
    {32, 1}, {32, 1}, {16, 5}, {32, 1}, {7, 1},  {16, 1}, {0, 5},  {2, 1},  {7, 1},
    {2, 1},  {4, 1},  {1, 1},  {4, 1},  {4, 1},  {1, 3},  {0, 3},  {16, 1}, {16, 1},
    {14, 1}, {16, 1}, {16, 1}, {32, 3}, {0, 11}, {16, 4}, {0, 8},  {16, 4}, {32, 32},
});
constexpr auto patch = expand<128>({
    {7, 1}, {4, 1},  {1, 1},  {1, 1},  {8, 1},  {7, 1},  {0, 1},  {0, 1},  {7, 3}, {1, 1},
    {2, 1}, {2, 1},  {7, 1},  {1, 1},  {5, 1},  {7, 5},  {16, 1}, {16, 1}, {5, 1}, {7, 5},
    {0, 1}, {0, 1},  {5, 1},  {7, 8},  {2, 1},  {7, 1},  {7, 1},  {8, 1},  {8, 1}, {7, 1},
    {7, 1}, {32, 1}, {32, 1}, {7, 3},  {0, 3},  {7, 24}, {14, 1}, {3, 1},  {1, 1}, {4, 1},
    {8, 1}, {7, 5},  {0, 6},  {32, 1}, {32, 1}, {8, 1},  {7, 1},  {1, 1},  {3, 1}, {7, 10},
    {4, 4}, {7, 4},  {0, 1},  {0, 1},  {4, 1},  {7, 5},
});
constexpr auto tone = expand<126>({
    {0, 48}, {32, 1}, {32, 1}, {7, 3},  {0, 3}, {7, 24}, {0, 16}, {32, 1}, {32, 1}, {8, 1},
    {7, 1},  {1, 1},  {3, 1},  {7, 10}, {4, 4}, {7, 4},  {0, 1},  {0, 1},  {4, 1},  {7, 3},
});
constexpr auto timber = expand<29>({
    {32, 1},
    {32, 1},
    {8, 1},
    {1, 1},
    {1, 1},
    {8, 1},
    {8, 1},
    {0, 9},
    {4, 1},
    {7, 3},
    {0, 4},
    {14, 1},
    {7, 4},
});
constexpr auto drum = expand<24>({
    {32, 1},
    {32, 1},
    {7, 4},
    {32, 1},
    {0, 9},
    {14, 1},
    {7, 1},
    {2, 1},
    {1, 1},
    {7, 4},
});
constexpr auto voice = expand<45>({
    {7, 1}, {7, 1}, {3, 1}, {8, 1}, {8, 1}, {16, 1}, {7, 10}, {0, 16}, {7, 1}, {7, 1}, {14, 1},
    {2, 1}, {1, 1}, {8, 1}, {8, 1}, {2, 1}, {2, 1},  {7, 1},  {9, 1},  {7, 1}, {9, 1},
});
constexpr auto inst = expand<18>({
    {7, 1},
    {7, 1},
    {1, 1},
    {14, 1},
    {2, 1},
    {8, 1},
    {8, 1},
    {16, 1},
    {7, 7},
    {9, 1},
    {7, 1},
    {9, 1},
});
constexpr auto wave = expand<11>({
    {16, 1},
    {7, 4},
    {2, 1},
    {27, 1},
    {3, 1},
    {16, 1},
    {32, 1},
    {32, 1},
});
constexpr auto waveData = expand<4>({{1, 1}, {15, 1}, {16, 1}, {32, 1}});
// Song, Rhythm and SMF share one layout: parameter 3 is the data size, 4 and 5
// the name.
constexpr auto variableSize = expand<6>({{1, 1}, {15, 1}, {16, 1}, {32, 3}});
constexpr auto dsp = expand<80>({{0, 48}, {32, 1}, {32, 1}, {7, 3}, {0, 3}, {7, 24}});
constexpr auto registration = expand<54>({
    {8, 1},  {8, 1}, {7, 1}, {8, 4}, {16, 1}, {16, 1}, {8, 9}, {7, 12}, {8, 1},
    {16, 1}, {2, 1}, {2, 1}, {7, 1}, {1, 1},  {8, 1},  {8, 1}, {3, 1},  {1, 1},
    {8, 1},  {7, 3}, {1, 1}, {7, 3}, {4, 1},  {7, 1},  {4, 1}, {7, 3},
});
constexpr auto drawbarOrgan = expand<120>({
    {2, 1}, {2, 1},  {7, 1},  {1, 1},  {0, 12}, {32, 1}, {32, 1}, {7, 3},
    {0, 3}, {7, 24}, {32, 1}, {32, 1}, {8, 1},  {7, 1},  {0, 12}, {4, 1},
    {7, 3}, {0, 32}, {1, 1},  {3, 1},  {7, 10}, {4, 4},  {7, 4},
});
constexpr auto analogSynth = expand<99>({
    {32, 1}, {32, 1}, {7, 1}, {7, 1}, {8, 1}, {0, 1}, {0, 1}, {1, 1},  {3, 1}, {1, 1}, {7, 6},
    {2, 1},  {7, 6},  {0, 1}, {1, 1}, {2, 1}, {7, 8}, {3, 1}, {7, 6},  {3, 1}, {7, 1}, {1, 4},
    {0, 1},  {7, 7},  {0, 1}, {7, 5}, {0, 3}, {7, 1}, {7, 1}, {0, 1},  {0, 1}, {7, 3}, {0, 1},
    {0, 1},  {7, 4},  {0, 3}, {7, 7}, {0, 9}, {7, 1}, {7, 1}, {32, 1},
});

constexpr std::array<std::span<const std::uint8_t>, 17> rows = {
    command,      patch,
    tone,         timber,
    drum,         voice,
    inst,         wave,
    waveData,     dsp,
    variableSize, variableSize,
    registration, drawbarOrgan,
    analogSynth,  std::span<const std::uint8_t>{}, // category 15: no row
    variableSize,
};

} // namespace

std::span<const std::uint8_t> row(std::uint16_t category) {
    if (category >= rows.size())
        return {};
    return rows[category];
}

std::uint8_t width(std::uint16_t category, std::uint16_t parameter) {
    const auto widths = row(category);
    return parameter < widths.size() ? widths[parameter] : 0;
}

} // namespace qel::parameterWidths
