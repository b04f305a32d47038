#pragma once

#include "songconv/SmfSong.h"

namespace qel::smf {

// All events of all tracks in time order, ties in track order and then in
// their order within the track, without the end-of-track events.
Track mergeTracks(const Song& song);

// The bytes of a format 0 file with `song`'s division holding mergeTracks(song)
// and one end-of-track at the latest end of any track. Every event is written
// with its status byte (no running status).
std::vector<std::uint8_t> writeFormat0(const Song& song);

} // namespace qel::smf
