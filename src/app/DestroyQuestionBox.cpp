#include "app/DestroyQuestionBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace qel::app {

namespace {

// Rows of the list shown without scrolling; longer lists scroll.
constexpr int visibleLostRows = 8;

} // namespace

QString DestroyQuestionBox::title(DestroyQuestion::Action action) {
    switch (action) {
    case DestroyQuestion::Action::Replace:
        return "Replace Item";
    case DestroyQuestion::Action::Delete:
        return "Delete Item";
    case DestroyQuestion::Action::SendPackage:
        return "Send Package";
    case DestroyQuestion::Action::Restore:
        return "Restore Keyboard";
    case DestroyQuestion::Action::Initialize:
        return "Initialize";
    }
    return {};
}

QString DestroyQuestionBox::verb(DestroyQuestion::Action action) {
    switch (action) {
    case DestroyQuestion::Action::Replace:
        return "Replace";
    case DestroyQuestion::Action::Delete:
        return "Delete";
    case DestroyQuestion::Action::SendPackage:
        return "Send";
    case DestroyQuestion::Action::Restore:
        return "Restore";
    case DestroyQuestion::Action::Initialize:
        return "Initialize";
    }
    return {};
}

DestroyQuestionBox::DestroyQuestionBox(const DestroyQuestion& question, FolderChooser chooseFolder,
                                       QWidget* parent)
    : QDialog(parent), chooseFolder_(std::move(chooseFolder)) {
    setObjectName("DestroyQuestionBox");
    setWindowTitle(title(question.action));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    auto* icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(iconSize));
    icon->setAlignment(Qt::AlignTop);
    questionLabel_ = new QLabel(QString::fromStdString(question.text), this);
    questionLabel_->setWordWrap(true);
    questionLabel_->setMinimumWidth(360);

    lostList_ = new QListWidget(this);
    lostList_->setObjectName("LostList");
    lostList_->setSelectionMode(QAbstractItemView::NoSelection);
    lostList_->setFocusPolicy(Qt::NoFocus);
    for (const std::string& line : question.lost)
        lostList_->addItem(QString::fromStdString(line));
    // As tall as its rows up to a few, then scrolling: 300 lines stay readable
    // without the box growing past the screen.
    const int rowHeight = lostList_->sizeHintForRow(0) > 0 ? lostList_->sizeHintForRow(0)
                                                           : fontMetrics().height() + 2;
    const int rows = std::clamp(static_cast<int>(question.lost.size()), 1, visibleLostRows);
    lostList_->setFixedHeight(rows * rowHeight + 2 * lostList_->frameWidth() + 4);
    lostList_->setVisible(!question.lost.empty());

    auto* texts = new QVBoxLayout;
    texts->addWidget(questionLabel_);
    texts->addWidget(lostList_);
    if (question.offerCopy) {
        keepCopyBox_ = new QCheckBox("Keep a copy on the PC first", this);
        keepCopyBox_->setObjectName("KeepCopyBox");
        keepCopyBox_->setChecked(true);
        texts->addWidget(keepCopyBox_);
    }
    auto* body = new QHBoxLayout;
    body->addWidget(icon);
    body->addLayout(texts, 1);

    auto* buttons = new QDialogButtonBox(this);
    if (question.offerBackUp) {
        backUpButton_ = buttons->addButton("Back Up First...", QDialogButtonBox::ActionRole);
        backUpButton_->setObjectName("BackUpFirstButton");
        backUpButton_->setAutoDefault(false);
        connect(backUpButton_, &QPushButton::clicked, this, [this] { backUpFirst(); });
    }
    acceptButton_ = buttons->addButton(verb(question.action), QDialogButtonBox::AcceptRole);
    acceptButton_->setObjectName("AcceptButton");
    acceptButton_->setAutoDefault(false);
    cancelButton_ = buttons->addButton(QDialogButtonBox::Cancel);
    cancelButton_->setObjectName("CancelButton");
    // Return keeps everything as it is: destroying takes a deliberate click.
    cancelButton_->setDefault(true);
    cancelButton_->setFocus();
    connect(acceptButton_, &QPushButton::clicked, this, [this] {
        answer_.choice = DestroyAnswer::Choice::Proceed;
        accept();
    });
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void DestroyQuestionBox::backUpFirst() {
    const QString folder = chooseFolder_ ? chooseFolder_(this, "Back Up Keyboard Into") : QString();
    if (folder.isEmpty())
        return; // back to the question
    answer_.choice = DestroyAnswer::Choice::BackUpFirst;
    answer_.backupFolder = folder.toStdString();
    accept();
}

DestroyAnswer DestroyQuestionBox::ask() {
    answer_ = {};
    if (exec() != QDialog::Accepted)
        return {DestroyAnswer::Choice::Cancel, false, {}};
    answer_.keepCopy = keepCopyBox_ && keepCopyBox_->isChecked();
    return answer_;
}

} // namespace qel::app
