#pragma once

// The lists the window shows, as table models: the keyboard's slots, and the
// files of the PC's data directory or of the memory card. Each model holds
// its rows and the item behind each row in one place, so that a row on
// screen always names the item an action will use. Column 0 carries the data
// type (ItemTypeRole) for the view's icon; the other columns the texts.
//
// A view that sorts or filters shows the rows through a proxy; the actions
// take the models' own rows (mapped back through the proxy), and a drag
// carries those rows too (draggedRows()).

#include "core/Catalogue.h"
#include "model/KbdData.h"
#include "model/VdfDataAttribute.h"

#include <QAbstractTableModel>
#include <QMimeData>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace qel {

enum ItemListRole {
    // The data type of every row (int), in every column.
    ItemTypeRole = Qt::UserRole,
    // True (bool) in every column of a row that stands for an empty slot:
    // the view shows it greyed. The workflows know no palette.
    EmptyRole,
    // What a column sorts by, where its text would sort wrongly: numbers and
    // sizes as numbers, dates as their packed value, names as their text.
    // Empty and unknown slots sort before every size.
    SortRole,
};

// The mime types of rows dragged out of the lists.
inline constexpr char kbdRowsMimeType[] = "application/x-tq7400-kbd-rows";
inline constexpr char pcRowsMimeType[] = "application/x-tq7400-pc-rows";
inline constexpr char cardRowsMimeType[] = "application/x-tq7400-card-rows";

// The rows of one list a drag carries: the model's own rows, and the data
// type the list showed when the drag began.
struct DraggedRows {
    type::id type = type::UserTone;
    std::vector<int> rows;
};

// The rows `data` carries under `mimeType`; nothing when it carries none, or
// anything that is not rows of a list (a drop may come from any program).
std::optional<DraggedRows> draggedRows(const QMimeData& data, const char* mimeType);

// Whether a slot that was read holds nothing: no size, or a fixed-size block
// (registrations aside, which are never empty) whose name is blank. A slot
// that could not be read is not empty: it may hold anything.
bool emptySlot(type::id type, const KbdDataAttribute& slot);

// A list of the items of one data type.
class TypedListModel : public QAbstractTableModel {
public:
    // The data type of the rows shown (the type chosen when they were set).
    type::id type() const { return type_; }

protected:
    type::id type_ = type::UserTone;
};

// A list of records, one a row, under the column titles it was made with.
// Column 0 shows no text (the view puts the type's icon there). Rows can be
// dragged, many at once; the drag carries them under the list's mime type.
template <typename Record> class ItemListModel : public TypedListModel {
public:
    using RecordPtr = std::shared_ptr<Record>;

    ItemListModel(std::vector<const char*> titles, const char* mimeType)
        : titles_(std::move(titles)), mimeType_(mimeType) {}

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
        switch (role) {
        case ItemTypeRole:
            return static_cast<int>(type_);
        case EmptyRole:
            return empty(*record);
        case SortRole:
            return sortKey(*record, index.column());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        case Qt::DisplayRole:
            return text(*record, index.column());
        default:
            return {};
        }
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
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren |
               Qt::ItemIsDragEnabled;
    }
    QStringList mimeTypes() const override { return {QString::fromLatin1(mimeType_)}; }
    // The rows of `indexes` (each row once, in ascending order) under the
    // list's mime type; null when none of them is a row of this list.
    QMimeData* mimeData(const QModelIndexList& indexes) const override {
        std::vector<int> rows;
        for (const QModelIndex& index : indexes)
            if (index.isValid() && index.model() == this && item(index.row()))
                rows.push_back(index.row());
        if (rows.empty())
            return nullptr;
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        auto* data = new QMimeData; // owned by the view's drag, as Qt's models do
        data->setData(QString::fromLatin1(mimeType_), encodeRows(rows));
        addMimeData(rows, *data);
        return data;
    }
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

protected:
    // What column `column` shows of `record`.
    virtual QString text(const Record& record, int column) const = 0;
    // What column `column` sorts by; its text unless a list says otherwise.
    virtual QVariant sortKey(const Record& record, int column) const {
        return text(record, column);
    }
    // Whether the row stands for an empty slot.
    virtual bool empty(const Record&) const { return false; }
    // More formats a drag of `rows` offers, besides the rows themselves.
    virtual void addMimeData(const std::vector<int>& /*rows*/, QMimeData& /*data*/) const {}

private:
    QByteArray encodeRows(std::vector<int> rows) const;

    std::vector<const char*> titles_;
    const char* mimeType_;
    std::vector<RecordPtr> rows_;
};

// The rows as the mime data carries them: the type, then each row, in
// decimal, separated by spaces ("5 0 3 7").
QByteArray encodeDraggedRows(type::id type, std::vector<int> rows);

template <typename Record>
QByteArray ItemListModel<Record>::encodeRows(std::vector<int> rows) const {
    return encodeDraggedRows(type_, std::move(rows));
}

// The keyboard list: "", "No", "Name", "Size". Every slot is a row, numbered
// as the keyboard shows it; an empty slot reads "(empty)" with no size.
class KbdSlotModel final : public ItemListModel<KbdDataAttribute> {
public:
    enum Column { IconColumn, NoColumn, NameColumn, SizeColumn };

    KbdSlotModel() : ItemListModel({"", "No", "Name", "Size"}, kbdRowsMimeType) {}

protected:
    QString text(const KbdDataAttribute& slot, int column) const override;
    QVariant sortKey(const KbdDataAttribute& slot, int column) const override;
    bool empty(const KbdDataAttribute& slot) const override { return emptySlot(type(), slot); }
};

// A file list (PC or card): "", "Name", "Size", "Date". A drag of its rows
// also offers the files themselves (text/uri-list), for a file manager.
class FileListModel final : public ItemListModel<VdfDataAttribute> {
public:
    enum Column { IconColumn, NameColumn, SizeColumn, DateColumn };

    explicit FileListModel(const char* mimeType = pcRowsMimeType)
        : ItemListModel({"", "Name", "Size", "Date"}, mimeType) {}

protected:
    QString text(const VdfDataAttribute& file, int column) const override;
    QVariant sortKey(const VdfDataAttribute& file, int column) const override;
    void addMimeData(const std::vector<int>& rows, QMimeData& data) const override;
};

} // namespace qel
