#pragma once

// The keyboard's numbers, each written once: the sizes and name parameters of
// every category, where the parts of tone and drum groups live, how the slots
// of each data type are numbered, the two memory areas, and the commands that
// delete items and reset settings. Everything above this layer takes these
// numbers from here. (The keyboard simulator keeps tables of its own on
// purpose, so that it checks this side instead of repeating it.)

#include "core/Catalogue.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qel {

// ---------------------------------------------------------------------------
// Sizes and names of items, per category 0 to 16.
namespace transfer {

// The size parameter (3) asks an item's size; a name is asked as two 4-byte
// halves from the category's name parameter and the one after it.
inline constexpr std::uint16_t sizeParameter = 3;
// A name parameter with bit 7 set: items of the category carry no name.
inline constexpr std::uint16_t noName = 0x80;
// Items travel in data blocks of this many bytes (the last one may be shorter).
inline constexpr std::size_t blockSize = 128;

namespace detail {
struct CategoryEntry {
    std::int32_t fixedSize; // 0: differs per item, asked from the keyboard
    std::uint16_t nameParameter;
};
inline constexpr std::array<CategoryEntry, category::count> categories{{
    {216, noName}, // 0 Command
    {868, noName}, // 1 Patch
    {70, 96},      // 2 Tone
    {40, 0},       // 3 Timbre
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
} // namespace detail

// The size of every item of the category in bytes; 0 when the size differs per
// item and must be asked from the keyboard, and for any value outside 0 to 16.
constexpr std::int32_t fixedSize(std::uint16_t category) {
    return category < detail::categories.size() ? detail::categories[category].fixedSize : 0;
}

// The first of the two name parameters; noName for categories without names
// and for any value outside 0 to 16.
constexpr std::uint16_t nameParameter(std::uint16_t category) {
    return category < detail::categories.size() ? detail::categories[category].nameParameter
                                                : noName;
}

// True when a name parameter says that the items carry no name.
constexpr bool hasNoName(std::uint16_t parameter) {
    return (parameter & noName) != 0;
}

} // namespace transfer

// Where the 8-byte name of an item lies inside its own bytes (as sent and as
// stored in a container file after its header); nothing for categories whose
// items carry no name in their data.
constexpr std::optional<std::size_t> nameOffsetInData(category::id c) {
    switch (c) {
    case category::Tone:
        return 36;
    case category::Drum:
        return 0;
    case category::DSP:
        return 0;
    case category::Rhythm:
        return 2;
    case category::DrawbarOrgan:
        return 58;
    default:
        return std::nullopt;
    }
}

// ---------------------------------------------------------------------------
// Where the blocks of a tone group or drum group live on the keyboard. A group
// numbered N (the k-th group, k = N - the first group's number) keeps each
// category's blocks from number k * step + base upwards.
namespace groupLayout {

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
    {category::Tone, 1, 1, 850},   {category::Timbre, 1, 1, 520},     {category::Voice, 4, 4, 950},
    {category::Wave, 64, 64, 800}, {category::WaveData, 64, 64, 800},
};
inline constexpr Row drumGroup[] = {
    {category::Drum, 1, 1, 17},
    {category::Inst, 128, 128, 240},
    {category::Wave, 128, 128, 2080},
    {category::WaveData, 128, 128, 2080},
};

// The rows of a group type (3 tone group, 4 drum group); empty for other types.
constexpr std::span<const Row> rows(type::id type) {
    if (type == type::UserToneWithWave)
        return toneGroup;
    if (type == type::UserDrumWithWave)
        return drumGroup;
    return {};
}

// The group number of the first group of a group type.
constexpr std::uint16_t firstGroup(type::id type) {
    return type == type::UserDrumWithWave ? firstDrumGroup : firstToneGroup;
}

// The row of `category` in the layout of a group type, or null.
constexpr const Row* find(type::id type, category::id category) {
    for (const Row& row : rows(type))
        if (row.category == category)
            return &row;
    return nullptr;
}

// Blocks of `category` in one group of a group type; 0 when it has none.
// (Without pointers: GCC's UB sanitizer makes pointer tests non-constant.)
constexpr std::uint16_t count(type::id type, category::id category) {
    for (const Row& row : rows(type))
        if (row.category == category)
            return row.count;
    return 0;
}

// The number of the first block of `category` in the first group of a group
// type; 0 when the type's groups have none.
constexpr std::uint16_t base(type::id type, category::id category) {
    for (const Row& row : rows(type))
        if (row.category == category)
            return row.base;
    return 0;
}

// The number of the first block of `category` in group `group` (modulo 65536).
constexpr std::uint16_t firstNumber(const Row& row, type::id type, std::uint16_t group) {
    return static_cast<std::uint16_t>((group - firstGroup(type)) * row.step + row.base);
}

// A 16-bit big-endian reference inside a group part's bytes to the blocks of
// another part of the same group: `count` references from `offset`, `stride`
// bytes apart. keepTopBits: the two top bits of the stored value are flags
// that a rewrite keeps.
struct Reference {
    category::id from;
    category::id to;
    std::size_t offset;
    std::size_t stride;
    std::uint16_t count;
    bool keepTopBits;
};

inline constexpr Reference references[] = {
    {category::Tone, category::Timbre, 44, 0, 1, false}, // a tone's timbre
    {category::Timbre, category::Voice, 16, 6, 4, true}, // a timbre's four voices
    {category::Voice, category::Wave, 28, 8, 16, false}, // a voice's 16 waves
    {category::Drum, category::Inst, 32, 8, 128, false}, // a drum set's 128 insts
    {category::Inst, category::Wave, 2, 0, 1, true},     // an inst's wave
};

// The references that a part of category `c` of a group type holds; `to` is
// looked up in the layout of that type (a tone group's waves, or a drum
// group's).
constexpr std::span<const Reference> referencesFrom(category::id c) {
    for (std::size_t i = 0; i < std::size(references); ++i)
        if (references[i].from == c) {
            std::size_t end = i;
            while (end < std::size(references) && references[end].from == c)
                ++end;
            return std::span<const Reference>(references + i, end - i);
        }
    return {};
}

} // namespace groupLayout

// ---------------------------------------------------------------------------
// The user data slots of each data type 0 to 9, as the keyboard list shows
// them. Item i of a type (0 <= i < count) has the keyboard number
// firstNumber + i and shows as position firstPosition + i to the player.
namespace kbdSlots {

struct TypeRow {
    std::uint16_t firstPosition;
    std::uint16_t firstNumber;
    std::uint16_t count;
};

inline constexpr std::array<TypeRow, type::selectableCount> types{{
    {600, 750, 100}, // 0 USER TONE
    {100, 100, 100}, // 1 USER DSP
    {100, 100, 100}, // 2 USER DRAWBAR ORGAN
    {700, 850, 20},  // 3 USER TONE WITH WAVE
    {800, 17, 4},    // 4 USER DRUM WITH WAVE
    {140, 140, 16},  // 5 USER RHYTHM
    {0, 32, 32},     // 6 REGISTRATION
    {0, 0, 5},       // 7 SONG
    {0, 0, 200},     // 8 SMF
    {0, 0, 1},       // 9 PACKAGE (never listed from the keyboard)
}};

// The row of a type 0 to 9.
constexpr const TypeRow& of(type::id t) {
    return types[t];
}

// The position a player sees for keyboard number `number` of type `t`.
constexpr std::uint16_t positionOf(type::id t, std::uint16_t number) {
    return static_cast<std::uint16_t>(number - of(t).firstNumber + of(t).firstPosition);
}

// Slots summed over all ten rows.
constexpr int totalCount() {
    int total = 0;
    for (const TypeRow& row : types)
        total += row.count;
    return total;
}

// Where the items of a package go on the keyboard: its reserved slots, the
// last ones of each type. Packages also reserve the last tone group and the
// last drum group.
struct PackageRange {
    std::uint16_t firstNumber;
    std::uint16_t firstPosition;
};

// The reserved slots of package items of category `c`; {0, 0} for categories a
// package does not send on their own.
constexpr PackageRange packageRange(category::id c) {
    switch (c) {
    case category::Tone:
        return {840, 690};
    case category::DSP:
        return {190, 190};
    case category::Rhythm:
        return {148, 148};
    case category::Registration:
        return {24, 24};
    case category::DrawbarOrgan:
        return {190, 190};
    case category::SMF:
        return {190, 190};
    default:
        return {0, 0};
    }
}
inline constexpr PackageRange packageToneGroups{860, 710};
inline constexpr PackageRange packageDrumGroups{20, 803};

} // namespace kbdSlots

// ---------------------------------------------------------------------------
// Memory, models and commands. All commands are parameter values of category
// 0 ("Command"), number 0, one index byte 0.
namespace command {

// The parameter that answers the keyboard's model code, and the one that
// begins a communication (sent before every transfer).
inline constexpr std::uint16_t model = 0;
inline constexpr std::uint16_t beginCommunication = 32;

// The keyboard's two memory areas in bytes.
inline constexpr std::int32_t dataMemorySize = 1572840;
inline constexpr std::int32_t songMemorySize = 65455;
// Parameters that answer the free bytes of each area.
inline constexpr std::uint16_t freeDataMemory = 34;
inline constexpr std::uint16_t freeSongMemory = 33;

// The parameter that empties a slot of type `t`, set to the item's number;
// nothing for the types whose slots cannot be emptied.
constexpr std::optional<std::uint16_t> deleteParameter(type::id t) {
    switch (t) {
    case type::UserToneWithWave:
        return 37;
    case type::UserDrumWithWave:
        return 38;
    case type::UserRhythm:
        return 36;
    case type::Song:
        return 35;
    case type::Smf:
        return 39;
    default:
        return std::nullopt;
    }
}

// The parameter that resets a group of settings, and its values.
inline constexpr std::uint16_t initialize = 41;
enum class InitKind : std::int32_t { Mixer = 0, Parameter = 1, System = 2 };

// The keyboard models by the code getModel answers: the caption of the
// keyboard's tab, and whether it has a memory card and a disk.
struct Model {
    std::int32_t code;
    std::string_view caption;
    bool card;
    bool disk;
};
inline constexpr Model models[] = {
    {1, "TQR-180", false, false},
    {2, "TQ-7000", true, false},
    {3, "TQ-7400", true, true},
};

// The model of `code`, or null for a code no model has.
constexpr const Model* findModel(std::int32_t code) {
    for (const Model& model : models)
        if (model.code == code)
            return &model;
    return nullptr;
}

} // namespace command

} // namespace qel
