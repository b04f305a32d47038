#pragma once

// What a failure's text means and what the user can do about it, for the
// texts the keyboard actions and the MIDI connection show. The text itself
// stays as it is (callers and scripts compare it); the detail is shown beside
// it, as a message box's informative text.

#include <chrono>
#include <string>

namespace qel {

// The detail for `text`, matched by the text's start (so "MIDI SYSTEM ERROR:
// ..." and "No Such MIDI Device: NAME" find theirs); empty for a text
// without one. `replyTimeout` is the time the program waits for a reply, as
// "MIDI TIMEOUT" tells it.
std::string messageDetail(const std::string& text, std::chrono::milliseconds replyTimeout);

} // namespace qel
