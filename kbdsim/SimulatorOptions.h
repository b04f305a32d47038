#pragma once

// What a keyboard simulator run looks like: the model code it reports, its
// content at start, the pace of its replies and the faults it injects. Plain
// data; change them between messages with KeyboardSimulator::setOptions().

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kbdsim {

// The kinds of message the keyboard receives, as faults select them.
enum class MessageKind : std::uint8_t {
    ModelRequest,     // parameter request, category 0, parameter 0
    ParameterRequest, // any parameter request (the model request included)
    ParameterValue,   // a parameter value: begin communication, delete, name, ...
    DataRequest,      // asks for block 0 of an item
    NextBlock,        // handshake command 1 while an item is sent to the PC
    DataBlock,        // a block of an item the PC sends
    EndOfData,        // handshake command 0 after the PC's last block
    Other,            // anything else, malformed messages included
};

// Picks incoming messages: the n-th one handled (counting from 1 over every
// message the simulator was given), every message of one kind, or both.
// An empty selector matches nothing.
struct MessageSelector {
    std::size_t ordinal = 0; // 0: not by ordinal
    std::optional<MessageKind> kind;

    // True when the message numbered `messageOrdinal`, of kind `messageKind`,
    // is picked. A ModelRequest also counts as a ParameterRequest.
    bool matches(std::size_t messageOrdinal, MessageKind messageKind) const;
};

// How a reply is spoiled by MalformedReply. Each one fails the PC's format check.
enum class Malformation : std::uint8_t {
    None,
    Short,             // cut to 10 bytes, end byte kept: "short message"
    WrongManufacturer, // byte 1 is 0x43 instead of 0x44: "VORLA ID error"
    MissingEnd,        // the final F7 is dropped: "EOX error"
};

// How a data block sent to the PC is spoiled by Faults::corruptAtBlock. Each
// one is a block the PC must not take.
enum class BlockCorruption : std::uint8_t {
    None,
    Checksum,    // the checksum is one too high
    PairCount,   // the pair count is one more than the pairs carried
    BlockNumber, // the block number is one too high: out of sequence
    FlippedBit,  // bit 0 of the first data group is flipped, the checksum left as it was
};

// Faults chosen per run. The default injects none.
struct Faults {
    // Messages that are lost: they get no reply and have no effect (the PC
    // runs into its time-out).
    MessageSelector noReply;

    // Block k (counting from 0) of every item the PC sends is answered with
    // handshake command 5 (rejected) or 3 (SysEx error) instead of an
    // acknowledgement; the item is then dropped.
    std::optional<std::uint32_t> rejectAtBlock;
    std::optional<std::uint32_t> sysExErrorAtBlock;

    // The replies to the selected messages come malformed.
    Malformation malformation = Malformation::None;
    MessageSelector malformedReply;

    // The replies to the selected messages leave `lateBy` later than they
    // would (to arrive after the PC's time-out).
    MessageSelector lateReply;
    std::chrono::microseconds lateBy{0};

    // After each delete command the next `busyPollsAfterDelete` model requests
    // get no reply, as a keyboard that is still busy.
    unsigned busyPollsAfterDelete = 0;

    // Block k (counting from 0) of every item sent to the PC is spoiled as
    // `blockCorruption` says.
    BlockCorruption blockCorruption = BlockCorruption::None;
    std::optional<std::uint32_t> corruptAtBlock;

    // Once block k (counting from 0) of a transfer has been sent or acknowledged,
    // in either direction, the keyboard stops answering anything for the rest of
    // the run (until the faults are replaced).
    std::optional<std::uint32_t> silentAfterBlock;
};

// Wire pacing. Off: every reply leaves at once (delay 0). On: each message in
// either direction takes its MIDI wire time, plus the processing delay once per
// incoming message that gets an answer. The reply delays cover the replies'
// wire time and the processing delay; the wire time of the incoming message
// lies before the moment it was fully received, so its host simulates it (the
// in-process device and the stand-alone program both do).
struct Pacing {
    bool enabled = false;
    std::chrono::microseconds processingDelay{0};

    // 31250 baud, 10 bits per byte on the wire (start, 8 data, stop).
    static constexpr std::chrono::microseconds perByte{320};

    // Wire time of a message of `byteCount` bytes.
    static constexpr std::chrono::microseconds wireTime(std::size_t byteCount) {
        return perByte * static_cast<std::int64_t>(byteCount);
    }
};

// What the memory holds when the simulator starts.
enum class StartContent : std::uint8_t {
    Blank, // every slot empty; fixed-size blocks hold their initial content
    Demo,  // the synthetic demo content of DemoContent.h
};

struct Options {
    // Reported for parameter 0 of category 0. 1, 2 and 3 are the known
    // models; any other 14-bit value simulates an unknown keyboard.
    std::uint16_t modelCode = 3;
    StartContent content = StartContent::Demo;
    Pacing pacing;
    Faults faults;
};

} // namespace kbdsim
