#include "workflows/KbdSession.h"

#include "core/Exception.h"

namespace qel {

KbdSession::KbdSession(KbdActionFrame& frame, bool showProgress) : frame_(frame) {
    try {
        frame_.openMidiDialog(showProgress);
    } catch (...) {
        // The open counts even when it throws; no destructor will close it.
        frame_.closeMidiDialog();
        throw;
    }
}

KbdSession::~KbdSession() {
    close();
}

MidiDialog& KbdSession::dialog() const {
    MidiDialog* const open = open_ ? frame_.dialog() : nullptr;
    if (open == nullptr)
        throw Exception("The MIDI connection to the keyboard is not open");
    return *open;
}

void KbdSession::close() {
    if (!open_)
        return;
    open_ = false;
    frame_.closeMidiDialog();
}

} // namespace qel
