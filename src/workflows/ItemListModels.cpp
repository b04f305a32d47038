#include "workflows/ItemListModels.h"

#include "workflows/FileDateText.h"

namespace qel {

namespace {

// Names are the keyboard's bytes, shown one character each up to the first NUL.
QString nameText(const std::string& name) {
    return QString::fromLatin1(name.c_str());
}

} // namespace

QString KbdSlotModel::text(const KbdDataAttribute& slot, int column) const {
    // A slot that could not be read after a failed change is not shown as
    // holding anything in particular; SMF rows have no number.
    switch (column) {
    case NoColumn:
        return type() == type::Smf ? QString() : QString::number(slot.position);
    case NameColumn:
        return slot.known ? nameText(slot.name) : QStringLiteral("?");
    case SizeColumn:
        return slot.known ? QString::number(slot.size) : QStringLiteral("?");
    default:
        return QString();
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

} // namespace qel
