#include "app/ProgressForm.h"

#include <QProgressBar>
#include <QVBoxLayout>

namespace qel::app {

ProgressForm::ProgressForm(QWidget* mainWindow)
    : QDialog(mainWindow), progressBar_(new QProgressBar(this)) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(false);
    setFixedSize(262, 71);
    progressBar_->setGeometry(6, 19, 249, 33);
    progressBar_->setTextVisible(false);
}

void ProgressForm::setCaption(const std::string& text) {
    setWindowTitle(QString::fromStdString(text));
}

void ProgressForm::setRange(int maximum) {
    progressBar_->setRange(0, maximum);
}

void ProgressForm::setPosition(int position) {
    progressBar_->setValue(position);
    // The list is read inside one call: paint now, not when the loop next idles.
    if (isVisible())
        progressBar_->repaint();
}

void ProgressForm::showCentred() {
    if (QWidget* owner = parentWidget()) {
        const QPoint centre = owner->frameGeometry().center();
        move(centre.x() - width() / 2, centre.y() - height() / 2);
    }
    show();
    repaint();
}

} // namespace qel::app
