#include "songconv/SmfReader.h"

#include <cstring>
#include <string>

namespace qel::smf {
namespace {

// Reads bytes from one range of the file; every read checks the range's end.
class Cursor {
public:
    // `file` is the start of the whole file, for the offsets in error texts.
    Cursor(const std::uint8_t* file, const std::uint8_t* begin, const std::uint8_t* end)
        : file_(file), at_(begin), end_(end) {}

    bool atEnd() const { return at_ == end_; }
    std::size_t remaining() const { return static_cast<std::size_t>(end_ - at_); }
    // The offset of the next byte from the start of the file.
    std::size_t offset() const { return static_cast<std::size_t>(at_ - file_); }

    std::uint8_t byte() {
        need(1);
        return *at_++;
    }
    std::uint8_t peek() const {
        need(1);
        return *at_;
    }
    std::uint32_t bigEndian(int width) {
        need(static_cast<std::size_t>(width));
        std::uint32_t value = 0;
        for (int i = 0; i < width; ++i)
            value = value << 8 | *at_++;
        return value;
    }
    // A variable length number: 7 bits per byte, at most 4 bytes.
    std::uint32_t variable() {
        const std::size_t start = offset();
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = byte();
            value = value << 7 | (b & 0x7F);
            if ((b & 0x80) == 0)
                return value;
        }
        throw SmfError("variable length number longer than 4 bytes at byte " +
                       std::to_string(start));
    }
    std::vector<std::uint8_t> bytes(std::size_t count) {
        need(count);
        std::vector<std::uint8_t> out(at_, at_ + count);
        at_ += count;
        return out;
    }
    Cursor sub(std::size_t count) {
        need(count);
        Cursor part(file_, at_, at_ + count);
        at_ += count;
        return part;
    }
    bool startsWith(const char* tag) const {
        return remaining() >= 4 && std::memcmp(at_, tag, 4) == 0;
    }
    void skip(std::size_t count) {
        need(count);
        at_ += count;
    }

private:
    void need(std::size_t count) const {
        if (remaining() < count)
            throw SmfError("truncated at byte " + std::to_string(offset()));
    }

    const std::uint8_t* file_;
    const std::uint8_t* at_;
    const std::uint8_t* end_;
};

std::string hexByte(std::uint8_t value) {
    static constexpr char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[value >> 4] + digits[value & 0x0F];
}

Event readChannelEvent(Cursor& in, std::uint8_t status, bool firstDataRead, std::uint8_t first) {
    Event event;
    event.kind = EventKind::Channel;
    event.status = status;
    const int count = channelDataBytes(status);
    for (int i = 0; i < count; ++i) {
        const std::uint8_t value = (i == 0 && firstDataRead) ? first : in.byte();
        if (value >= 0x80)
            throw SmfError("data byte " + hexByte(value) + " in a channel message at byte " +
                           std::to_string(in.offset() - 1));
        event.data.push_back(value);
    }
    return event;
}

Track readEvents(Cursor& in) {
    Track track;
    std::uint64_t tick = 0;
    std::uint8_t runningStatus = 0;
    while (!in.atEnd()) {
        tick += in.variable();
        const std::size_t at = in.offset();
        std::uint8_t lead = in.byte();
        Event event;
        if (lead < 0x80) {
            if (runningStatus == 0)
                throw SmfError("running status without a status at byte " + std::to_string(at));
            event = readChannelEvent(in, runningStatus, true, lead);
        } else if (lead < 0xF0) {
            runningStatus = lead;
            event = readChannelEvent(in, lead, false, 0);
        } else if (lead == 0xF0 || lead == 0xF7) {
            event.kind = lead == 0xF0 ? EventKind::SysEx : EventKind::SysExEscape;
            event.status = lead;
            event.data = in.bytes(in.variable());
        } else if (lead == 0xFF) {
            event.kind = EventKind::Meta;
            event.status = lead;
            event.metaType = in.byte();
            if (event.metaType >= 0x80)
                throw SmfError("meta event type " + hexByte(event.metaType) + " at byte " +
                               std::to_string(at));
            event.data = in.bytes(in.variable());
        } else {
            throw SmfError("status byte " + hexByte(lead) +
                           ", which has no place in a file, at byte " + std::to_string(at));
        }
        event.tick = tick;
        track.push_back(std::move(event));
        if (track.back().isEndOfTrack()) {
            // Whatever follows would be lost in the conversion without a word.
            if (!in.atEnd())
                throw SmfError("events after its end-of-track, from byte " +
                               std::to_string(in.offset()));
            return track;
        }
    }
    throw SmfError("no end-of-track");
}

// One track chunk's events; errors name the track, counting from 1.
Track readTrack(Cursor in, std::size_t number) {
    try {
        return readEvents(in);
    } catch (const SmfError& error) {
        throw SmfError("track " + std::to_string(number) + ": " + error.what());
    }
}

} // namespace

Song readSmf(const std::vector<std::uint8_t>& bytes) {
    Cursor file(bytes.data(), bytes.data(), bytes.data() + bytes.size());
    if (!file.startsWith("MThd"))
        throw SmfError("not a Standard MIDI File (no MThd header)");
    file.skip(4);
    const std::uint32_t headerLength = file.bigEndian(4);
    if (headerLength < 6)
        throw SmfError("MThd header shorter than 6 bytes");
    Cursor header = file.sub(headerLength);
    Song song;
    song.format = static_cast<std::uint16_t>(header.bigEndian(2));
    const std::uint32_t trackCount = header.bigEndian(2);
    song.division = static_cast<std::uint16_t>(header.bigEndian(2));
    if (song.format > 1)
        throw SmfError("unsupported SMF format " + std::to_string(song.format));
    if (trackCount == 0)
        throw SmfError("no tracks");
    if (song.format == 0 && trackCount != 1)
        throw SmfError("format 0 with " + std::to_string(trackCount) + " tracks");
    if (song.division == 0)
        throw SmfError("division 0");

    while (song.tracks.size() < trackCount) {
        if (file.atEnd())
            throw SmfError("truncated: " + std::to_string(trackCount) + " tracks announced, " +
                           std::to_string(song.tracks.size()) + " found");
        const bool isTrack = file.startsWith("MTrk");
        file.skip(4);
        const std::uint32_t length = file.bigEndian(4);
        Cursor chunk = file.sub(length);
        if (isTrack)
            song.tracks.push_back(readTrack(chunk, song.tracks.size() + 1));
    }
    return song;
}

} // namespace qel::smf
