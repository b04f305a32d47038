#pragma once

// The MIDI dialog of the keyboard action that runs now. A keyboard action opens
// the one dialog at its start and closes it at its end; the keyboard data items
// reach it here. This is the program's only global reference.

#include "link/MidiDialog.h"

namespace qel {

// The dialog that is open now, or null between keyboard actions.
MidiDialog* currentMidiDialog();

// Makes `dialog` the open dialog (null when the action closes it). The caller
// keeps ownership and clears the reference before destroying the dialog.
void setCurrentMidiDialog(MidiDialog* dialog);

// The open dialog; throws Exception when no keyboard action has opened one.
MidiDialog& requireMidiDialog();

// Throws Exception with the dialog's text for its error code when the last
// operation of `dialog` failed, and with the step it failed in
// (MidiDialog::getErrorStep) unless the user cancelled it.
void checkMidiError(const MidiDialog& dialog);

} // namespace qel
