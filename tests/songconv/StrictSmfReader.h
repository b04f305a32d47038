#pragma once

// A second reading of Standard MIDI Files for the tests, strict where the
// converter's own reader is lenient: a data byte in place of a status byte is
// accepted only right after a channel message, never at a track's start or
// after a SysEx (F0, F7) or meta event. Output that relies on running status
// carried across such an event, which common readers (ours and mido among
// them) accept, fails here. It shares no code with the reader under test.

#include "core/ByteVector.h"
#include "songconv/SmfSong.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qel::test {

struct StrictSmf {
    std::uint16_t format = 0;
    std::uint16_t division = 0;
    // Events with absolute ticks, running status made explicit, each track
    // ending with its end-of-track.
    std::vector<smf::Track> tracks;
    // Channel messages that left out their status byte.
    std::size_t statusesLeftOut = 0;
    // Channel messages that wrote a status byte which running status would
    // have let them leave out.
    std::size_t statusesRepeated = 0;
};

// Reads `file`: an MThd chunk of exactly 6 bytes, then chunks up to the end
// of the file, as many MTrk chunks as announced (others are skipped). Throws
// std::runtime_error naming the byte offset of the first thing that breaks
// the SMF standard: running status where it is not allowed, a data byte of
// 0x80 or above in a channel message, a status byte of F1..FE, a variable
// length number of more than 4 bytes, anything reaching past its chunk, a
// track without an end-of-track or with bytes after it.
StrictSmf readSmfStrictly(const ByteVector& file);

} // namespace qel::test
