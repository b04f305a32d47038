#pragma once

// A Standard MIDI File in memory: its header values and its tracks as lists of
// events with absolute times.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace qel::smf {

// A file that is no valid Standard MIDI File.
class SmfError : public std::runtime_error {
public:
    explicit SmfError(const std::string& message) : std::runtime_error(message) {}
};

enum class EventKind : std::uint8_t {
    Channel,     // status 0x80..0xEF and its one or two data bytes
    SysEx,       // F0 <length> <bytes>: the bytes after the length
    SysExEscape, // F7 <length> <bytes>
    Meta,        // FF <type> <length> <bytes>
};

// The number of data bytes after a channel message's status byte (0x80..0xEF):
// one for program change and channel pressure, two for the others.
inline int channelDataBytes(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

struct Event {
    std::uint64_t tick = 0; // absolute time in ticks from the track's start
    EventKind kind = EventKind::Channel;
    std::uint8_t status = 0;   // the status byte (running status made explicit)
    std::uint8_t metaType = 0; // for Meta only
    std::vector<std::uint8_t> data;

    bool isEndOfTrack() const { return kind == EventKind::Meta && metaType == 0x2F; }
    bool operator==(const Event&) const = default;
};

using Track = std::vector<Event>;

struct Song {
    std::uint16_t format = 0;
    std::uint16_t division = 0;
    std::vector<Track> tracks;
};

} // namespace qel::smf
