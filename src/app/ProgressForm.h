#pragma once

// The progress window of the main window: one for each keyboard action, from
// its start to its end. It shows the action's title, the item being worked
// on, one bar for the whole action, the bytes done of the total with the
// rate and the time left, a line while the keyboard keeps the program
// waiting, and a Cancel button. Shown without modality, centred on the main
// window.

#include "core/ProgressReporter.h"

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qel::app {

class ProgressForm : public QDialog, public ProgressReporter {
public:
    explicit ProgressForm(QWidget* mainWindow);

    // The action's title: the window's title and the first line.
    void setCaption(const std::string& text) override;
    void setRange(int maximum) override;
    void setPosition(int position) override;
    void setItem(const std::string& name) override;
    void setBytes(std::int64_t done, std::int64_t total) override;
    void setWaiting(bool waiting) override;
    // Cancel (or Esc) was pressed since the window was last shown.
    bool cancelRequested() const override { return cancelRequested_; }

    // Shows the window centred on the main window, painted at once, with a
    // fresh Cancel button.
    void showCentred();

    QProgressBar* progressBar() const { return progressBar_; }
    QLabel* titleLabel() const { return titleLabel_; }
    QLabel* itemLabel() const { return itemLabel_; }
    QLabel* bytesLabel() const { return bytesLabel_; }
    QLabel* waitingLabel() const { return waitingLabel_; }
    QPushButton* cancelButton() const { return cancelButton_; }

    // The line shown while the keyboard keeps the program waiting.
    static QString waitingText();

protected:
    // Esc must not hide the window under a running action: it cancels.
    void reject() override;

private:
    // The action runs inside one call: paint now, not when the loop next idles.
    void paintNow();

    QLabel* titleLabel_;        // owned by this window
    QLabel* itemLabel_;         // owned by this window
    QProgressBar* progressBar_; // owned by this window
    QLabel* bytesLabel_;        // owned by this window
    QLabel* waitingLabel_;      // owned by this window
    QPushButton* cancelButton_; // owned by this window
    bool cancelRequested_ = false;
    std::int64_t bytesTotal_ = -1;
    QElapsedTimer bytesClock_; // since the bytes' total was set
    QElapsedTimer lastPaint_;
};

} // namespace qel::app
