#pragma once

// The integrity check of a data block received from the keyboard, made before
// its bytes are taken. The decoder reads a block without judging it; the
// receive loop asks this check first, so that a block spoiled on the way is
// never stored as if it were the item.
//
// A data block (message type 4) is laid out as
//
//   frame (11 bytes) | block low, block high | pair count | 3 groups per pair | checksum | F7
//
// so a block of n pairs is 16 + 3n bytes long.

#include "core/ByteVector.h"

#include <cstdint>

namespace qel {

enum class DataBlockFault : std::uint8_t {
    None,
    Length,      // shorter than 16 bytes, or its groups are not whole pairs
    NotSevenBit, // a byte between the frame's head and its end has bit 7 set
    PairCount,   // the pair count (offset 13) differs from the pairs the block carries
    Checksum,    // data groups plus checksum do not sum to 0 modulo 128
    BlockNumber, // the block number (offsets 11-12) is not the one expected
};

// Checks a data block that has passed the format check. `expectedBlock` is the
// block's place in its item, counting from 0; block numbers travel in 14 bits,
// so it is compared modulo 16384. The first fault found is returned, in the
// order of the enumeration.
DataBlockFault checkDataBlock(const ByteVector& message, std::uint32_t expectedBlock);

// A short English name of a fault, for logs and test output.
const char* dataBlockFaultName(DataBlockFault fault);

} // namespace qel
