#include "app/MemoryBar.h"

#include <QLocale>
#include <algorithm>
#include <limits>

namespace qel::app {

namespace {

// Thousands separators as in the rest of the program's English texts,
// whatever the system's locale.
QString grouped(std::int64_t number) {
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(qlonglong{number});
}

QString kilobytes(std::int64_t bytes) {
    if (bytes > 0 && bytes < 512)
        return "<1 KB";
    return grouped((bytes + 512) / 1024) + " KB";
}

QString memoryName(MemoryBar::Memory memory) {
    return memory == MemoryBar::Memory::Song ? "Song" : "Data";
}

} // namespace

MemoryBar::MemoryBar(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    setMinimumWidth(fontMetrics().horizontalAdvance("Data 1,536 KB used, 1,536 KB free") + 24);
}

void MemoryBar::showUse(Memory memory, std::int64_t total, std::int64_t used) {
    // The bar counts bytes; the keyboard's memories are far below int's range.
    total = std::clamp<std::int64_t>(total, 0, std::numeric_limits<int>::max());
    used = std::clamp<std::int64_t>(used, 0, total);
    setRange(0, static_cast<int>(total));
    setValue(static_cast<int>(used));
    setFormat(textFor(memory, total, used));
    setToolTip(toolTipFor(memory, total, used));
}

QString MemoryBar::textFor(Memory memory, std::int64_t total, std::int64_t used) {
    used = std::clamp<std::int64_t>(used, 0, std::max<std::int64_t>(total, 0));
    return memoryName(memory) + " " + kilobytes(used) + " used, " + kilobytes(total - used) +
           " free";
}

QString MemoryBar::toolTipFor(Memory memory, std::int64_t total, std::int64_t used) {
    used = std::clamp<std::int64_t>(used, 0, std::max<std::int64_t>(total, 0));
    const QString holds =
        memory == Memory::Song
            ? "The song memory holds the user songs."
            : "The data memory holds the waves of the user tones and drums with wave, the "
              "user rhythms and the Standard MIDI Files.";
    return memoryName(memory) + " memory: " + grouped(used) + " bytes used, " +
           grouped(total - used) + " bytes free, of " + grouped(total) + " bytes.\n" + holds;
}

} // namespace qel::app
