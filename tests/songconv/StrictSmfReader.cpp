#include "StrictSmfReader.h"

#include <stdexcept>
#include <string>

namespace qel::test {
namespace {

class StrictCursor {
public:
    StrictCursor(const ByteVector& file, std::size_t at, std::size_t end)
        : file_(file), at_(at), end_(end) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error(what + " at byte " + std::to_string(at_));
    }
    bool atEnd() const { return at_ == end_; }
    std::size_t at() const { return at_; }
    std::uint8_t byte() {
        if (at_ >= end_)
            fail("truncated");
        return file_[at_++];
    }
    std::uint32_t bigEndian(int width) {
        std::uint32_t value = 0;
        for (int i = 0; i < width; ++i)
            value = value << 8 | byte();
        return value;
    }
    std::uint32_t variable() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = byte();
            value = value << 7 | (b & 0x7F);
            if (b < 0x80)
                return value;
        }
        fail("variable length number longer than 4 bytes");
    }
    ByteVector bytes(std::size_t count) {
        ByteVector out;
        for (std::size_t i = 0; i < count; ++i)
            out.push_back(byte());
        return out;
    }
    // The next `length` bytes as a cursor of their own.
    StrictCursor chunk(std::size_t length) {
        if (end_ - at_ < length)
            fail("chunk longer than the file");
        StrictCursor part(file_, at_, at_ + length);
        at_ += length;
        return part;
    }

private:
    const ByteVector& file_;
    std::size_t at_;
    std::size_t end_;
};

smf::Track readTrack(StrictCursor in, StrictSmf& counts) {
    smf::Track track;
    std::uint64_t tick = 0;
    // The status a data byte may continue: none at the start and after a
    // SysEx or meta event.
    std::uint8_t running = 0;
    for (;;) {
        tick += in.variable();
        smf::Event event;
        event.tick = tick;
        std::uint8_t lead = in.byte();
        if (lead < 0xF0) {
            event.kind = smf::EventKind::Channel;
            if (lead < 0x80) {
                if (running == 0)
                    in.fail("running status after no channel message");
                event.status = running;
                event.data.push_back(lead);
                ++counts.statusesLeftOut;
            } else {
                counts.statusesRepeated += lead == running;
                event.status = running = lead;
            }
            const std::uint8_t kind = event.status >> 4;
            const std::size_t size = (kind == 0xC || kind == 0xD) ? 1 : 2;
            while (event.data.size() < size)
                event.data.push_back(in.byte());
            for (std::uint8_t value : event.data)
                if (value >= 0x80)
                    in.fail("status byte in a channel message's data");
        } else if (lead == 0xF0 || lead == 0xF7) {
            running = 0;
            event.kind = lead == 0xF0 ? smf::EventKind::SysEx : smf::EventKind::SysExEscape;
            event.status = lead;
            event.data = in.bytes(in.variable());
        } else if (lead == 0xFF) {
            running = 0;
            event.kind = smf::EventKind::Meta;
            event.status = lead;
            event.metaType = in.byte();
            if (event.metaType >= 0x80)
                in.fail("meta event type of 0x80 or above");
            event.data = in.bytes(in.variable());
        } else {
            in.fail("status byte " + std::to_string(lead));
        }
        track.push_back(std::move(event));
        if (track.back().isEndOfTrack()) {
            if (!in.atEnd())
                in.fail("bytes after the end-of-track");
            return track;
        }
    }
}

} // namespace

StrictSmf readSmfStrictly(const ByteVector& file) {
    StrictCursor in(file, 0, file.size());
    if (in.bigEndian(4) != 0x4D546864 || in.bigEndian(4) != 6)
        in.fail("no MThd chunk of 6 bytes");
    StrictSmf song;
    song.format = static_cast<std::uint16_t>(in.bigEndian(2));
    const std::uint32_t announced = in.bigEndian(2);
    song.division = static_cast<std::uint16_t>(in.bigEndian(2));
    while (!in.atEnd()) {
        const std::uint32_t tag = in.bigEndian(4);
        StrictCursor chunk = in.chunk(in.bigEndian(4));
        if (tag == 0x4D54726B)
            song.tracks.push_back(readTrack(chunk, song));
    }
    if (song.tracks.size() != announced)
        in.fail(std::to_string(song.tracks.size()) + " tracks where " + std::to_string(announced) +
                " are announced");
    return song;
}

} // namespace qel::test
