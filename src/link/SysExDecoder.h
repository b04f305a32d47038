#pragma once

// Reply decoders: one function per message type the keyboard sends. Every
// decoder first runs the frame check (checkFrame); on any failure it throws
// Exception. No decoder reads outside the message:
//
//  - a message too short for its type ("short message"): a parameter value
//    whose index bytes reach the end byte, a data block under 16 bytes, a
//    handshake without its command byte;
//  - a data block whose body is not whole three-byte groups ("data block error").

#include "core/ByteVector.h"

#include <cstddef>
#include <cstdint>

namespace qel::sysex {

// The shortest data block: frame, block number, pair count, checksum.
inline constexpr std::size_t minimumDataBlockLength = 16;
// A handshake: frame and its command byte.
inline constexpr std::size_t handshakeLength = 13;

// Message type 0: the value of a parameter message. Every byte between the
// index bytes and the end byte is one 7-bit group of the value, least
// significant first; groups past the fifth would lie above bit 31 and are ignored.
std::int32_t decodeParameterValue(const ByteVector& message);

// Message type 4: the data bytes of a data block. The checksum, block number
// and pair count are not verified (see DataBlockCheck).
ByteVector decodeDataBlock(const ByteVector& message);

// Message type 7: the command byte of a handshake, at offset 11.
std::uint8_t decodeHandshake(const ByteVector& message);

} // namespace qel::sysex
