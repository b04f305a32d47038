#pragma once

// How the data items turn a failed MIDI dialog operation into an Exception.

#include "link/MidiDialog.h"

namespace qel {

// Throws Exception with the dialog's text for its error code when the last
// operation of `dialog` failed, and with the step it failed in
// (MidiDialog::getErrorStep) unless the user cancelled it.
void checkMidiError(const MidiDialog& dialog);

} // namespace qel
