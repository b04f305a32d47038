#pragma once

// The "MIDI Log" window: every message between the program and the keyboard
// while it is open, one line each (time, direction, what it is, bytes).
// Opening it starts the recording; closing it stops it.

#include "workflows/MidiLog.h"

#include <QDialog>
#include <memory>

class QPlainTextEdit;

namespace qel::app {

class MidiLogWindow : public QDialog {
public:
    MidiLogWindow(std::shared_ptr<MidiLog> log, QWidget* mainWindow);
    ~MidiLogWindow() override;

    QPlainTextEdit* text() const { return text_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::shared_ptr<MidiLog> log_;
    QPlainTextEdit* text_; // owned by this window
};

} // namespace qel::app
