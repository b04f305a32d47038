#pragma once

// The keyboard simulator's protocol core: plain C++, no Qt. Feed it one SysEx
// message as the keyboard would receive it; it answers with the messages the
// keyboard sends back, each with the delay after which it leaves.
//
// (Contract shared with the MIDI driver layer's in-process device; the rest of
// this header belongs to the simulator.)
//
// What the keyboard answers:
//   - parameter request -> one parameter value message with the same category,
//     parameter, number and index bytes: the model code (category 0 parameter 0),
//     the free song / data memory (category 0 parameters 33 / 34, see
//     KeyboardMemory.h for the rule), an item's size (parameter 3 of Wave Data,
//     Song, Rhythm, SMF), or 4 name bytes (the name pair of SlotLayout.h, first
//     byte in bits 24-31). A parameter it does not serve, or a number that is no
//     user slot, gets no reply.
//   - parameter value -> never a reply. 32 (begin communication) and 41
//     (initialise) are accepted; 35-39 delete a song, rhythm, tone group, drum
//     group or SMF of the given number; the name pair of a Rhythm or SMF sets
//     its name.
//   - data request -> data block 0 of the item, or handshake command 0 for an
//     empty item; handshake command 5 for a number that is no user slot.
//   - handshake command 1 -> the next block, or handshake command 0 after the
//     last one.
//   - data block -> an acknowledgement (handshake command 2) while the item is
//     collected; command 3 for a block with a wrong checksum, a broken body or
//     out of sequence; command 5 for an item that targets no user slot, has the
//     wrong size for a fixed-size category or does not fit the free memory.
//     After a 3 or 5 the item is dropped, and an end-of-data command for it
//     changes nothing.
//   - handshake command 0 after the blocks -> no reply; the collected item is
//     stored. A fixed-size item that arrived short is not stored. Handshake
//     command 0 with no blocks before it stores an empty item (Wave Data, Song,
//     Rhythm, SMF only): that is how an empty item travels.
//   - anything else, malformed messages included -> no reply.

#include "kbdsim/SimulatorOptions.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace kbdsim {

using Bytes = std::vector<std::uint8_t>;

// One message the keyboard sends. `delay` counts from the moment the incoming
// message was fully received; replies come in order and their delays never
// decrease. With pacing off every delay is zero.
struct Reply {
    Bytes message;
    std::chrono::microseconds delay{0};
};

class KeyboardMemory;

// The handshake command the keyboard sends to accept a data block.
inline constexpr std::uint8_t acknowledgeCommand = 2;

// Not thread-safe: one caller at a time.
class KeyboardSimulator {
public:
    // A keyboard of model 3 with the demo content, no pacing and no faults.
    KeyboardSimulator();
    // A keyboard as the options say.
    explicit KeyboardSimulator(const Options& options);
    ~KeyboardSimulator();
    KeyboardSimulator(const KeyboardSimulator&) = delete;
    KeyboardSimulator& operator=(const KeyboardSimulator&) = delete;

    // Handles one complete SysEx message (F0 ... F7) sent to the keyboard and
    // returns what the keyboard answers: possibly nothing. Never throws for
    // malformed input; a device ignores what it cannot parse.
    std::vector<Reply> handle(const Bytes& message);

    // The options in force. setOptions() replaces them between messages (the
    // content option only matters at construction); the message count used by
    // the fault selectors goes on, a silence from silentAfterBlock ends.
    const Options& options() const;
    void setOptions(const Options& options);

    // Number of messages handled so far (the ordinal of the last one).
    std::size_t messageCount() const;

    // The memory, to inspect it or to fill it directly (tests, load).
    const KeyboardMemory& memory() const;
    KeyboardMemory& memory();

    // Replaces the whole memory, e.g. with one loaded by MemoryImage. Any
    // transfer in progress is forgotten.
    void replaceMemory(const KeyboardMemory& memory);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kbdsim
