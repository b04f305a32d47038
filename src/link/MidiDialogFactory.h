#pragma once

// Making and destroying the MIDI dialog. A keyboard action creates it at its
// start (opening the MIDI ports) and destroys it at its end. The dialog runs on
// the thread that creates it, which needs a Qt event loop (a QCoreApplication
// or QApplication exists): its waits handle that thread's events.

#include "link/MidiDialog.h"
#include "link/MidiDialogEnvironment.h"

#include <memory>

namespace qel {

// A new dialog with its ports open on the devices `environment` names. Always
// returns a dialog: the caller reads getErrorCode() at once, a nonzero code
// meaning a port failed to open (see QelMidiDialog for a named device that
// does not exist).
std::unique_ptr<MidiDialog> createMidiDialog(const MidiDialogEnvironment& environment);

// Destroys the dialog (closing its ports) and empties `dialog`; does nothing for
// an empty one. While one of the dialog's operations waits for the keyboard
// (a call from an event handled during that wait) the dialog is kept and false
// is returned: destroying it would pull it from under the waiting operation.
bool destroyMidiDialog(std::unique_ptr<MidiDialog>& dialog);

} // namespace qel
