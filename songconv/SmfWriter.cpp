#include "songconv/SmfWriter.h"

#include <algorithm>

namespace qel::smf {
namespace {

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void putVariable(std::vector<std::uint8_t>& out, std::uint64_t value) {
    // Times and lengths come from 4-byte variable numbers of the input, so
    // they fit in 28 bits; anything else is a programming error upstream.
    if (value > 0x0FFFFFFF)
        throw SmfError("number too large for a variable length field");
    std::uint8_t groups[4];
    int count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
    out.push_back(groups[0]);
}

// Writes one event's bytes after its delta time. `runningStatus` is the status
// of the channel message written last, or 0 when the next one must write its
// own: at the track's start and after a SysEx or meta event, which cancel
// running status. A channel message with that same status leaves it out.
void putEvent(std::vector<std::uint8_t>& out, const Event& event, std::uint8_t& runningStatus) {
    if (event.kind == EventKind::Channel) {
        // Once statuses are left out, a message whose data bytes do not
        // match its status would shift the reading of every message after it.
        const bool dataFit =
            event.data.size() == static_cast<std::size_t>(channelDataBytes(event.status)) &&
            std::all_of(event.data.begin(), event.data.end(),
                        [](std::uint8_t value) { return value < 0x80; });
        if (event.status < 0x80 || event.status >= 0xF0 || !dataFit)
            throw SmfError("channel message that cannot be written");
        if (event.status != runningStatus)
            out.push_back(event.status);
        runningStatus = event.status;
        out.insert(out.end(), event.data.begin(), event.data.end());
        return;
    }
    runningStatus = 0;
    out.push_back(event.status);
    if (event.kind == EventKind::Meta)
        out.push_back(event.metaType);
    putVariable(out, event.data.size());
    out.insert(out.end(), event.data.begin(), event.data.end());
}

} // namespace

Track mergeTracks(const Song& song) {
    Track merged;
    for (const Track& track : song.tracks)
        for (const Event& event : track)
            if (!event.isEndOfTrack())
                merged.push_back(event);
    // Tracks were appended in order, so a stable sort keeps ties in track order.
    std::stable_sort(merged.begin(), merged.end(),
                     [](const Event& a, const Event& b) { return a.tick < b.tick; });
    return merged;
}

std::vector<std::uint8_t> writeFormat0(const Song& song) {
    std::uint64_t end = 0;
    for (const Track& track : song.tracks)
        if (!track.empty())
            end = std::max(end, track.back().tick);

    std::vector<std::uint8_t> body;
    std::uint64_t previous = 0;
    std::uint8_t runningStatus = 0;
    for (const Event& event : mergeTracks(song)) {
        putVariable(body, event.tick - previous);
        previous = event.tick;
        putEvent(body, event, runningStatus);
    }
    putVariable(body, end - previous);
    body.insert(body.end(), {0xFF, 0x2F, 0x00});

    std::vector<std::uint8_t> out{'M', 'T', 'h', 'd'};
    putBigEndian(out, 6, 4);
    putBigEndian(out, 0, 2);
    putBigEndian(out, 1, 2);
    putBigEndian(out, song.division, 2);
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    putBigEndian(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace qel::smf
