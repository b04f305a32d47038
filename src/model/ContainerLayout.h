#pragma once

// The byte layout of container files: the 64-byte header, the 512-byte package
// directory that follows it in a package, and the fixed sizes and counts of
// package items. Offsets named "data offset" count from the end of the header.

#include "core/ByteVector.h"
#include "core/Catalogue.h"
#include "core/KeyboardTables.h"

#include <cstdint>
#include <string_view>

namespace qel::files {

// The first 15 bytes of every container file; byte 15 is 0x00.
inline constexpr std::string_view containerSignature = "VORLA Music Lib";
// The text at directory offset 402, followed by spaces up to offset 509.
inline constexpr std::string_view directorySignature = "SIGNATURE(S)2003VORLA QRT TN482 FileSystem";

namespace header {
inline constexpr std::size_t size = 64;
inline constexpr std::size_t signatureEnd = 15; // byte 15 must be 0x00
inline constexpr std::size_t itemSize = 16;     // 4 bytes
inline constexpr std::size_t marker = 20;       // 0x11 0x02
inline constexpr std::size_t category = 22;     // 2 bytes
inline constexpr std::size_t itemCount = 24;    // 2 bytes
inline constexpr std::size_t type = 27;         // 1 byte (26 is its high byte, 0)
} // namespace header

namespace directory {
inline constexpr std::size_t size = 512;
inline constexpr std::size_t slotCount = 11;        // 6-byte entries from offset 0
inline constexpr std::size_t songNames = 66;        // 10 × 8 characters
inline constexpr std::size_t songEntries = 146;     // 10 × (size, offset)
inline constexpr std::size_t rhythmEntries = 226;   // 8 × (size, offset)
inline constexpr std::size_t toneWaveEntries = 290; // 10 × (size, wave base)
inline constexpr std::size_t drumWaveEntry = 370;   // 1 × (size, wave base)
inline constexpr std::size_t toneIndexSize = 378;
inline constexpr std::size_t toneIndexOffset = 382;
inline constexpr std::size_t drumIndexSize = 386;
inline constexpr std::size_t drumIndexOffset = 390;
inline constexpr std::size_t totalWaveSize = 394;
inline constexpr std::size_t instFlagsOffset = 398;
inline constexpr std::size_t signature = 402; // 108 characters
inline constexpr std::size_t signatureField = 108;
inline constexpr int songCount = 10;
inline constexpr int rhythmCount = 8;
inline constexpr int toneGroupWaveCount = 10; // tone groups the directory can describe
inline constexpr int drumGroupWaveCount = 1;  // drum groups the directory can describe
} // namespace directory

// The directory slots: registrations, DSPs, drawbar organs, tones without
// wave, then the parts of the tone groups and of the drum groups.
enum class Slot : int {
    Registrations = 0,
    Dsps = 1,
    DrawbarOrgans = 2,
    Tones = 3,
    GroupTones = 4,
    GroupTimbres = 5,
    GroupVoices = 6,
    GroupToneWaves = 7,
    GroupDrums = 8,
    GroupInsts = 9,
    GroupDrumWaves = 10,
};

// Waves per tone group and per drum group: one wave index entry each.
inline constexpr int wavesPerToneGroup = groupLayout::count(type::UserToneWithWave, category::Wave);
inline constexpr int wavesPerDrumGroup = groupLayout::count(type::UserDrumWithWave, category::Wave);
// Size of one wave index table entry (offset from the wave base, size).
inline constexpr std::size_t waveIndexEntrySize = 8;
// Size of the inst flag table: one flag per inst of a drum group.
inline constexpr std::size_t instFlagCount =
    groupLayout::count(type::UserDrumWithWave, category::Inst);
// Offset field of an absent wave data item in a wave index table.
inline constexpr std::uint32_t absentWave = 0xFFFFFFFFu;

// The fixed size of one item of category `c` in a package or container file;
// 0 for categories whose sizes are stored in the directory.
inline std::uint32_t fixedItemSize(category::id c) {
    return static_cast<std::uint32_t>(transfer::fixedSize(c));
}

// A 64-byte container header for an item of `size` bytes.
ByteVector makeContainerHeader(std::uint32_t size, category::id category, std::uint16_t itemCount,
                               type::id type);

} // namespace qel::files
