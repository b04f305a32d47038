#include "app/ItemSortFilterModel.h"

#include <QIcon>

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
    return QSortFilterProxyModel::data(index, role);
}

Qt::ItemFlags ItemSortFilterModel::flags(const QModelIndex& index) const {
    const Qt::ItemFlags flags = QSortFilterProxyModel::flags(index);
    return index.isValid() ? flags | Qt::ItemIsDragEnabled : flags;
}

bool ItemSortFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    // A file's date is shown in the user's locale; its packed value is in
    // time order.
    if (auto* files = dynamic_cast<FileListModel*>(source_);
        files && left.column() == FileListModel::DateColumn) {
        const VdfDataAttributePtr a = files->item(left.row());
        const VdfDataAttributePtr b = files->item(right.row());
        if (a && b)
            return a->date < b->date;
    }
    const QString a = source_->data(left, Qt::DisplayRole).toString();
    const QString b = source_->data(right, Qt::DisplayRole).toString();
    bool aIsNumber = false;
    bool bIsNumber = false;
    const qlonglong x = a.toLongLong(&aIsNumber);
    const qlonglong y = b.toLongLong(&bIsNumber);
    if (aIsNumber && bIsNumber)
        return x < y;
    // Rows without a number ("?", empty slots) follow the numbered ones.
    if (aIsNumber != bIsNumber)
        return aIsNumber;
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

} // namespace qel::app
