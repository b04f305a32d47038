#pragma once

// Song files are passed through the song converter (FormatChange) before they
// are sent to the keyboard or written to the card.

#include "core/ByteVector.h"

#include <string>

namespace qel {

// The temporary file the converter writes to: "tmp" + process id + ".mid" in
// the system's temporary folder (the current folder may not be writable).
std::string temporarySongPath();

// Converts the song file at `source` into the temporary file and returns the
// converted bytes. The temporary file is removed afterwards, on failure as
// well. Throws Exception "Can't open the file: " + temporary path when the
// converter left no readable file (the source is no valid Standard MIDI File
// or cannot be read).
ByteVector convertSong(const std::string& source);

} // namespace qel
