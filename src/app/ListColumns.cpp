#include "app/ListColumns.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QTreeView>

namespace qel::app {

ListColumns::ListColumns(QTreeView* list) : QObject(list), list_(list) {
    QHeaderView* header = list->header();
    for (int column = 0; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::Interactive);
    header->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this,
            [this](int column, int, int) { onSectionResized(column); });
    if (QAbstractItemModel* model = list->model()) {
        // Whatever refills the list: a reset, rows added, or a new order.
        connect(model, &QAbstractItemModel::modelReset, this, &ListColumns::fit);
        connect(model, &QAbstractItemModel::rowsInserted, this, &ListColumns::fit);
        connect(model, &QAbstractItemModel::layoutChanged, this, &ListColumns::fit);
    }
    fit();
}

WindowState::ColumnWidths ListColumns::handSet() const {
    WindowState::ColumnWidths widths;
    for (int column : handSet_)
        widths[column] = list_->header()->sectionSize(column);
    return widths;
}

void ListColumns::setHandSet(const WindowState::ColumnWidths& widths) {
    const bool wasFitting = std::exchange(fitting_, true);
    for (const auto& [column, width] : widths) {
        if (column <= 0 || column >= list_->header()->count())
            continue;
        list_->header()->resizeSection(column, width);
        handSet_.insert(column);
    }
    fitting_ = wasFitting;
}

void ListColumns::fit() {
    const bool wasFitting = std::exchange(fitting_, true);
    for (int column = 1; column < list_->header()->count(); ++column)
        if (!handSet_.contains(column))
            list_->resizeColumnToContents(column);
    fitting_ = wasFitting;
}

bool ListColumns::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress)
        headerPressed_ = true;
    else if (event->type() == QEvent::MouseButtonRelease)
        headerPressed_ = false;
    return QObject::eventFilter(watched, event);
}

void ListColumns::onSectionResized(int column) {
    // Only a drag on the header is the user's; the list stretching its last
    // column to the view's width is not.
    if (fitting_ || !headerPressed_ || column == 0)
        return;
    if (column == list_->header()->count() - 1 && list_->header()->stretchLastSection())
        return;
    handSet_.insert(column);
}

} // namespace qel::app
