#pragma once

// Song files are passed through the song converter (FormatChange) before they
// are sent to the keyboard or written to the card.

#include "core/ByteVector.h"

#include <string>

namespace qel {

// Converts the song file at `source` and returns the converted bytes. The
// converter writes into a folder that only this process's user can enter,
// made afresh under an unpredictable name for each conversion and removed
// with everything in it afterwards, on failure as well: no file or link that
// anyone put in the shared temporary folder is ever written or read. Throws
// Exception "Can't open the file: " + source + " (" + reason + ")" when the
// song cannot be converted, the reason being the converter's ("not a Standard
// MIDI File (no MThd header)", "unsupported SMF format 2", "track 2: no
// end-of-track", ...), and "Illegal Format" when the converted song is larger
// than the keyboard's data area (KbdData::maximumItemSize).
ByteVector convertSong(const std::string& source);

} // namespace qel
