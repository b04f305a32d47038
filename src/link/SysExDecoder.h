#pragma once

// Reply decoders: one class per message type the keyboard sends. A decoder is
// made by makeDecoder() for one reply. Every decoding operation first runs the
// format check; on any failure it throws Exception and leaves the output
// argument unchanged. No decoder reads outside the message:
//
//  - a message too short for its type ("short message"): a parameter value
//    whose index bytes reach the end byte, a data block under 16 bytes, a
//    handshake without its command byte;
//  - a data block whose body is not whole three-byte groups ("data block error").
//
// An operation the class does not provide returns without effect.

#include "core/ByteVector.h"
#include "link/SysExFrame.h"

#include <cstdint>
#include <memory>

namespace qel {

class SysExDecoder {
public:
    explicit SysExDecoder(std::uint8_t code);
    virtual ~SysExDecoder();
    SysExDecoder(const SysExDecoder&) = delete;
    SysExDecoder& operator=(const SysExDecoder&) = delete;

    // The value of a parameter message.
    virtual void decodeValue(const ByteVector& message, std::int32_t& value) const;
    // The data bytes of a data block, replacing the content of `data`.
    virtual void decodeData(const ByteVector& message, ByteVector& data) const;
    // The command byte of a handshake command.
    virtual void decodeCommand(const ByteVector& message, std::uint8_t& command) const;

    // The message type code given at construction.
    std::uint8_t code() const { return code_; }

protected:
    std::uint8_t code_;
    std::unique_ptr<SysExFormatChecker> checker_;
};

// Any message type the keyboard does not send: reads nothing.
class SysExNullDecoder : public SysExDecoder {
public:
    explicit SysExNullDecoder(std::uint8_t code) : SysExDecoder(code) {}
};

// Message type 0. Every byte between the index bytes and the end byte is one
// 7-bit group of the value, least significant first; groups past the fifth
// would lie above bit 31 and are ignored.
class SysExIPCDecoder : public SysExDecoder {
public:
    SysExIPCDecoder() : SysExDecoder(sysex::ParameterValue) {}
    void decodeValue(const ByteVector& message, std::int32_t& value) const override;
};

// Message type 4. The checksum, block number and pair count are not verified.
class SysExHDSDecoder : public SysExDecoder {
public:
    SysExHDSDecoder() : SysExDecoder(sysex::DataBlock) {}
    void decodeData(const ByteVector& message, ByteVector& data) const override;

    // The shortest data block: frame, block number, pair count, checksum.
    static constexpr std::size_t minimumLength = 16;
};

// Message type 7: the command byte at offset 11.
class SysExHCCDecoder : public SysExDecoder {
public:
    SysExHCCDecoder() : SysExDecoder(sysex::Handshake) {}
    void decodeCommand(const ByteVector& message, std::uint8_t& command) const override;

    static constexpr std::size_t minimumLength = 13;
};

// The decoder for a message type code: 0 IPC, 4 HDS, 7 HCC, any other code a
// null decoder that keeps the code.
std::unique_ptr<SysExDecoder> makeDecoder(std::uint8_t code);

} // namespace qel
