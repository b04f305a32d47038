#pragma once

// Turns the events of one MIDI input into whole messages. JACK carries a long
// System Exclusive message as one event, but a sender may split it: the
// pieces after the first start with a data byte, or are only the closing F7.
// Real-time messages (0xF8 and above) may come between the pieces and pass on
// alone. Any other status byte ends an unfinished System Exclusive message,
// which is dropped; so is one that grows past a bound without its end, to keep
// memory bounded, and the rest of it is skipped up to its F7.
//
// Not thread-safe: one thread feeds it (the JACK client's delivery thread).

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qel::midi {

class SysExAssembler {
public:
    // What an event made the assembler throw away.
    enum class Dropped {
        Nothing,
        Unfinished, // a System Exclusive message cut off by another message
        Overlong,   // a System Exclusive message longer than the bound
    };

    // The outcome of one event.
    struct Step {
        // A whole message to hand on, or empty. It points into the event or
        // into the assembler, and stays valid until the next add().
        std::span<const std::uint8_t> message;
        Dropped dropped = Dropped::Nothing;
    };

    static constexpr std::size_t defaultLongestMessage = std::size_t{1} << 20;

    explicit SysExAssembler(std::size_t longestMessage = defaultLongestMessage)
        : longest_(longestMessage) {}

    // Takes one event as it came from the port. An empty event changes nothing.
    Step add(std::span<const std::uint8_t> event);

    // True while part of a System Exclusive message is held.
    bool assembling() const { return !partial_.empty() && !complete_; }

private:
    // After a piece was added to partial_: hands it on when it is whole, or
    // drops it when it is too long.
    Step finishPiece();

    std::size_t longest_;
    std::vector<std::uint8_t> partial_; // a System Exclusive message so far
    bool complete_ = false;             // partial_ was handed on whole by the last add()
    bool skipping_ = false;             // inside a dropped overlong message
};

} // namespace qel::midi
