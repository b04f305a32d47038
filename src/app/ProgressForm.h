#pragma once

// The progress window of the main window: a small dialog without border icons,
// centred on the main window, holding one smooth progress bar. Shown without
// modality while the keyboard list is read.

#include "core/ProgressReporter.h"

#include <QDialog>

class QProgressBar;

namespace qel::app {

class ProgressForm : public QDialog, public ProgressReporter {
public:
    explicit ProgressForm(QWidget* mainWindow);

    void setCaption(const std::string& text) override;
    void setRange(int maximum) override;
    void setPosition(int position) override;

    // Shows the window centred on the main window, painted at once.
    void showCentred();

    QProgressBar* progressBar() const { return progressBar_; }

private:
    QProgressBar* progressBar_; // owned by this window
};

} // namespace qel::app
