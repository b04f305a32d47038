#include "app/CardTabHint.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace qel::app {

CardTabHint::CardTabHint(std::function<void()> create, QWidget* parent) : QWidget(parent) {
    setObjectName("CardTabHint");
    label_ = new QLabel(this);
    label_->setWordWrap(true);
    label_->setTextFormat(Qt::PlainText);
    createButton_ = new QPushButton("Create VORLA_MD", this);
    createButton_->setObjectName("CreateCardFolderButton");
    createButton_->setToolTip("Make the VORLA_MD folder the keyboard keeps its card files in");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(label_, 1);
    layout->addWidget(createButton_, 0, Qt::AlignTop);
    connect(createButton_, &QPushButton::clicked, this, [create = std::move(create)] {
        if (create)
            create();
    });
    hide();
}

void CardTabHint::showState(CardFiles::FolderState state, const QString& drive) {
    switch (state) {
    case CardFiles::FolderState::Ready:
        hide();
        return;
    case CardFiles::FolderState::NoDrive:
        label_->setText("No card drive is set. Choose the drive of the card reader in "
                        "File > Preferences…, on the Card page.");
        createButton_->hide();
        break;
    case CardFiles::FolderState::NoFolder:
        label_->setText("There is no VORLA_MD folder on " + drive +
                        ", so there is nothing to list. A card formatted by the keyboard has "
                        "one; for another card, create it here.");
        createButton_->show();
        break;
    }
    show();
}

} // namespace qel::app
