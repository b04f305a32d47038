#pragma once

// The MIDI dialog's window on screen: a small dialog with a caption and one
// progress bar, shown without modality while a keyboard operation runs, and
// the application's error display for failures at the dialog's creation.
// The MIDI dialog reaches it only through MidiDialogView.

#include "link/MidiDialogView.h"

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>

class QProgressBar;

namespace qel::app {

class MidiDialogWindow : public QDialog, public MidiDialogView {
public:
    // A window centred on `mainWindow` whenever it is shown. It has no Qt parent:
    // the MIDI dialog owns it and may outlive the main window.
    explicit MidiDialogWindow(QWidget* mainWindow);

    // What the application gives MidiDialogEnvironment::makeView at start-up.
    static std::function<std::unique_ptr<MidiDialogView>()> factory(QWidget* mainWindow);

    void setCaption(const std::string& text) override;
    void setRange(int maximum) override;
    void setPosition(int position) override;
    void show() override;
    void hide() override;
    // A message box captioned with the application's name, with an error icon.
    void showError(const std::string& text) override;

    QProgressBar* progressBar() const { return progressBar_; }

private:
    QPointer<QWidget> mainWindow_;
    QProgressBar* progressBar_; // owned by this window
};

} // namespace qel::app
