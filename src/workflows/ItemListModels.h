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
#include <QString>
#include <cstddef>
#include <memory>
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

// A list of records, one a row, under the column titles it was made with.
// Column 0 shows no text (the view puts the type's icon there).
template <typename Record> class ItemListModel : public TypedListModel {
public:
    using RecordPtr = std::shared_ptr<Record>;

    explicit ItemListModel(std::vector<const char*> titles) : titles_(std::move(titles)) {}

    // Replaces every row: the records of `type`, in order (a reset).
    void setRows(type::id type, std::vector<RecordPtr> rows) {
        beginResetModel();
        type_ = type;
        rows_ = std::move(rows);
        endResetModel();
    }
    // The record behind row `row`; null when no row `row` is shown.
    RecordPtr item(int row) const {
        if (row < 0 || static_cast<std::size_t>(row) >= rows_.size())
            return nullptr;
        return rows_[static_cast<std::size_t>(row)];
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(titles_.size());
    }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override {
        const RecordPtr record = index.isValid() ? item(index.row()) : nullptr;
        if (!record)
            return {};
        if (role == ItemTypeRole)
            return static_cast<int>(type_);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        if (role != Qt::DisplayRole)
            return {};
        return text(*record, index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= static_cast<int>(titles_.size()))
            return {};
        return QString::fromLatin1(titles_[static_cast<std::size_t>(section)]);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    }

protected:
    // What column `column` shows of `record`.
    virtual QString text(const Record& record, int column) const = 0;

private:
    std::vector<const char*> titles_;
    std::vector<RecordPtr> rows_;
};

// The keyboard list: "", "No", "Name", "Size".
class KbdSlotModel final : public ItemListModel<KbdDataAttribute> {
public:
    enum Column { IconColumn, NoColumn, NameColumn, SizeColumn };

    KbdSlotModel() : ItemListModel({"", "No", "Name", "Size"}) {}

protected:
    QString text(const KbdDataAttribute& slot, int column) const override;
};

// A file list (PC or card): "", "Name", "Size", "Date".
class FileListModel final : public ItemListModel<VdfDataAttribute> {
public:
    enum Column { IconColumn, NameColumn, SizeColumn, DateColumn };

    FileListModel() : ItemListModel({"", "Name", "Size", "Date"}) {}

protected:
    QString text(const VdfDataAttribute& file, int column) const override;
};

} // namespace qel
