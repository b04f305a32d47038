#include "app/ItemSortFilterModel.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPalette>

namespace qel::app {

QIcon itemTypeIcon(int type) {
    return QIcon(QString(":/icons/type%1.png").arg(type));
}

ItemSortFilterModel::ItemSortFilterModel(TypedListModel* source, int nameColumn, QObject* parent)
    : QSortFilterProxyModel(parent), source_(source) {
    setSourceModel(source);
    setFilterKeyColumn(nameColumn);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    // The list keeps the order it is sorted in when the rows are set again.
    setDynamicSortFilter(true);
}

void ItemSortFilterModel::setNameFilter(const QString& text) {
    setFilterFixedString(text);
}

QVariant ItemSortFilterModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::DecorationRole && index.column() == 0) {
        const QVariant type = QSortFilterProxyModel::data(index, ItemTypeRole);
        return type.isValid() ? QVariant(itemTypeIcon(type.toInt())) : QVariant();
    }
    // An empty slot's row is greyed, so that it cannot be taken for an
    // unnamed item.
    if (role == Qt::ForegroundRole && QSortFilterProxyModel::data(index, EmptyRole).toBool())
        return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    return QSortFilterProxyModel::data(index, role);
}

Qt::ItemFlags ItemSortFilterModel::flags(const QModelIndex& index) const {
    const Qt::ItemFlags flags = QSortFilterProxyModel::flags(index);
    return index.isValid() ? flags | Qt::ItemIsDragEnabled : flags;
}

bool ItemSortFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    // The list models give each cell a key that sorts as the user expects:
    // numbers and sizes as numbers, dates in time order (a date is shown in
    // the user's locale), names as text.
    const QVariant a = source_->data(left, SortRole);
    const QVariant b = source_->data(right, SortRole);
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return a.toString().compare(b.toString(), Qt::CaseInsensitive) < 0;
    return a.toLongLong() < b.toLongLong();
}

} // namespace qel::app
