#include "link/SysExDecoder.h"

#include "core/Exception.h"

namespace qel {

SysExDecoder::SysExDecoder(std::uint8_t code)
    : code_(code), checker_(std::make_unique<SysExFormatChecker>()) {}

SysExDecoder::~SysExDecoder() = default;

void SysExDecoder::decodeValue(const ByteVector&, std::int32_t&) const {}

void SysExDecoder::decodeData(const ByteVector&, ByteVector&) const {}

void SysExDecoder::decodeCommand(const ByteVector&, std::uint8_t&) const {}

void SysExIPCDecoder::decodeValue(const ByteVector& message, std::int32_t& value) const {
    checker_->check(message);
    const std::size_t indexCount = ((message[sysex::headOffset] >> 5) & 3) + 1;
    const std::size_t first = sysex::bodyOffset + indexCount;
    const std::size_t endByte = message.size() - 1;
    if (first > endByte)
        throw Exception("short message");
    std::uint32_t result = 0;
    for (std::size_t at = first, shift = 0; at < endByte && shift < 32; ++at, shift += 7)
        result += static_cast<std::uint32_t>(message[at]) << shift;
    value = static_cast<std::int32_t>(result);
}

void SysExHDSDecoder::decodeData(const ByteVector& message, ByteVector& data) const {
    checker_->check(message);
    if (message.size() < minimumLength)
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
    data.swap(decoded);
}

void SysExHCCDecoder::decodeCommand(const ByteVector& message, std::uint8_t& command) const {
    checker_->check(message);
    if (message.size() < minimumLength)
        throw Exception("short message");
    command = message[sysex::bodyOffset];
}

std::unique_ptr<SysExDecoder> makeDecoder(std::uint8_t code) {
    switch (code) {
    case sysex::ParameterValue:
        return std::make_unique<SysExIPCDecoder>();
    case sysex::DataBlock:
        return std::make_unique<SysExHDSDecoder>();
    case sysex::Handshake:
        return std::make_unique<SysExHCCDecoder>();
    default:
        return std::make_unique<SysExNullDecoder>(code);
    }
}

} // namespace qel
