#pragma once

// What the MIDI dialog shows: a small window with a caption and one progress
// bar, shown without modality while an operation runs, plus the application's
// error display for a failure at creation. The link layer only talks to this
// interface, so it runs headless; the application installs a real window.

#include "core/ProgressReporter.h"

#include <string>

namespace qel {

class MidiDialogView : public ProgressReporter {
public:
    // The caption, range and position of its progress bar come from
    // ProgressReporter: the caption repaints at once, and the dialog keeps the
    // position inside the range.

    // Makes the window visible without modality / invisible.
    virtual void show() = 0;
    virtual void hide() = 0;
    // Shows a failure that cannot be left as an error code (a stored MIDI
    // device that does not exist) the way the application shows its errors.
    virtual void showError(const std::string& text) = 0;
};

} // namespace qel
