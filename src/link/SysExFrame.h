#pragma once

// The common frame of every System Exclusive message exchanged with the keyboard:
//
//   F0 44 11 02 7F type category parameter head numberLow numberHigh body... F7
//
// and the format check that every received message passes before any field of it
// is read.

#include "core/ByteVector.h"

#include <cstddef>
#include <cstdint>

namespace qel {

namespace sysex {
inline constexpr std::uint8_t start = 0xF0;
inline constexpr std::uint8_t end = 0xF7;
inline constexpr std::uint8_t manufacturer = 0x44;

// Frame offsets.
inline constexpr std::size_t typeOffset = 5;
inline constexpr std::size_t categoryOffset = 6;
inline constexpr std::size_t parameterOffset = 7;
inline constexpr std::size_t headOffset = 8;
inline constexpr std::size_t numberOffset = 9;
inline constexpr std::size_t bodyOffset = 11;

// The shortest message the check lets through.
inline constexpr std::size_t minimumLength = 11;

// Message type codes (frame offset 5).
enum MessageType : std::uint8_t {
    ParameterValue = 0,   // IPC
    ParameterRequest = 1, // IPR
    DataBlock = 4,        // HDS
    DataRequest = 5,      // HDR
    Handshake = 7,        // HCC
};

// Handshake command bytes that carry a meaning; any other command from the
// keyboard acknowledges a data block.
enum HandshakeCommand : std::uint8_t {
    EndOfData = 0,
    NextBlock = 1,
    SysExError = 3,
    Rejected = 5,
};
} // namespace sysex

// Checks the frame of a received message. Holds no state.
class SysExFormatChecker {
public:
    // Throws Exception, testing in this order: "short message" (10 bytes or
    // fewer), "SYSEX error" (byte 0 not F0), "EOX error" (last byte not F7),
    // "VORLA ID error" (byte 1 not 44). Nothing else is examined.
    void check(const ByteVector& message) const;
};

// Checks the message, then returns its message type byte (offset 5).
std::uint8_t messageType(const ByteVector& message);

} // namespace qel
