#pragma once

// The user memory of the simulated keyboard: one slot per user (category,
// number) pair of SlotLayout.h, each holding its data bytes and, for Song,
// Rhythm and SMF, a name kept apart from the data.
//
// Fixed-size categories always hold a block of exactly their fixed size; a new
// memory holds their initial content (zero bytes, the name field filled with
// spaces, and in group blocks the references to the blocks of their own group).
// Variable-size categories (Wave Data, Song, Rhythm, SMF) start empty.
//
// Free memory. The keyboard has two memory areas, and only variable-size items
// use them; fixed-size blocks have their own room and never count:
//   - the song area of 65455 bytes holds the songs (category 10):
//       free song memory = 65455 - sum of the song sizes;
//   - the data area of 1572840 bytes holds wave data (category 8), rhythms
//     (category 11) and SMF (category 16):
//       free data memory = 1572840 - sum of their sizes.
// An item fits when its size is at most the free memory of its area plus the
// size of the item it replaces.

#include "kbdsim/KeyboardSimulator.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace kbdsim {

inline constexpr std::uint32_t songAreaSize = 65455;
inline constexpr std::uint32_t dataAreaSize = 1572840;

class KeyboardMemory {
public:
    // A memory with every slot in its initial state.
    KeyboardMemory();

    // The data of a user slot; nullptr when (category, number) is no user slot.
    const Bytes* data(std::uint16_t category, std::uint16_t number) const;

    // The 8-byte name of an item: from its data for categories that carry it
    // there, otherwise (or when the data is too short to hold it) the name kept
    // for the slot: spaces until one is set. Empty for a category
    // without names or a number that is no user slot.
    std::string name(std::uint16_t category, std::uint16_t number) const;

    // Sets the name of a Rhythm or SMF slot from 8 bytes (shorter input is
    // padded with spaces); for a Rhythm whose data is long enough, the name
    // bytes 2-9 of the data change with it, so that name and data agree.
    // Returns false and changes nothing for other categories or no user slot.
    bool setName(std::uint16_t category, std::uint16_t number, const std::string& name);

    // Why store() refused an item.
    enum class StoreResult { Stored, NoUserSlot, WrongSize, DoesNotFit };

    // Whether an item of `size` bytes could be stored in the slot: it must be a
    // user slot, have the fixed size of a fixed-size category, and fit the
    // free memory of its area.
    StoreResult canStore(std::uint16_t category, std::uint16_t number, std::size_t size) const;

    // Stores the bytes in the slot, replacing what it held (a kept name stays). Does nothing unless
    // canStore() allows it.
    StoreResult store(std::uint16_t category, std::uint16_t number, Bytes bytes);

    // Empties a variable-size slot (and resets its kept name) or returns a
    // fixed-size block to its initial content. Returns false for no user slot.
    bool clear(std::uint16_t category, std::uint16_t number);

    // Empties a whole tone group (850-869) or drum group (17-20): its wave data
    // become empty and its fixed blocks return to their initial content.
    // Returns false for a number that is no group of that kind.
    bool clearToneGroup(std::uint16_t group);
    bool clearDrumGroup(std::uint16_t group);

    // Free bytes of the song area and of the data area (see above).
    std::uint32_t freeSongMemory() const;
    std::uint32_t freeDataMemory() const;

    // One stored slot, for iteration (save, tests).
    struct Slot {
        Bytes data;
        std::string keptName; // Song, Rhythm and SMF only; empty for the others
    };
    // Key of a slot: category in the high 16 bits, number in the low ones.
    using SlotMap = std::map<std::uint32_t, Slot>;
    const SlotMap& storedSlots() const { return slots_; }
    static std::uint32_t key(std::uint16_t category, std::uint16_t number) {
        return (std::uint32_t{category} << 16) | number;
    }

    // The initial content of a block: see the top of this header. Empty for
    // variable-size categories.
    static Bytes initialBlock(std::uint16_t category, std::uint16_t number);

private:
    Slot* find(std::uint16_t category, std::uint16_t number);
    const Slot* find(std::uint16_t category, std::uint16_t number) const;

    SlotMap slots_;
    std::uint32_t usedSong_ = 0;
    std::uint32_t usedData_ = 0;
};

} // namespace kbdsim
