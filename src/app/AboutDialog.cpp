#include "app/AboutDialog.h"

#include "platform/midi/JackClient.h"
#include "platform/midi/RtMidiBackend.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#ifndef QEL_VERSION
#error "QEL_VERSION must be given by the build (the project's version)"
#endif

namespace qel::app {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About TQ-7400 Data Manager");
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(":/icons/tq7400.png").pixmap(48, 48));
    text_ = new QLabel(text(), this);
    text_->setObjectName("AboutText");
    text_->setTextFormat(Qt::PlainText);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(text_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

QString AboutDialog::text() {
    return QString("TQ-7400 Data Manager %1\n"
                   "Keeps the user data of the TQ-7400 keyboards on the PC.\n"
                   "\n"
                   "Licensed under the MIT License.\n"
                   "\n"
                   "Qt %2\n"
                   "RtMidi %3\n"
                   "JACK %4")
        .arg(QEL_VERSION, qVersion(), QString::fromStdString(midi::rtMidiVersion()),
             QString::fromStdString(midi::JackClient::libraryVersion()));
}

} // namespace qel::app
