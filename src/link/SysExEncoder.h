#pragma once

// Request encoders: one class per message type, each turning one request into a
// complete System Exclusive message. An encoder is made by makeEncoder() for one
// request, asked once to encode, and dropped.
//
// Every encode operation replaces the whole content of `out` with the message.
// An operation that the class does not provide throws std::runtime_error
// ("subClassResponsibility"); a request the keyboard could not parse (unknown
// parameter, bad index count, oversized block) throws Exception. Either way `out`
// is left unchanged.

#include "core/ByteVector.h"

#include <cstdint>
#include <memory>

namespace qel {

class SysExEncoder {
public:
    virtual ~SysExEncoder() = default;
    SysExEncoder(const SysExEncoder&) = delete;
    SysExEncoder& operator=(const SysExEncoder&) = delete;

    // Parameter request (category, number, parameter, index) or data block
    // (category, number, block, data).
    virtual void encode(std::uint16_t category, std::uint16_t number, std::uint16_t third,
                        const ByteVector& bytes, ByteVector& out);
    // Parameter value.
    virtual void encode(std::uint16_t category, std::uint16_t number, std::uint16_t parameter,
                        const ByteVector& index, std::uint32_t value, ByteVector& out);
    // Data request; the third argument is not used.
    virtual void encode(std::uint16_t category, std::uint16_t number, std::uint16_t ignored,
                        ByteVector& out);
    // Handshake command; the third argument is not used.
    virtual void encode(std::uint16_t category, std::uint16_t number, std::uint16_t ignored,
                        std::uint8_t command, ByteVector& out);

    // The message type code given at construction.
    std::uint8_t code() const { return code_; }

protected:
    explicit SysExEncoder(std::uint8_t code);

    // Appends the head byte (frame offset 8).
    virtual void putHead(ByteVector& out) const;
    // Appends the first part of the body.
    virtual void putFirstPart(ByteVector& out) const;
    // Appends the second part of the body.
    virtual void putSecondPart(ByteVector& out) const;

    // Builds the message from the fields into `out`, replacing its content.
    // Builds into a scratch vector first so that a throwing part leaves `out` as it was.
    void build(ByteVector& out) const;

    [[noreturn]] static void subClassResponsibility();

    ByteVector header_;
    std::uint8_t code_;
    std::uint16_t category_ = 0;
    std::uint16_t parameter_ = 0;
    std::uint16_t number_ = 0;
};

// Any message type the protocol does not know: encodes nothing.
class SysExNullEncoder : public SysExEncoder {
public:
    explicit SysExNullEncoder(std::uint8_t code) : SysExEncoder(code) {}

protected:
    void putHead(ByteVector& out) const override;
};

// Parameter messages: index bytes and a value of the width the parameter has.
class SysExIPEncoder : public SysExEncoder {
public:
    using SysExEncoder::encode;
    // Throws Exception for a parameter the keyboard does not have (width 0, past
    // the end of its row, or a category without parameters) and for an index of
    // zero or more than four bytes.
    void encode(std::uint16_t category, std::uint16_t number, std::uint16_t parameter,
                const ByteVector& index, ByteVector& out) override;

protected:
    explicit SysExIPEncoder(std::uint8_t code) : SysExEncoder(code) {}
    void putHead(ByteVector& out) const override;
    void putFirstPart(ByteVector& out) const override;
    // Width of the current parameter; throws Exception when it has none.
    std::uint8_t valueWidth() const;

    const ByteVector* index_ = nullptr; // the caller's, valid during one encode call
    std::uint32_t value_ = 0;
};

// Message type 0: sets a parameter.
class SysExIPCEncoder : public SysExIPEncoder {
public:
    SysExIPCEncoder();
    using SysExIPEncoder::encode;
    void encode(std::uint16_t category, std::uint16_t number, std::uint16_t parameter,
                const ByteVector& index, std::uint32_t value, ByteVector& out) override;

protected:
    // The value in 7-bit groups, least significant first.
    void putSecondPart(ByteVector& out) const override;
};

// Message type 1: asks for a parameter's value.
class SysExIPREncoder : public SysExIPEncoder {
public:
    SysExIPREncoder();
    using SysExIPEncoder::encode;
    void encode(std::uint16_t category, std::uint16_t number, std::uint16_t parameter,
                const ByteVector& index, ByteVector& out) override;
};

// Data-transfer messages: no parameter number.
class SysExHDEncoder : public SysExEncoder {
public:
    using SysExEncoder::encode;
    virtual void encode(std::uint16_t category, std::uint16_t number, ByteVector& out);

protected:
    explicit SysExHDEncoder(std::uint8_t code) : SysExEncoder(code) {}
};

// Message type 4: one block of item data with its block number and checksum.
class SysExHDSEncoder : public SysExHDEncoder {
public:
    SysExHDSEncoder();
    using SysExHDEncoder::encode;
    // An odd last byte is padded with 0x00. Throws Exception for more than 254
    // bytes, whose pair count would not fit a 7-bit byte.
    void encode(std::uint16_t category, std::uint16_t number, std::uint16_t block,
                const ByteVector& data, ByteVector& out) override;

    static constexpr std::size_t maximumBlockSize = 254;

protected:
    void putHead(ByteVector& out) const override;
    void putFirstPart(ByteVector& out) const override;
    void putSecondPart(ByteVector& out) const override;

private:
    ByteVector data_;
    std::uint16_t block_ = 0;
};

// Message type 5: asks for the first data block of an item.
class SysExHDREncoder : public SysExHDEncoder {
public:
    SysExHDREncoder();
    using SysExHDEncoder::encode;
    void encode(std::uint16_t category, std::uint16_t number, std::uint16_t ignored,
                ByteVector& out) override;

protected:
    void putFirstPart(ByteVector& out) const override;
    void putSecondPart(ByteVector& out) const override;
};

// Message type 7: one handshake command byte.
class SysExHCCEncoder : public SysExHDEncoder {
public:
    SysExHCCEncoder();
    using SysExHDEncoder::encode;
    void encode(std::uint16_t category, std::uint16_t number, std::uint16_t ignored,
                std::uint8_t command, ByteVector& out) override;

protected:
    void putHead(ByteVector& out) const override;
    void putFirstPart(ByteVector& out) const override;
    void putSecondPart(ByteVector& out) const override;

private:
    std::uint8_t command_ = 1;
};

// The encoder for a message type code: 0 IPC, 1 IPR, 4 HDS, 5 HDR, 7 HCC, any
// other code a null encoder that keeps the code.
std::unique_ptr<SysExEncoder> makeEncoder(std::uint8_t code);

} // namespace qel
