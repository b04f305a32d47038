#pragma once

// The question the window asks before a keyboard action destroys anything on
// the keyboard: the action in the title, the question, what will be lost in a
// list, the action's verb on the accept button and Cancel as the default (so
// Return and Escape both keep everything). A single item offers to keep a copy
// on the PC first; many items offer to back the keyboard up first.

#include "workflows/DataManagerView.h"

#include <QDialog>
#include <QString>
#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace qel::app {

// How a folder is chosen; an empty string when the user cancels.
using FolderChooser = std::function<QString(QWidget* parent, const QString& title)>;

class DestroyQuestionBox : public QDialog {
public:
    // A box owned by `parent` asking `question`; "Back Up First..." chooses
    // the backup's folder with `chooseFolder`.
    DestroyQuestionBox(const DestroyQuestion& question, FolderChooser chooseFolder,
                       QWidget* parent);

    // Shows the box modally and returns the user's answer. A cancelled folder
    // choice returns to the question.
    DestroyAnswer ask();

    // The title and the accept button's text for each action.
    static QString title(DestroyQuestion::Action action);
    static QString verb(DestroyQuestion::Action action);

    QLabel* questionLabel() const { return questionLabel_; }
    QListWidget* lostList() const { return lostList_; }
    QCheckBox* keepCopyBox() const { return keepCopyBox_; }     // null without offerCopy
    QPushButton* backUpButton() const { return backUpButton_; } // null without offerBackUp
    QPushButton* acceptButton() const { return acceptButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

private:
    void backUpFirst();

    FolderChooser chooseFolder_;
    DestroyAnswer answer_;
    // All owned by this box through Qt parents.
    QLabel* questionLabel_ = nullptr;
    QListWidget* lostList_ = nullptr;
    QCheckBox* keepCopyBox_ = nullptr;
    QPushButton* backUpButton_ = nullptr;
    QPushButton* acceptButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

} // namespace qel::app
