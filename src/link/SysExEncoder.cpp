#include "link/SysExEncoder.h"

#include "core/Exception.h"
#include "link/ParameterWidths.h"
#include "link/SysExFrame.h"

#include <stdexcept>
#include <string>

namespace qel {

// ---- SysExEncoder ----------------------------------------------------------

SysExEncoder::SysExEncoder(std::uint8_t code) : code_(code) {
    for (std::uint8_t byte : {sysex::start, sysex::manufacturer, std::uint8_t{0x11},
                              std::uint8_t{0x02}, std::uint8_t{0x7F}})
        header_.push_back(byte);
}

void SysExEncoder::subClassResponsibility() {
    throw std::runtime_error("subClassResponsibility");
}

void SysExEncoder::encode(std::uint16_t, std::uint16_t, std::uint16_t, const ByteVector&,
                          ByteVector&) {
    subClassResponsibility();
}

void SysExEncoder::encode(std::uint16_t, std::uint16_t, std::uint16_t, const ByteVector&,
                          std::uint32_t, ByteVector&) {
    subClassResponsibility();
}

void SysExEncoder::encode(std::uint16_t, std::uint16_t, std::uint16_t, ByteVector&) {
    subClassResponsibility();
}

void SysExEncoder::encode(std::uint16_t, std::uint16_t, std::uint16_t, std::uint8_t, ByteVector&) {
    subClassResponsibility();
}

void SysExEncoder::putHead(ByteVector& out) const {
    out.push_back(0x00);
}

void SysExEncoder::putFirstPart(ByteVector&) const {}

void SysExEncoder::putSecondPart(ByteVector&) const {}

void SysExEncoder::build(ByteVector& out) const {
    ByteVector message = header_;
    message.push_back(code_);
    // Category and parameter travel as their low 8 bits.
    message.push_back(static_cast<std::uint8_t>(category_ & 0xFF));
    message.push_back(static_cast<std::uint8_t>(parameter_ & 0xFF));
    putHead(message);
    // The item number is 14 bits, low group first; bits 14 and 15 are dropped.
    message.push_back(static_cast<std::uint8_t>(number_ & 0x7F));
    message.push_back(static_cast<std::uint8_t>((number_ >> 7) & 0x7F));
    putFirstPart(message);
    putSecondPart(message);
    message.push_back(sysex::end);
    out.swap(message);
}

// ---- SysExNullEncoder ------------------------------------------------------

void SysExNullEncoder::putHead(ByteVector&) const {}

// ---- SysExIPEncoder --------------------------------------------------------

void SysExIPEncoder::encode(std::uint16_t category, std::uint16_t number, std::uint16_t parameter,
                            const ByteVector& index, ByteVector& out) {
    if (index.empty() || index.size() > 4)
        throw Exception("A parameter message needs one to four index bytes, not " +
                        std::to_string(index.size()));
    category_ = category;
    number_ = number;
    parameter_ = parameter;
    index_ = &index;
    try {
        build(out);
    } catch (...) {
        index_ = nullptr;
        throw;
    }
    index_ = nullptr;
}

std::uint8_t SysExIPEncoder::valueWidth() const {
    const std::uint8_t width = parameterWidths::width(category_, parameter_);
    if (width == 0)
        throw Exception("The keyboard has no parameter " + std::to_string(parameter_) +
                        " in category " + std::to_string(category_));
    return width;
}

void SysExIPEncoder::putHead(ByteVector& out) const {
    const auto indexCount = static_cast<unsigned>(index_->size());
    const unsigned width = valueWidth();
    out.push_back(static_cast<std::uint8_t>((((indexCount - 1) << 5) & 0x60) | (width - 1)));
}

void SysExIPEncoder::putFirstPart(ByteVector& out) const {
    out.insert(out.end(), index_->begin(), index_->end());
}

// ---- SysExIPCEncoder -------------------------------------------------------

SysExIPCEncoder::SysExIPCEncoder() : SysExIPEncoder(sysex::ParameterValue) {}

void SysExIPCEncoder::encode(std::uint16_t category, std::uint16_t number, std::uint16_t parameter,
                             const ByteVector& index, std::uint32_t value, ByteVector& out) {
    value_ = value;
    SysExIPEncoder::encode(category, number, parameter, index, out);
}

void SysExIPCEncoder::putSecondPart(ByteVector& out) const {
    const std::size_t groups = parameterWidths::groupCount(valueWidth());
    for (std::size_t i = 0; i < groups; ++i)
        out.push_back(static_cast<std::uint8_t>((value_ >> (7 * i)) & 0x7F));
}

// ---- SysExIPREncoder -------------------------------------------------------

SysExIPREncoder::SysExIPREncoder() : SysExIPEncoder(sysex::ParameterRequest) {}

void SysExIPREncoder::encode(std::uint16_t category, std::uint16_t number, std::uint16_t parameter,
                             const ByteVector& index, ByteVector& out) {
    SysExIPEncoder::encode(category, number, parameter, index, out);
}

// ---- SysExHDEncoder --------------------------------------------------------

void SysExHDEncoder::encode(std::uint16_t category, std::uint16_t number, ByteVector& out) {
    category_ = category;
    number_ = number;
    build(out);
}

// ---- SysExHDSEncoder -------------------------------------------------------

SysExHDSEncoder::SysExHDSEncoder() : SysExHDEncoder(sysex::DataBlock) {}

void SysExHDSEncoder::encode(std::uint16_t category, std::uint16_t number, std::uint16_t block,
                             const ByteVector& data, ByteVector& out) {
    if (data.size() > maximumBlockSize)
        throw Exception("A data block holds at most " + std::to_string(maximumBlockSize) +
                        " bytes, not " + std::to_string(data.size()));
    data_ = data;
    // The block format carries whole byte pairs only.
    if (data_.size() % 2 != 0)
        data_.push_back(0x00);
    block_ = block;
    SysExHDEncoder::encode(category, number, out);
}

void SysExHDSEncoder::putHead(ByteVector& out) const {
    out.push_back(0x4F);
}

void SysExHDSEncoder::putFirstPart(ByteVector& out) const {
    out.push_back(static_cast<std::uint8_t>(block_ & 0x7F));
    out.push_back(static_cast<std::uint8_t>((block_ >> 7) & 0x7F));
    out.push_back(static_cast<std::uint8_t>(data_.size() / 2));
}

void SysExHDSEncoder::putSecondPart(ByteVector& out) const {
    unsigned sum = 0;
    auto put = [&](unsigned group) {
        out.push_back(static_cast<std::uint8_t>(group));
        sum = (sum + group) & 0x7F;
    };
    for (std::size_t i = 0; i + 1 < data_.size(); i += 2) {
        const auto word = static_cast<std::uint16_t>(data_[i] << 8 | data_[i + 1]);
        put(word & 0x7F);
        put((word >> 7) & 0x7F);
        // The top group is the sign-extended shift: 0x7E/0x7F for words from 0x8000.
        put(static_cast<unsigned>(static_cast<std::int16_t>(word) >> 14) & 0x7F);
    }
    out.push_back(static_cast<std::uint8_t>((0u - sum) & 0x7F));
}

// ---- SysExHDREncoder -------------------------------------------------------

SysExHDREncoder::SysExHDREncoder() : SysExHDEncoder(sysex::DataRequest) {}

void SysExHDREncoder::encode(std::uint16_t category, std::uint16_t number, std::uint16_t,
                             ByteVector& out) {
    SysExHDEncoder::encode(category, number, out);
}

void SysExHDREncoder::putFirstPart(ByteVector&) const {}

void SysExHDREncoder::putSecondPart(ByteVector&) const {}

// ---- SysExHCCEncoder -------------------------------------------------------

SysExHCCEncoder::SysExHCCEncoder() : SysExHDEncoder(sysex::Handshake) {}

void SysExHCCEncoder::encode(std::uint16_t category, std::uint16_t number, std::uint16_t,
                             std::uint8_t command, ByteVector& out) {
    command_ = command;
    SysExHDEncoder::encode(category, number, out);
}

void SysExHCCEncoder::putHead(ByteVector& out) const {
    out.push_back(0x00);
}

void SysExHCCEncoder::putFirstPart(ByteVector& out) const {
    out.push_back(command_);
}

void SysExHCCEncoder::putSecondPart(ByteVector&) const {}

// ---- factory ---------------------------------------------------------------

std::unique_ptr<SysExEncoder> makeEncoder(std::uint8_t code) {
    switch (code) {
    case sysex::ParameterValue:
        return std::make_unique<SysExIPCEncoder>();
    case sysex::ParameterRequest:
        return std::make_unique<SysExIPREncoder>();
    case sysex::DataBlock:
        return std::make_unique<SysExHDSEncoder>();
    case sysex::DataRequest:
        return std::make_unique<SysExHDREncoder>();
    case sysex::Handshake:
        return std::make_unique<SysExHCCEncoder>();
    default:
        return std::make_unique<SysExNullEncoder>(code);
    }
}

} // namespace qel
