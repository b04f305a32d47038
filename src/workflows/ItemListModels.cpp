#include "workflows/ItemListModels.h"

#include "core/KeyboardTables.h"
#include "workflows/FileDateText.h"

#include <QFile>
#include <QUrl>
#include <algorithm>

namespace qel {

namespace {

// Names are the keyboard's bytes, shown one character each up to the first NUL.
QString nameText(const std::string& name) {
    return QString::fromLatin1(name.c_str());
}

// A drag of more rows than any list has is no drag of ours.
constexpr qsizetype maximumDraggedRows = 100000;

} // namespace

bool emptySlot(type::id type, const KbdDataAttribute& slot) {
    if (!slot.known)
        return false;
    if (slot.size <= 0)
        return true;
    // A fixed-size block always has its size; an unused one has a blank name.
    if (transfer::fixedSize(slot.category) != 0 && type != type::Registration)
        return slot.name.find_first_not_of(std::string(" \0", 2)) == std::string::npos;
    return false;
}

QByteArray encodeDraggedRows(type::id type, std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QByteArray text = QByteArray::number(static_cast<int>(type));
    for (int row : rows)
        text += ' ' + QByteArray::number(row);
    return text;
}

std::optional<DraggedRows> draggedRows(const QMimeData& data, const char* mimeType) {
    const QString format = QString::fromLatin1(mimeType);
    if (!data.hasFormat(format))
        return std::nullopt;
    const QList<QByteArray> fields = data.data(format).split(' ');
    if (fields.size() < 2 || fields.size() > maximumDraggedRows + 1)
        return std::nullopt;
    bool ok = false;
    const int typeValue = fields.front().toInt(&ok);
    if (!ok || typeValue < 0 || typeValue >= type::count)
        return std::nullopt;
    DraggedRows dragged{static_cast<type::id>(typeValue), {}};
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const int row = fields[i].toInt(&ok);
        if (!ok || row < 0)
            return std::nullopt;
        dragged.rows.push_back(row);
    }
    return dragged;
}

QString KbdSlotModel::text(const KbdDataAttribute& slot, int column) const {
    // A slot that could not be read after a failed change is not shown as
    // holding anything in particular.
    switch (column) {
    case NoColumn:
        return QString::number(slot.position);
    case NameColumn:
        if (!slot.known)
            return QStringLiteral("?");
        return emptySlot(type(), slot) ? QStringLiteral("(empty)") : nameText(slot.name);
    case SizeColumn:
        if (!slot.known)
            return QStringLiteral("?");
        return emptySlot(type(), slot) ? QString() : QString::number(slot.size);
    default:
        return QString();
    }
}

QVariant KbdSlotModel::sortKey(const KbdDataAttribute& slot, int column) const {
    switch (column) {
    case NoColumn:
        return static_cast<int>(slot.position);
    case SizeColumn:
        // Unknown first, then empty, then by size.
        if (!slot.known)
            return qint64{-2};
        return emptySlot(type(), slot) ? qint64{-1} : qint64{slot.size};
    default:
        return text(slot, column);
    }
}

QString FileListModel::text(const VdfDataAttribute& file, int column) const {
    switch (column) {
    case NameColumn:
        return nameText(file.name);
    case SizeColumn:
        return QString::number(file.size);
    case DateColumn:
        return QString::fromStdString(formatDosDateTime(file.date));
    default:
        return QString();
    }
}

QVariant FileListModel::sortKey(const VdfDataAttribute& file, int column) const {
    switch (column) {
    case SizeColumn:
        return qint64{file.size};
    case DateColumn:
        return qint64{file.date};
    default:
        return text(file, column);
    }
}

void FileListModel::addMimeData(const std::vector<int>& rows, QMimeData& data) const {
    QList<QUrl> urls;
    for (int row : rows)
        if (const VdfDataAttributePtr file = item(row); file && !file->path.empty())
            urls.push_back(
                QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(file->path))));
    if (!urls.empty())
        data.setUrls(urls);
}

} // namespace qel
