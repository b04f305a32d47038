#pragma once

// A list of the window: a table sorted by the header clicked, with a filter
// box above it (Ctrl+F focuses it, Esc clears it), many rows selectable, a
// context menu, and rows that can be dragged out and dropped onto. Every row
// handed out is a row of the source model (DataManager's models), whatever
// the sorting and filtering, so that an action takes the item shown.
// The list only says what happened; the window decides what it does.

#include "app/ItemDragData.h"
#include "app/ItemSortFilterModel.h"

#include <QTreeView>
#include <functional>
#include <optional>
#include <vector>

class QLineEdit;
class QMimeData;

namespace qel::app {

class ItemListView : public QTreeView {
public:
    // A list of `model`, whose names are in column `nameColumn`, sorted by
    // `sortColumn` (-1: in the model's order) until the user sorts it.
    ItemListView(TypedListModel* model, int nameColumn, int sortColumn);

    // The filter box with this list under it, to put into a layout (it then
    // owns the list).
    QWidget* pane() const { return pane_; }
    QLineEdit* filterBox() const { return filter_; }
    ItemSortFilterModel* shownModel() const { return shown_; }

    // The selected rows, in the order shown, as source model rows.
    std::vector<int> selectedSourceRows() const;
    // The first selected row as a source model row; -1 when none is selected.
    int firstSelectedSourceRow() const;
    // Makes source row `row` the one selected (nothing when it is not shown).
    void selectSourceRow(int row);
    // Selects the source rows `rows` that are shown, the first one current.
    void selectSourceRows(const std::vector<int>& rows);
    // The source row shown at `position` (viewport coordinates); -1 below the rows.
    int sourceRowAt(const QPoint& position) const;

    // ---- what the window does ----

    // The actions of the right-click menu, asked for each time it opens (a
    // null entry is a separator).
    std::function<QList<QAction*>()> contextActions;
    // A double-click on a row.
    std::function<void()> activated;
    // The drag data of the selected rows; no drag when unset.
    std::function<QMimeData*(const std::vector<int>& rows)> dragData;
    // Drops taken: rows of the keyboard or PC list, or local files, dropped
    // onto source row `target` (-1 below the rows). A kind left unset is
    // refused. Each runs after the drop has ended, from the event loop.
    std::function<void(const std::vector<int>& rows, int target)> kbdRowsDropped;
    std::function<void(const std::vector<int>& rows, int target)> pcRowsDropped;
    std::function<void(const std::vector<std::string>& paths, int target)> filesDropped;
    // While true, nothing is dropped.
    std::function<bool()> busy;

    // Takes the drop of `data` at `position` as dropEvent() does: false
    // when it is refused.
    bool takeDrop(const QMimeData& data, const QPoint& position);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct KeptSelection {
        std::vector<int> rows;
        type::id type = type::UserTone;
    };

    void createPane();
    void showContextMenu(const QPoint& position);
    // The handler that would take `data`; empty when the drop is refused.
    std::function<void()> dropHandler(const QMimeData& data, int target) const;

    // The list's own model, null once it is gone.
    TypedListModel* model_ = nullptr;
    ItemSortFilterModel* shown_ = nullptr;
    QWidget* pane_ = nullptr;
    QLineEdit* filter_ = nullptr;
};

} // namespace qel::app
