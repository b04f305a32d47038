#pragma once

// The lists the window shows, as table models: the keyboard's slots, and the
// files of the PC's data directory or of the memory card. Each model holds
// its rows and the item behind each row in one place, so that a row on
// screen always names the item an action will use. Column 0 carries the data
// type (ItemTypeRole) for the view's icon; the other columns the texts.

#include "core/Catalogue.h"
#include "model/KbdData.h"
#include "model/VdfDataAttribute.h"

#include <QAbstractTableModel>
#include <vector>

namespace qel {

enum ItemListRole {
    // The data type of every row (int), in every column.
    ItemTypeRole = Qt::UserRole,
};

// A list of the items of one data type.
class TypedListModel : public QAbstractTableModel {
public:
    // The data type of the rows shown (the type chosen when they were set).
    type::id type() const { return type_; }

protected:
    type::id type_ = type::UserTone;
};

// The keyboard list: "", "No", "Name", "Size".
class KbdSlotModel : public TypedListModel {
public:
    enum Column { IconColumn, NoColumn, NameColumn, SizeColumn, ColumnCount };

    // Replaces every row: the slots of `type`, in order (a reset).
    void setRows(type::id type, std::vector<KbdDataAttributePtr> rows);
    // The slot behind row `row`; null when no row `row` is shown.
    KbdDataAttributePtr item(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<KbdDataAttributePtr> rows_;
};

// A file list (PC or card): "", "Name", "Size", "Date".
class FileListModel : public TypedListModel {
public:
    enum Column { IconColumn, NameColumn, SizeColumn, DateColumn, ColumnCount };

    // Replaces every row: the files of `type`, in order (a reset).
    void setRows(type::id type, std::vector<VdfDataAttributePtr> rows);
    // The file behind row `row`; null when no row `row` is shown.
    VdfDataAttributePtr item(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<VdfDataAttributePtr> rows_;
};

} // namespace qel
