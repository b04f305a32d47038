#pragma once

// The line above the card list that says why the list is empty when the card
// cannot be listed: no card drive is set (and where to set it), or the drive
// has no VORLA_MD folder, with a button that creates it. Hidden while the
// card folder is there.

#include "workflows/CardFiles.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace qel::app {

class CardTabHint : public QWidget {
public:
    // `create` runs when the user presses "Create VORLA_MD".
    explicit CardTabHint(std::function<void()> create, QWidget* parent = nullptr);

    // Says what `state` means for the card drive `drive`; hides for Ready.
    void showState(CardFiles::FolderState state, const QString& drive);

    QLabel* label() const { return label_; }
    QPushButton* createButton() const { return createButton_; }

private:
    QLabel* label_ = nullptr;
    QPushButton* createButton_ = nullptr;
};

} // namespace qel::app
