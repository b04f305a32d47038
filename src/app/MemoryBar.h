#pragma once

// The keyboard's memory in use, shown in the window's top strip: a bar with
// its figures written on it ("Data 5 KB used, 1,531 KB free") and the exact
// bytes, and what that memory holds, in its tooltip.

#include <QProgressBar>
#include <QString>
#include <cstdint>

namespace qel::app {

class MemoryBar : public QProgressBar {
public:
    // The keyboard's two memories: the data memory (waves, rhythms, SMF) and
    // the song memory.
    enum class Memory { Data, Song };

    explicit MemoryBar(QWidget* parent = nullptr);

    // Shows `used` bytes of the `total` of `memory` (a figure outside 0 to
    // `total` is taken as its nearest end).
    void showUse(Memory memory, std::int64_t total, std::int64_t used);

    // "Data 5 KB used, 1,531 KB free": kilobytes of 1024 bytes, rounded to
    // the nearest, with thousands separators; a figure above zero but under
    // half a kilobyte reads "<1 KB", never as nothing.
    static QString textFor(Memory memory, std::int64_t total, std::int64_t used);
    // The exact figures in bytes, and what the memory holds.
    static QString toolTipFor(Memory memory, std::int64_t total, std::int64_t used);
};

} // namespace qel::app
