#include "app/MidiLogWindow.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qel::app {

MidiLogWindow::MidiLogWindow(std::shared_ptr<MidiLog> log, QWidget* mainWindow)
    : QDialog(mainWindow), log_(std::move(log)), text_(new QPlainTextEdit(this)) {
    setWindowTitle("MIDI Log");
    setModal(false);
    resize(760, 360);
    text_->setReadOnly(true);
    text_->setMaximumBlockCount(5000);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* clear = buttons->addButton("Clear", QDialogButtonBox::ResetRole);
    connect(clear, &QPushButton::clicked, this, [this] {
        log_->clear();
        text_->clear();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addWidget(buttons);
}

MidiLogWindow::~MidiLogWindow() {
    log_->setEnabled(false);
    log_->onAdded = nullptr;
}

void MidiLogWindow::showEvent(QShowEvent* event) {
    text_->clear();
    for (const MidiLogEntry& entry : log_->entries())
        text_->appendPlainText(QString::fromStdString(MidiLog::line(entry)));
    log_->onAdded = [this](const MidiLogEntry& entry) {
        text_->appendPlainText(QString::fromStdString(MidiLog::line(entry)));
    };
    log_->setEnabled(true);
    QDialog::showEvent(event);
}

void MidiLogWindow::hideEvent(QHideEvent* event) {
    log_->setEnabled(false);
    log_->onAdded = nullptr;
    QDialog::hideEvent(event);
}

} // namespace qel::app
