#pragma once

// The MIDI log: the last few thousand messages between the program and the
// keyboard, each with its time, its direction, its bytes and what it is. It
// records only while enabled (while its window is open), so it costs nothing
// otherwise. Fed by the MIDI dialog's monitor (MidiDialogEnvironment).

#include "core/ByteVector.h"

#include <QTime>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>

namespace qel {

struct MidiLogEntry {
    QTime time;
    bool sent = false; // to the keyboard, or from it
    ByteVector bytes;
    std::string what;
};

class MidiLog {
public:
    explicit MidiLog(std::size_t capacity = 5000) : capacity_(capacity) {}

    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool enabled() const { return enabled_; }

    // Keeps the message when enabled, dropping the oldest beyond the capacity,
    // and tells `onAdded`.
    void record(bool sent, const ByteVector& message);
    const std::deque<MidiLogEntry>& entries() const { return entries_; }
    void clear() { entries_.clear(); }

    // Runs after each recorded message (the window appends its line).
    std::function<void(const MidiLogEntry&)> onAdded;

    // What a message is, in words: its kind, category, number and the like
    // ("parameter request: Command 0, parameter 34").
    static std::string describe(const ByteVector& message);
    // The bytes in hexadecimal, separated by spaces.
    static std::string hex(const ByteVector& message);
    // One line of the log: time, direction, what, bytes.
    static std::string line(const MidiLogEntry& entry);

private:
    std::size_t capacity_;
    bool enabled_ = false;
    std::deque<MidiLogEntry> entries_;
};

} // namespace qel
