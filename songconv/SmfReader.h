#pragma once

#include "songconv/SmfSong.h"

namespace qel::smf {

// Parses a Standard MIDI File of format 0 or 1. Every length and offset is
// checked against the bytes given; anything that breaks the file structure
// throws SmfError: a missing or short header, format 2, no tracks, fewer track
// chunks than announced, a chunk or event reaching past its end, a variable
// length number of more than 4 bytes, a data byte of 0x80 or above in a
// channel message, a status byte that has no place in a file, running status
// with no status before it, or a track without its end-of-track event.
// Chunks of other kinds are skipped; bytes after a track's end-of-track are
// ignored. Running status carries across SysEx and meta events, as common
// readers allow.
Song readSmf(const std::vector<std::uint8_t>& bytes);

} // namespace qel::smf
