#include "workflows/ItemListModels.h"

#include "workflows/FileDateText.h"

namespace qel {

namespace {

// Names are the keyboard's bytes, shown one character each up to the first NUL.
QString nameText(const std::string& name) {
    return QString::fromLatin1(name.c_str());
}

QVariant leftAligned() {
    return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
}

} // namespace

// ---- the keyboard list ----

void KbdSlotModel::setRows(type::id type, std::vector<KbdDataAttributePtr> rows) {
    beginResetModel();
    type_ = type;
    rows_ = std::move(rows);
    endResetModel();
}

KbdDataAttributePtr KbdSlotModel::item(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size())
        return nullptr;
    return rows_[static_cast<std::size_t>(row)];
}

int KbdSlotModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int KbdSlotModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant KbdSlotModel::data(const QModelIndex& index, int role) const {
    const KbdDataAttributePtr slot = index.isValid() ? item(index.row()) : nullptr;
    if (!slot)
        return {};
    if (role == ItemTypeRole)
        return static_cast<int>(type_);
    if (role == Qt::TextAlignmentRole)
        return leftAligned();
    if (role != Qt::DisplayRole)
        return {};
    // A slot that could not be read after a failed change is not shown as
    // holding anything in particular; SMF rows have no number.
    switch (index.column()) {
    case NoColumn:
        return type_ == type::Smf ? QString() : QString::number(slot->position);
    case NameColumn:
        return slot->known ? nameText(slot->name) : QStringLiteral("?");
    case SizeColumn:
        return slot->known ? QString::number(slot->size) : QStringLiteral("?");
    default:
        return QString();
    }
}

QVariant KbdSlotModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const titles[ColumnCount] = {"", "No", "Name", "Size"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return QString::fromLatin1(titles[section]);
}

Qt::ItemFlags KbdSlotModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

// ---- a file list ----

void FileListModel::setRows(type::id type, std::vector<VdfDataAttributePtr> rows) {
    beginResetModel();
    type_ = type;
    rows_ = std::move(rows);
    endResetModel();
}

VdfDataAttributePtr FileListModel::item(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size())
        return nullptr;
    return rows_[static_cast<std::size_t>(row)];
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    const VdfDataAttributePtr file = index.isValid() ? item(index.row()) : nullptr;
    if (!file)
        return {};
    if (role == ItemTypeRole)
        return static_cast<int>(type_);
    if (role == Qt::TextAlignmentRole)
        return leftAligned();
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case NameColumn:
        return nameText(file->name);
    case SizeColumn:
        return QString::number(file->size);
    case DateColumn:
        return QString::fromStdString(formatDosDateTime(file->date));
    default:
        return QString();
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const titles[ColumnCount] = {"", "Name", "Size", "Date"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return QString::fromLatin1(titles[section]);
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

} // namespace qel
