#include "app/ProgressForm.h"

#include "core/ProgressText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qel::app {

namespace {

// Repainting at every block would cost more than the block on a slow link;
// ten times a second reads as live.
constexpr qint64 paintIntervalMs = 100;

} // namespace

ProgressForm::ProgressForm(QWidget* mainWindow)
    : QDialog(mainWindow), titleLabel_(new QLabel(this)), itemLabel_(new QLabel(this)),
      progressBar_(new QProgressBar(this)), bytesLabel_(new QLabel(this)),
      waitingLabel_(new QLabel(waitingText(), this)),
      cancelButton_(new QPushButton(tr("Cancel"), this)) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(false);
    setObjectName("progressForm");
    QFont bold = titleLabel_->font();
    bold.setBold(true);
    titleLabel_->setFont(bold);
    itemLabel_->setTextFormat(Qt::PlainText);
    itemLabel_->setMinimumWidth(320);
    progressBar_->setTextVisible(true);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    waitingLabel_->setVisible(false);
    cancelButton_->setObjectName("CancelButton");
    cancelButton_->setAutoDefault(false);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { reject(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(waitingLabel_, 1);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel_);
    layout->addWidget(itemLabel_);
    layout->addWidget(progressBar_);
    layout->addWidget(bytesLabel_);
    layout->addLayout(buttons);
    lastPaint_.start();
}

QString ProgressForm::waitingText() {
    return QString::fromUtf8("Waiting for the keyboard\u2026");
}

void ProgressForm::setCaption(const std::string& text) {
    setWindowTitle(QString::fromStdString(text));
    titleLabel_->setText(QString::fromStdString(text));
}

void ProgressForm::setRange(int maximum) {
    progressBar_->setRange(0, maximum);
}

void ProgressForm::setPosition(int position) {
    progressBar_->setValue(position);
    paintNow();
}

void ProgressForm::setItem(const std::string& name) {
    itemLabel_->setText(QString::fromStdString(name));
}

void ProgressForm::setBytes(std::int64_t done, std::int64_t total) {
    if (total != bytesTotal_ || done == 0) {
        bytesTotal_ = total;
        bytesClock_.start();
    }
    bytesLabel_->setText(
        total > 0 ? QString::fromStdString(transferText(done, total, bytesClock_.elapsed()))
                  : QString());
}

void ProgressForm::setWaiting(bool waiting) {
    waitingLabel_->setVisible(waiting);
    if (waiting && isVisible())
        repaint();
}

void ProgressForm::paintNow() {
    if (!isVisible() || lastPaint_.elapsed() < paintIntervalMs)
        return;
    lastPaint_.restart();
    repaint();
}

void ProgressForm::showCentred() {
    cancelRequested_ = false;
    cancelButton_->setEnabled(true);
    adjustSize();
    if (QWidget* owner = parentWidget()) {
        const QPoint centre = owner->frameGeometry().center();
        move(centre.x() - width() / 2, centre.y() - height() / 2);
    }
    show();
    repaint();
    lastPaint_.restart();
}

void ProgressForm::reject() {
    cancelRequested_ = true;
    // Pressed once is enough; the action ends at its next safe point.
    cancelButton_->setEnabled(false);
}

} // namespace qel::app
