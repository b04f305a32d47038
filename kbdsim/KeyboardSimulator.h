#pragma once

// The keyboard simulator's protocol core: plain C++, no Qt. Feed it one SysEx
// message as the keyboard would receive it; it answers with the messages the
// keyboard sends back, each with the delay after which it leaves.
//
// (Contract shared with the MIDI driver layer's in-process device; the rest of
// this header belongs to the simulator.)

#include <chrono>
#include <cstdint>
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

class KeyboardSimulator {
public:
    KeyboardSimulator();
    ~KeyboardSimulator();

    // Handles one complete SysEx message (F0 ... F7) sent to the keyboard and
    // returns what the keyboard answers: possibly nothing. Never throws for
    // malformed input; a device ignores what it cannot parse.
    std::vector<Reply> handle(const Bytes& message);
};

} // namespace kbdsim
