#include "app/ItemListView.h"

#include <QAction>
#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace qel::app {

ItemListView::ItemListView(TypedListModel* model, int nameColumn, int sortColumn) : model_(model) {
    // A list that shows the same type again keeps its selected rows, so that
    // the next Send or Receive goes where the user pointed; after a type
    // change nothing is selected. The rows are taken before the sorting
    // model follows the source (connected first), while they still map to
    // the rows shown, and given back after the view's own reset.
    // The window's models may go before its widgets do (while it closes):
    // the list then shows nothing rather than asking a model that is gone.
    connect(model, &QObject::destroyed, this, [this] {
        model_ = nullptr;
        setModel(nullptr);
    });
    auto kept = std::make_shared<KeptSelection>();
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this, model, kept] {
        *kept = {selectedSourceRows(), model->type()};
    });
    shown_ = new ItemSortFilterModel(model, nameColumn, this);
    setModel(shown_);
    connect(shown_, &QAbstractItemModel::modelReset, this, [this, model, kept] {
        if (kept->type == model->type())
            selectSourceRows(kept->rows);
    });
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformRowHeights(true);
    header()->setSortIndicator(sortColumn, Qt::AscendingOrder);
    setSortingEnabled(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { showContextMenu(position); });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && activated)
            activated();
    });
    createPane();
}

void ItemListView::createPane() {
    pane_ = new QWidget;
    auto* layout = new QVBoxLayout(pane_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    filter_ = new QLineEdit;
    filter_->setPlaceholderText("Filter names (Ctrl+F)");
    filter_->setClearButtonEnabled(true);
    connect(filter_, &QLineEdit::textChanged, shown_, &ItemSortFilterModel::setNameFilter);
    auto* clear = new QAction(filter_);
    clear->setShortcut(Qt::Key_Escape);
    clear->setShortcutContext(Qt::WidgetShortcut);
    connect(clear, &QAction::triggered, filter_, &QLineEdit::clear);
    filter_->addAction(clear);
    // Ctrl+F reaches the filter of the list that has the focus.
    auto* find = new QAction(pane_);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QAction::triggered, filter_, [this] {
        filter_->setFocus(Qt::ShortcutFocusReason);
        filter_->selectAll();
    });
    pane_->addAction(find);
    layout->addWidget(filter_);
    layout->addWidget(this, 1);
}

std::vector<int> ItemListView::selectedSourceRows() const {
    QModelIndexList selected = selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<int> rows;
    for (const QModelIndex& index : selected)
        if (const QModelIndex source = shown_->mapToSource(index); source.isValid())
            rows.push_back(source.row());
    return rows;
}

int ItemListView::firstSelectedSourceRow() const {
    const std::vector<int> rows = selectedSourceRows();
    return rows.empty() ? -1 : rows.front();
}

void ItemListView::selectSourceRow(int row) {
    selectSourceRows({row});
}

void ItemListView::selectSourceRows(const std::vector<int>& rows) {
    clearSelection();
    bool first = true;
    for (int row : rows) {
        const QModelIndex index = shown_->mapFromSource(shown_->sourceModel()->index(row, 0));
        if (!index.isValid())
            continue; // filtered out, or no longer there
        if (first)
            setCurrentIndex(index);
        else
            selectionModel()->select(index,
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        first = false;
    }
}

int ItemListView::sourceRowAt(const QPoint& position) const {
    const QModelIndex source = shown_->mapToSource(indexAt(position));
    return source.isValid() ? source.row() : -1;
}

void ItemListView::showContextMenu(const QPoint& position) {
    if (!contextActions)
        return;
    // A right-click on a row that is not selected acts on that row.
    const QModelIndex index = indexAt(position);
    if (index.isValid() && !selectionModel()->isRowSelected(index.row(), index.parent()))
        setCurrentIndex(index);
    QMenu menu(this);
    for (QAction* action : contextActions()) {
        if (action)
            menu.addAction(action);
        else
            menu.addSeparator();
    }
    menu.exec(viewport()->mapToGlobal(position));
}

// ---- drag and drop ----

void ItemListView::startDrag(Qt::DropActions) {
    const std::vector<int> rows = selectedSourceRows();
    if (rows.empty() || !dragData)
        return;
    QMimeData* data = dragData(rows);
    if (!data)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

std::function<void()> ItemListView::dropHandler(const QMimeData& data, int target) const {
    if (busy && busy())
        return {};
    // Rows of this program are taken as rows only; their files (which
    // keyboard rows write only when asked) are for other programs.
    if (carriesRows(data)) {
        if (!model_)
            return {};
        const type::id type = model_->type();
        if (auto rows = takeRows(data, RowSource::Keyboard, type); rows && kbdRowsDropped)
            return [handle = kbdRowsDropped, rows = *rows, target] { handle(rows, target); };
        if (auto rows = takeRows(data, RowSource::Pc, type); rows && pcRowsDropped)
            return [handle = pcRowsDropped, rows = *rows, target] { handle(rows, target); };
        return {};
    }
    if (!filesDropped)
        return {};
    if (auto paths = takeLocalFiles(data))
        return [handle = filesDropped, paths = *paths, target] { handle(paths, target); };
    return {};
}

void ItemListView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData() && dropHandler(*event->mimeData(), -1)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ItemListView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData() && dropHandler(*event->mimeData(), -1)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ItemListView::dropEvent(QDropEvent* event) {
    if (event->mimeData() && takeDrop(*event->mimeData(), event->position().toPoint())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

bool ItemListView::takeDrop(const QMimeData& data, const QPoint& position) {
    std::function<void()> handle = dropHandler(data, sourceRowAt(position));
    if (!handle)
        return false;
    // The action (a keyboard transfer with its own windows) runs once the
    // drag has ended, not inside the drop.
    QTimer::singleShot(0, this, std::move(handle));
    return true;
}

} // namespace qel::app
