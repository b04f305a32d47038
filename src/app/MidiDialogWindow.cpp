#include "app/MidiDialogWindow.h"

#include "app/ErrorDisplay.h"
#include "core/MessageDetails.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace qel::app {

MidiDialogWindow::MidiDialogWindow(QWidget* mainWindow, std::chrono::milliseconds replyTimeout)
    : QDialog(nullptr), mainWindow_(mainWindow), progressBar_(new QProgressBar(this)),
      cancelButton_(new QPushButton("Cancel", this)), replyTimeout_(replyTimeout) {
    // A title bar without a close box: an operation ends by itself or through
    // Cancel, which ends it cleanly with error 25.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(false);
    setFixedSize(262, 101);
    progressBar_->setGeometry(6, 19, 249, 33);
    progressBar_->setTextVisible(false);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    cancelButton_->setObjectName("CancelButton");
    cancelButton_->setGeometry(180, 64, 75, 28);
    cancelButton_->setAutoDefault(false);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { requestCancel(); });
}

std::function<std::unique_ptr<MidiDialogView>()>
MidiDialogWindow::factory(QWidget* mainWindow, std::chrono::milliseconds replyTimeout) {
    QPointer<QWidget> owner(mainWindow);
    return [owner, replyTimeout]() -> std::unique_ptr<MidiDialogView> {
        return std::make_unique<MidiDialogWindow>(owner.data(), replyTimeout);
    };
}

void MidiDialogWindow::setCaption(const std::string& text) {
    setWindowTitle(QString::fromStdString(text));
    repaint();
}

void MidiDialogWindow::setRange(int maximum) {
    progressBar_->setRange(0, maximum);
}

void MidiDialogWindow::setPosition(int position) {
    progressBar_->setValue(position);
}

void MidiDialogWindow::show() {
    // Centred on the main window; on the screen once the main window is gone.
    const QPoint centre = mainWindow_ ? mainWindow_->frameGeometry().center()
                                      : screen()->availableGeometry().center();
    move(centre.x() - width() / 2, centre.y() - height() / 2);
    cancelRequested_ = false;
    cancelButton_->setEnabled(true);
    QDialog::show();
    // Operations run inside one call: paint now, not when the event loop next idles.
    repaint();
}

void MidiDialogWindow::hide() {
    QDialog::hide();
}

void MidiDialogWindow::reject() {
    requestCancel();
}

void MidiDialogWindow::requestCancel() {
    cancelRequested_ = true;
    // Pressed once is enough; the operation's wait ends at once.
    cancelButton_->setEnabled(false);
}

void MidiDialogWindow::showError(const std::string& text) {
    showDefaultError(mainWindow_.data(), text, messageDetail(text, replyTimeout_));
}

} // namespace qel::app
