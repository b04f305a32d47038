#include "link/SysExEncoder.h"

#include "core/Exception.h"
#include "link/ParameterWidths.h"
#include "link/SysExFrame.h"

#include <string>

namespace qel::sysex {

namespace {

// The fields every message carries, in frame order, up to the head byte. The
// item number that follows the head byte is appended by putNumber().
ByteVector frameStart(std::uint8_t type, std::uint16_t category, std::uint16_t parameter) {
    // Category and parameter travel as their low 8 bits.
    return {start,
            manufacturer,
            0x11,
            0x02,
            0x7F,
            type,
            static_cast<std::uint8_t>(category & 0xFF),
            static_cast<std::uint8_t>(parameter & 0xFF)};
}

// The item number is 14 bits, low group first; bits 14 and 15 are dropped.
void putNumber(ByteVector& out, std::uint16_t number) {
    out.push_back(static_cast<std::uint8_t>(number & 0x7F));
    out.push_back(static_cast<std::uint8_t>((number >> 7) & 0x7F));
}

// Width in bits of a parameter; throws Exception when the keyboard has none.
std::uint8_t valueWidth(std::uint16_t category, std::uint16_t parameter) {
    const std::uint8_t width = parameterWidths::width(category, parameter);
    if (width == 0)
        throw Exception("The keyboard has no parameter " + std::to_string(parameter) +
                        " in category " + std::to_string(category));
    return width;
}

// A parameter message up to and including its index bytes.
ByteVector parameterMessage(std::uint8_t type, std::uint16_t category, std::uint16_t number,
                            std::uint16_t parameter, const ByteVector& index) {
    if (index.empty() || index.size() > 4)
        throw Exception("A parameter message needs one to four index bytes, not " +
                        std::to_string(index.size()));
    const unsigned width = valueWidth(category, parameter);
    const auto indexCount = static_cast<unsigned>(index.size());
    ByteVector out = frameStart(type, category, parameter);
    // Head: index count - 1 in bits 5-6, width - 1 in bits 0-4.
    out.push_back(static_cast<std::uint8_t>((((indexCount - 1) << 5) & 0x60) | (width - 1)));
    putNumber(out, number);
    out.insert(out.end(), index.begin(), index.end());
    return out;
}

} // namespace

ByteVector encodeParameterValue(std::uint16_t category, std::uint16_t number,
                                std::uint16_t parameter, const ByteVector& index,
                                std::uint32_t value) {
    ByteVector out = parameterMessage(ParameterValue, category, number, parameter, index);
    const std::size_t groups = parameterWidths::groupCount(valueWidth(category, parameter));
    for (std::size_t i = 0; i < groups; ++i)
        out.push_back(static_cast<std::uint8_t>((value >> (7 * i)) & 0x7F));
    out.push_back(end);
    return out;
}

ByteVector encodeParameterRequest(std::uint16_t category, std::uint16_t number,
                                  std::uint16_t parameter, const ByteVector& index) {
    ByteVector out = parameterMessage(ParameterRequest, category, number, parameter, index);
    out.push_back(end);
    return out;
}

ByteVector encodeDataBlock(std::uint16_t category, std::uint16_t number, std::uint16_t block,
                           const ByteVector& data) {
    if (data.size() > maximumBlockSize)
        throw Exception("A data block holds at most " + std::to_string(maximumBlockSize) +
                        " bytes, not " + std::to_string(data.size()));
    // The block format carries whole byte pairs only.
    ByteVector pairs = data;
    if (pairs.size() % 2 != 0)
        pairs.push_back(0x00);
    ByteVector out = frameStart(DataBlock, category, 0);
    out.push_back(0x4F);
    putNumber(out, number);
    out.push_back(static_cast<std::uint8_t>(block & 0x7F));
    out.push_back(static_cast<std::uint8_t>((block >> 7) & 0x7F));
    out.push_back(static_cast<std::uint8_t>(pairs.size() / 2));
    unsigned sum = 0;
    auto put = [&](unsigned group) {
        out.push_back(static_cast<std::uint8_t>(group));
        sum = (sum + group) & 0x7F;
    };
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        const auto word = static_cast<std::uint16_t>(pairs[i] << 8 | pairs[i + 1]);
        put(word & 0x7F);
        put((word >> 7) & 0x7F);
        // The top group is the sign-extended shift: 0x7E/0x7F for words from 0x8000.
        put(static_cast<unsigned>(static_cast<std::int16_t>(word) >> 14) & 0x7F);
    }
    out.push_back(static_cast<std::uint8_t>((0u - sum) & 0x7F));
    out.push_back(end);
    return out;
}

ByteVector encodeDataRequest(std::uint16_t category, std::uint16_t number) {
    ByteVector out = frameStart(DataRequest, category, 0);
    out.push_back(0x00);
    putNumber(out, number);
    out.push_back(end);
    return out;
}

ByteVector encodeHandshake(std::uint16_t category, std::uint16_t number, std::uint8_t command) {
    ByteVector out = frameStart(Handshake, category, 0);
    out.push_back(0x00);
    putNumber(out, number);
    out.push_back(command);
    out.push_back(end);
    return out;
}

} // namespace qel::sysex
