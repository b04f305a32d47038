#pragma once

#include "songconv/SmfSong.h"

namespace qel::smf {

// Parses a Standard MIDI File of format 0 or 1. Every length and offset is
// checked against the bytes given; anything that breaks the file structure
// throws SmfError: a missing or short header, a format other than 0 and 1, no
// tracks, fewer track chunks than announced, a chunk or event reaching past
// its end, a variable length number of more than 4 bytes, a data byte of 0x80
// or above in a channel message, a status byte that has no place in a file,
// running status with no status before it, a track without its end-of-track
// event, or a track with anything after its end-of-track (which a conversion
// would drop). The error's text is the reason, one line for a user to read,
// naming the track (counted from 1) and the byte offset where it applies:
// "unsupported SMF format 2", "track 2: no end-of-track". Chunks of other
// kinds are skipped. Running status carries across SysEx and meta events, as
// common readers allow.
Song readSmf(const std::vector<std::uint8_t>& bytes);

} // namespace qel::smf
