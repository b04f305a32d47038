#pragma once

// A list model as the window shows it: sorted by the column the user clicked,
// filtered by the text typed above the list, with the data type's icon in
// the first column. Rows are mapped back to the source model's rows, so that
// an action always takes the item shown.

#include "workflows/ItemListModels.h"

#include <QSortFilterProxyModel>

namespace qel::app {

// The icon of data type `type`.
QIcon itemTypeIcon(int type);

class ItemSortFilterModel : public QSortFilterProxyModel {
public:
    // Shows `source`, whose names are in column `nameColumn`.
    ItemSortFilterModel(TypedListModel* source, int nameColumn, QObject* parent);

    // Shows only the rows whose name contains `text` (any case); all rows
    // when it is empty.
    void setNameFilter(const QString& text);

    QVariant data(const QModelIndex& index, int role) const override;
    // Every row can be dragged.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

protected:
    // Numbers (slot numbers, sizes) compare as numbers, dates in time order,
    // other texts alphabetically ignoring case.
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    TypedListModel* source_;
};

} // namespace qel::app
