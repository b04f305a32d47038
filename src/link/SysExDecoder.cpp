#include "link/SysExDecoder.h"

#include "core/Exception.h"
#include "link/SysExFrame.h"

namespace qel::sysex {

std::int32_t decodeParameterValue(const ByteVector& message) {
    SysExFormatChecker().check(message);
    const std::size_t indexCount = ((message[headOffset] >> 5) & 3) + 1;
    const std::size_t first = bodyOffset + indexCount;
    const std::size_t endByte = message.size() - 1;
    if (first > endByte)
        throw Exception("short message");
    std::uint32_t result = 0;
    for (std::size_t at = first, shift = 0; at < endByte && shift < 32; ++at, shift += 7)
        result += static_cast<std::uint32_t>(message[at]) << shift;
    return static_cast<std::int32_t>(result);
}

ByteVector decodeDataBlock(const ByteVector& message) {
    SysExFormatChecker().check(message);
    if (message.size() < minimumDataBlockLength)
        throw Exception("short message");
    // Groups run from offset 14 up to the checksum and the end byte.
    const std::size_t first = 14;
    const std::size_t last = message.size() - 2;
    if ((last - first) % 3 != 0)
        throw Exception("data block error");
    ByteVector decoded;
    decoded.reserve((last - first) / 3 * 2);
    for (std::size_t at = first; at < last; at += 3) {
        const auto word = static_cast<std::uint16_t>(message[at] + message[at + 1] * 128u +
                                                     message[at + 2] * 16384u);
        decoded.push_back(static_cast<std::uint8_t>(word >> 8));
        decoded.push_back(static_cast<std::uint8_t>(word & 0xFF));
    }
    return decoded;
}

std::uint8_t decodeHandshake(const ByteVector& message) {
    SysExFormatChecker().check(message);
    if (message.size() < handshakeLength)
        throw Exception("short message");
    return message[bodyOffset];
}

} // namespace qel::sysex
