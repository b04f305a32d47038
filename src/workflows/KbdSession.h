#pragma once

// One keyboard action's hold on the MIDI dialog: opened through the action's
// frame when the session is made, closed when it ends, on every path,
// exceptions included. The outermost session makes the dialog and destroys
// it; a session made while another is open (code started by an event handled
// during a wait) shares that dialog and leaves its progress setting alone.

#include "link/MidiDialog.h"
#include "workflows/KbdActionFrame.h"

namespace qel {

class KbdSession {
public:
    // Opens the frame's dialog, showing its progress window when
    // `showProgress`. Throws Exception when the dialog could not be made or a
    // port failed to open (with the dialog's text); nothing stays open then.
    KbdSession(KbdActionFrame& frame, bool showProgress);
    ~KbdSession();
    KbdSession(const KbdSession&) = delete;
    KbdSession& operator=(const KbdSession&) = delete;

    // The open dialog. Throws Exception after close().
    MidiDialog& dialog() const;

    // Ends the session before its scope does, so that what follows runs
    // without the dialog; the destructor then does nothing.
    void close();

private:
    KbdActionFrame& frame_;
    bool open_ = true;
};

} // namespace qel
