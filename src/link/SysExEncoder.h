#pragma once

// Request encoders: one function per message type, each returning the complete
// System Exclusive message for one request. A request the keyboard could not
// parse (unknown parameter, bad index count, oversized block) throws Exception.

#include "core/ByteVector.h"

#include <cstddef>
#include <cstdint>

namespace qel::sysex {

// The most data bytes one data block carries: their pair count must fit a 7-bit byte.
inline constexpr std::size_t maximumBlockSize = 254;

// Message type 0: sets parameter `parameter` of item `number` to `value`, cut
// to the parameter's width and sent in 7-bit groups, least significant first.
// Throws Exception for a parameter the keyboard does not have (width 0, past
// the end of its row, or a category without parameters) and for an index of
// zero or more than four bytes.
ByteVector encodeParameterValue(std::uint16_t category, std::uint16_t number,
                                std::uint16_t parameter, const ByteVector& index,
                                std::uint32_t value);

// Message type 1: asks for a parameter's value. Refuses what
// encodeParameterValue() refuses.
ByteVector encodeParameterRequest(std::uint16_t category, std::uint16_t number,
                                  std::uint16_t parameter, const ByteVector& index);

// Message type 4: one block of item data with its block number and checksum.
// An odd last byte is padded with 0x00. Throws Exception for more than
// maximumBlockSize bytes.
ByteVector encodeDataBlock(std::uint16_t category, std::uint16_t number, std::uint16_t block,
                           const ByteVector& data);

// Message type 5: asks for the first data block of an item.
ByteVector encodeDataRequest(std::uint16_t category, std::uint16_t number);

// Message type 7: one handshake command byte (see HandshakeCommand).
ByteVector encodeHandshake(std::uint16_t category, std::uint16_t number, std::uint8_t command);

} // namespace qel::sysex
