#include "link/DataBlockCheck.h"

#include "link/SysExFrame.h"

#include <algorithm>

namespace qel {

namespace {

constexpr std::size_t blockNumberOffset = sysex::bodyOffset; // low 7 bits, then high 7 bits
constexpr std::size_t pairCountOffset = 13;
constexpr std::size_t firstGroupOffset = 14;
// Frame, block number, pair count, checksum and end byte: a block without pairs.
constexpr std::size_t emptyBlockLength = 16;
constexpr std::uint32_t blockNumberRange = 1u << 14;

} // namespace

DataBlockFault checkDataBlock(const ByteVector& message, std::uint32_t expectedBlock) {
    if (message.size() < emptyBlockLength || (message.size() - emptyBlockLength) % 3 != 0)
        return DataBlockFault::Length;
    const auto body = message.begin() + static_cast<std::ptrdiff_t>(blockNumberOffset);
    const auto endByte = message.end() - 1;
    // A byte with bit 7 set would otherwise slip past the checksum: 128 is 0
    // modulo 128.
    if (std::any_of(body, endByte, [](std::uint8_t byte) { return (byte & 0x80) != 0; }))
        return DataBlockFault::NotSevenBit;
    const std::size_t pairs = (message.size() - emptyBlockLength) / 3;
    if (message[pairCountOffset] != pairs)
        return DataBlockFault::PairCount;
    unsigned sum = 0;
    for (std::size_t at = firstGroupOffset; at < message.size() - 1; ++at)
        sum += message[at]; // the data groups and the checksum
    if (sum % 128 != 0)
        return DataBlockFault::Checksum;
    const std::uint32_t block =
        message[blockNumberOffset] | (std::uint32_t{message[blockNumberOffset + 1]} << 7);
    if (block != expectedBlock % blockNumberRange)
        return DataBlockFault::BlockNumber;
    return DataBlockFault::None;
}

const char* dataBlockFaultName(DataBlockFault fault) {
    switch (fault) {
    case DataBlockFault::None:
        return "none";
    case DataBlockFault::Length:
        return "length";
    case DataBlockFault::NotSevenBit:
        return "not 7-bit";
    case DataBlockFault::PairCount:
        return "pair count";
    case DataBlockFault::Checksum:
        return "checksum";
    case DataBlockFault::BlockNumber:
        return "block number";
    }
    return "unknown";
}

} // namespace qel
