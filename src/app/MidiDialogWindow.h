#pragma once

// The MIDI dialog's window on screen: a small dialog with a caption, one
// progress bar and a Cancel button, shown without modality while a keyboard
// operation runs, and the application's error display for failures at the
// dialog's creation. Cancel (or Esc) asks the running operation to stop: the
// MIDI dialog looks at the request whenever its wait handles an event and ends
// that wait at once, with error 25; the window stays up until the operation
// has ended. The request holds until the window is next shown; a cancel that
// ended a wait is never lost by that, since its operation fails with 25.
// The MIDI dialog reaches it only through MidiDialogView.

#include "link/MidiDialogView.h"

#include <QDialog>
#include <QPointer>
#include <chrono>
#include <functional>
#include <memory>

class QProgressBar;
class QPushButton;

namespace qel::app {

class MidiDialogWindow : public QDialog, public MidiDialogView {
public:
    // A window centred on `mainWindow` whenever it is shown. It has no Qt parent:
    // the MIDI dialog owns it and may outlive the main window.
    // `replyTimeout` is the dialog's, which its error details tell.
    explicit MidiDialogWindow(QWidget* mainWindow,
                              std::chrono::milliseconds replyTimeout = std::chrono::seconds(10));

    // What the application gives MidiDialogEnvironment::makeView at start-up.
    static std::function<std::unique_ptr<MidiDialogView>()>
    factory(QWidget* mainWindow, std::chrono::milliseconds replyTimeout = std::chrono::seconds(10));

    void setCaption(const std::string& text) override;
    void setRange(int maximum) override;
    void setPosition(int position) override;
    // Shows the window with a fresh Cancel button: a request made for an
    // earlier operation does not stop the next one.
    void show() override;
    void hide() override;
    bool cancelRequested() const override { return cancelRequested_; }
    // A message box captioned with the application's name, with an error icon.
    void showError(const std::string& text) override;

    QProgressBar* progressBar() const { return progressBar_; }
    QPushButton* cancelButton() const { return cancelButton_; }

protected:
    // Esc must not hide the window under a running transfer: it cancels.
    void reject() override;

private:
    void requestCancel();

    QPointer<QWidget> mainWindow_;
    QProgressBar* progressBar_; // owned by this window
    QPushButton* cancelButton_; // owned by this window
    bool cancelRequested_ = false;
    std::chrono::milliseconds replyTimeout_;
};

} // namespace qel::app
