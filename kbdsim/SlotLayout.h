#pragma once

// The keyboard's user memory map: which (category, number) pairs are user
// slots, what size their blocks have, where their names live, and how tone and
// drum groups number their child blocks and refer to them.
//
// User slots:
//   Tone 750-849 (user tones) and 850-869 (the tones of the 20 tone groups),
//   DSP 100-199, Drawbar Organ 100-199, Rhythm 140-155, Registration 32-63,
//   Song 0-4, SMF 0-199,
//   tone group k = N - 850 (N = 850..869): Timbre 520+k, Voice 950+4k.., Wave and
//   Wave Data 800+64k.. (64 of each),
//   drum group k = N - 17 (N = 17..20): Drum N, Inst 240+128k.., Wave and Wave
//   Data 2080+128k.. (128 of each).
//
// These tables are written here a second time on purpose, apart from the
// program's own (src/core/KeyboardTables.h): the simulator plays the keyboard
// against the program, so a wrong number on one side shows up as a failed
// test instead of being shared by both.

#include "kbdsim/KeyboardSimulator.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kbdsim::layout {

inline constexpr std::uint16_t firstToneGroup = 850;
inline constexpr std::uint16_t toneGroupCount = 20;
inline constexpr std::uint16_t firstDrumGroup = 17;
inline constexpr std::uint16_t drumGroupCount = 4;
inline constexpr std::uint16_t wavesPerToneGroup = 64;
inline constexpr std::uint16_t wavesPerDrumGroup = 128;
inline constexpr std::uint16_t voicesPerToneGroup = 4;

// Length of every item name.
inline constexpr std::size_t nameLength = 8;

// True when (category, number) is a user slot of the keyboard.
bool isUserSlot(std::uint16_t category, std::uint16_t number);

// The fixed block size of a category, 0 for the variable-size ones (Wave Data,
// Song, Rhythm, SMF) and for categories without user slots.
std::size_t fixedSize(std::uint16_t category);

// True for Wave Data, Song, Rhythm and SMF: their items may be empty and count
// against a memory area.
bool isVariableSize(std::uint16_t category);

// Where the name of an item of the category lives inside its data: Tone 36,
// Timbre 0, Drum 0, DSP 0, Rhythm 2, Drawbar Organ 58. Nothing for categories
// whose name is kept apart from the data (Song, SMF) or that have none.
std::optional<std::size_t> nameOffsetInData(std::uint16_t category);

// The first parameter of the name pair of a category (Tone 96, Timbre and Drum 0,
// DSP and Drawbar Organ 48, Song, Rhythm and SMF 4); nothing for the others.
std::optional<std::uint16_t> nameParameter(std::uint16_t category);

// The group a child block belongs to: the group's number (850-869 or 17-20),
// or nothing when the block is in no tone or drum group.
std::optional<std::uint16_t> groupOf(std::uint16_t category, std::uint16_t number);

// First child number of a category within the tone group numbered
// `group` (850-869) or the drum group numbered `group` (17-20), and the count.
struct ChildRange {
    std::uint16_t category;
    std::uint16_t first;
    std::uint16_t count;
};
// The child ranges of a tone group in send order: Tone, Timbre, Voice, Wave, Wave Data.
std::array<ChildRange, 5> toneGroupChildren(std::uint16_t group);
// The child ranges of a drum group in send order: Drum, Inst, Wave, Wave Data.
std::array<ChildRange, 4> drumGroupChildren(std::uint16_t group);

// Writes into `data` the references of a group block numbered `number` to the
// blocks of its own group, as a group laid out by the numbering above has them
// (16-bit big-endian): Tone -> its Timbre, Timbre -> its 4 Voices, Voice -> its
// 16 Waves, Drum -> its 128 Insts, Inst -> its Wave. The top two bits of Timbre
// and Inst references are kept. Other categories, and data too short to hold
// the references, are left unchanged.
void writeGroupReferences(std::uint16_t category, std::uint16_t number, Bytes& data);

} // namespace kbdsim::layout
