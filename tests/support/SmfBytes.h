#pragma once

// Standard MIDI Files written byte by byte for tests.

#include "core/ByteVector.h"
#include "support/Hex.h"

#include <string_view>
#include <vector>

namespace qel::test {

// A chunk: 4-byte tag, 4-byte big-endian length, body.
inline ByteVector smfChunk(std::string_view tag, const ByteVector& body) {
    ByteVector out(tag.begin(), tag.end());
    const auto length = static_cast<std::uint32_t>(body.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(length >> shift));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A file with the given header values and one MTrk chunk per track body
// (each body written in hex text).
inline ByteVector smfFile(unsigned format, unsigned trackCount, unsigned division,
                          const std::vector<std::string_view>& trackBodies) {
    ByteVector header{
        static_cast<std::uint8_t>(format >> 8),     static_cast<std::uint8_t>(format),
        static_cast<std::uint8_t>(trackCount >> 8), static_cast<std::uint8_t>(trackCount),
        static_cast<std::uint8_t>(division >> 8),   static_cast<std::uint8_t>(division)};
    ByteVector out = smfChunk("MThd", header);
    for (std::string_view body : trackBodies) {
        const ByteVector track = smfChunk("MTrk", hex(body));
        out.insert(out.end(), track.begin(), track.end());
    }
    return out;
}

// A format 0 file whose only event is a text meta event of `textLength` bytes.
inline ByteVector smfWithText(std::size_t textLength) {
    ByteVector body{0x00, 0xFF, 0x01};
    if (textLength >= 128)
        body.push_back(static_cast<std::uint8_t>(0x80 | (textLength >> 7)));
    body.push_back(static_cast<std::uint8_t>(textLength & 0x7F));
    body.insert(body.end(), textLength, 'x');
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    ByteVector header{0, 0, 0, 1, 0x01, 0xE0};
    ByteVector out = smfChunk("MThd", header);
    const ByteVector track = smfChunk("MTrk", body);
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

} // namespace qel::test
