#pragma once

// What an item takes from the keyboard's two memory areas, counted the way
// the keyboard counts it: the data memory holds wave data, rhythms and SMF
// (an SMF as it is sent, after song conversion), the song memory holds songs,
// and the fixed-size blocks (tones, timbres, voices, insts, waves, DSP,
// organs, registrations) have room of their own and never count. The byte
// counts are those that travel: an item of odd size is sent, and kept, with
// one byte of padding.

#include "core/Catalogue.h"

#include <cstdint>

namespace qel {

class KbdData;
struct KbdDataAttribute;

struct KeyboardMemoryNeed {
    std::uint64_t data = 0; // bytes of the data memory
    std::uint64_t song = 0; // bytes of the song memory

    KeyboardMemoryNeed& operator+=(const KeyboardMemoryNeed& other) {
        data += other.data;
        song += other.song;
        return *this;
    }
    friend bool operator==(const KeyboardMemoryNeed&, const KeyboardMemoryNeed&) = default;
};

// The memory that sending `item` (built for sending) will take: its own bytes
// or, for a group or package, those of the children that are really sent.
KeyboardMemoryNeed memoryNeeded(const KbdData& item);

// The memory that the keyboard frees when the slot `slot` of data type `type`
// is emptied. A group's listed size is its wave data; nothing for types whose
// slots cannot be emptied, and nothing for a slot whose size is unknown.
KeyboardMemoryNeed memoryHeld(type::id type, const KbdDataAttribute& slot);

// Whether `need` fits into the free bytes of each area (negative free bytes:
// nothing fits). Exactly the free bytes fit.
bool fitsInto(const KeyboardMemoryNeed& need, std::int64_t freeData, std::int64_t freeSong);

} // namespace qel
