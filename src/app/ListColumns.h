#pragma once

// The columns of one list: each fits its contents whenever the list is
// filled, until the user drags its edge; from then on it keeps the width the
// user gave it, also in later runs (the window stores handSet() and hands it
// back through setHandSet()). The first column holds the type's icon only and
// keeps its width.

#include "app/WindowState.h"

#include <QObject>
#include <set>

class QTreeView;

namespace qel::app {

class ListColumns : public QObject {
public:
    // Takes charge of the columns of `list` (and lives as long as it does):
    // they can be dragged, and fit their contents now and at every refill.
    explicit ListColumns(QTreeView* list);

    // The widths the user set by hand, by column.
    WindowState::ColumnWidths handSet() const;
    // Gives columns the widths set by hand earlier (a column the list does
    // not have is left out); those columns no longer fit their contents.
    void setHandSet(const WindowState::ColumnWidths& widths);

    // Fits every column that was not set by hand to its contents.
    void fit();

protected:
    // Tells a drag on the header (the user's) from the list's own resizing.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onSectionResized(int column);

    QTreeView* list_;
    std::set<int> handSet_;
    bool headerPressed_ = false;
    bool fitting_ = false;
};

} // namespace qel::app
