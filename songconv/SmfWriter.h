#pragma once

#include "songconv/SmfSong.h"

namespace qel::smf {

// All events of all tracks in time order, ties in track order and then in
// their order within the track, without the end-of-track events.
Track mergeTracks(const Song& song);

// The bytes of a format 0 file with `song`'s division holding mergeTracks(song)
// and one end-of-track at the latest end of any track. Channel messages use
// running status as the SMF standard allows it: one whose status byte equals
// that of the channel message before it leaves the status out, unless a SysEx
// (F0, F7) or meta event came between them; the track's first channel message
// and the first after a SysEx or meta event write theirs. Events, their times
// and their order are those of mergeTracks(song); only their encoding is
// shorter. Throws SmfError for an event that readSmf() cannot have given: a
// channel message whose status is not 0x80..0xEF or whose data bytes do not
// fit that status, or a time or length too large for a variable length number.
std::vector<std::uint8_t> writeFormat0(const Song& song);

} // namespace qel::smf
