#pragma once

// Read access to the 512-byte package directory of a package file.

#include "core/ByteVector.h"
#include "model/ContainerLayout.h"

#include <cstdint>
#include <string>

namespace qel::files {

// A size and a data offset, as the song, rhythm and group wave entries hold them.
struct SizedEntry {
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
};

class PackageDirectory {
public:
    // Views `block`, which must stay alive and hold exactly 512 bytes; throws
    // Exception "Illegal Format" otherwise.
    explicit PackageDirectory(const ByteVector& block);

    // The count of a slot (for registrations: in units of 4 items).
    std::uint16_t slotCount(Slot slot) const;
    // The data offset of a slot's first item.
    std::uint32_t slotOffset(Slot slot) const;

    // Song i (0 to 9): its name (8 bytes as stored) and its entry.
    std::string songName(int i) const;
    SizedEntry songEntry(int i) const;
    // Rhythm i (0 to 7).
    SizedEntry rhythmEntry(int i) const;
    // Wave data of tone group g (0 to 9) and of the drum group: total size and wave base.
    SizedEntry toneWaveEntry(int g) const;
    SizedEntry drumWaveEntry() const;

    std::uint32_t toneIndexOffset() const;
    std::uint32_t drumIndexOffset() const;
    std::uint32_t instFlagsOffset() const;

    // The sum of the 29 size fields (10 songs, 8 rhythms, 10 tone-group wave
    // data, 1 drum-group wave data), as a 64-bit number so that it cannot wrap.
    std::uint64_t sizeFieldSum() const;

private:
    std::uint32_t number(std::size_t offset, int width) const;
    SizedEntry entry(std::size_t offset) const;

    const ByteVector& block_;
};

} // namespace qel::files
