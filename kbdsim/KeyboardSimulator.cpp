#include "kbdsim/KeyboardSimulator.h"

#include "core/Catalogue.h"
#include "core/Exception.h"
#include "kbdsim/DemoContent.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/SimulatorCore.h"
#include "kbdsim/SlotLayout.h"
#include "link/SysExDecoder.h"
#include "link/SysExEncoder.h"
#include "link/SysExFrame.h"

#include <algorithm>
#include <optional>

namespace kbdsim {
namespace {

namespace sysex = qel::sysex;
using namespace internal;

// The frame check of the keyboard side: F0 44 ... F7, long enough to carry the
// number, and nothing but 7-bit bytes in between (a status byte inside would
// have ended the message on a real MIDI line).
bool wellFormed(const Bytes& message) {
    if (message.size() < sysex::minimumLength + 1 || message.front() != sysex::start ||
        message.back() != sysex::end || message[1] != sysex::manufacturer)
        return false;
    return std::none_of(message.begin() + 1, message.end() - 1,
                        [](std::uint8_t byte) { return byte & 0x80; });
}

Frame frameOf(const Bytes& message) {
    return {message[sysex::typeOffset], message[sysex::categoryOffset],
            message[sysex::parameterOffset], message[sysex::headOffset],
            static_cast<std::uint16_t>(message[sysex::numberOffset] |
                                       (message[sysex::numberOffset + 1] << 7))};
}

MessageKind classify(const Bytes& message) {
    if (!wellFormed(message))
        return MessageKind::Other;
    const Frame frame = frameOf(message);
    switch (frame.type) {
    case sysex::ParameterRequest:
        return frame.category == qel::category::Command && frame.parameter == ModelCode
                   ? MessageKind::ModelRequest
                   : MessageKind::ParameterRequest;
    case sysex::ParameterValue:
        return MessageKind::ParameterValue;
    case sysex::DataRequest:
        return MessageKind::DataRequest;
    case sysex::DataBlock:
        return MessageKind::DataBlock;
    case sysex::Handshake:
        if (message.size() != qel::sysex::handshakeLength)
            return MessageKind::Other;
        if (message[sysex::bodyOffset] == sysex::NextBlock)
            return MessageKind::NextBlock;
        if (message[sysex::bodyOffset] == sysex::EndOfData)
            return MessageKind::EndOfData;
        return MessageKind::Other;
    default:
        return MessageKind::Other;
    }
}

void spoil(Bytes& reply, Malformation malformation) {
    switch (malformation) {
    case Malformation::None:
        break;
    case Malformation::Short:
        reply.resize(sysex::minimumLength - 2);
        reply.push_back(sysex::end);
        break;
    case Malformation::WrongManufacturer:
        reply[1] = 0x43;
        break;
    case Malformation::MissingEnd:
        reply.pop_back();
        break;
    }
}

// The 4 name bytes of a name parameter as one value, first byte in bits 24-31.
std::uint32_t nameValue(const std::string& name, std::size_t first) {
    std::uint32_t value = 0;
    for (std::size_t i = first; i < first + 4; ++i)
        value = (value << 8) | static_cast<std::uint8_t>(i < name.size() ? name[i] : ' ');
    return value;
}

} // namespace

std::vector<Reply> KeyboardSimulator::Impl::handle(const Bytes& message) {
    const std::size_t ordinal = ++messageCount;
    const MessageKind kind = classify(message);
    // A lost message has no effect at all: the keyboard never saw it.
    if (silenced || options.faults.noReply.matches(ordinal, kind))
        return {};
    std::vector<Bytes> replies = answer(message, kind);
    if (options.faults.malformation != Malformation::None &&
        options.faults.malformedReply.matches(ordinal, kind))
        for (Bytes& reply : replies)
            spoil(reply, options.faults.malformation);
    std::vector<Reply> paced = pace(std::move(replies));
    if (options.faults.lateReply.matches(ordinal, kind))
        for (Reply& reply : paced)
            reply.delay += options.faults.lateBy;
    return paced;
}

std::vector<Reply> KeyboardSimulator::Impl::pace(std::vector<Bytes> replies) const {
    std::vector<Reply> paced;
    paced.reserve(replies.size());
    // Delays count from the moment the message was fully received: its own
    // wire time is the host's to simulate. Each reply takes its wire time after
    // the one before it.
    std::chrono::microseconds at{0};
    if (options.pacing.enabled && !replies.empty())
        at = options.pacing.processingDelay;
    for (Bytes& reply : replies) {
        if (options.pacing.enabled)
            at += Pacing::wireTime(reply.size());
        paced.push_back(Reply{std::move(reply), at});
    }
    return paced;
}

std::vector<Bytes> KeyboardSimulator::Impl::answer(const Bytes& message, MessageKind kind) {
    if (kind == MessageKind::Other)
        return {};
    const Frame frame = frameOf(message);
    switch (kind) {
    case MessageKind::ModelRequest:
    case MessageKind::ParameterRequest:
        return answerParameterRequest(message, frame);
    case MessageKind::ParameterValue:
        takeParameterValue(message, frame);
        return {};
    case MessageKind::DataRequest:
        if (message.size() != sysex::minimumLength + 1)
            return {};
        return answerDataRequest(frame);
    case MessageKind::NextBlock:
        return answerNextBlock(frame);
    case MessageKind::DataBlock:
        return answerDataBlock(message, frame);
    case MessageKind::EndOfData:
        takeEndOfData(frame);
        return {};
    case MessageKind::Other:
        break;
    }
    return {};
}

std::vector<Bytes> KeyboardSimulator::Impl::answerParameterRequest(const Bytes& message,
                                                                   const Frame& frame) {
    const std::size_t indexCount = ((frame.head >> 5) & 3) + 1;
    if (message.size() != sysex::bodyOffset + indexCount + 1)
        return {};
    const auto value = parameterValue(frame);
    if (!value)
        return {};
    const Bytes index(message.begin() + sysex::bodyOffset,
                      message.begin() +
                          static_cast<std::ptrdiff_t>(sysex::bodyOffset + indexCount));
    try {
        return {qel::sysex::encodeParameterValue(frame.category, frame.number, frame.parameter,
                                                 index, *value)};
    } catch (const qel::Exception&) {
        return {}; // a parameter the keyboard does not have
    }
}

std::optional<std::uint32_t> KeyboardSimulator::Impl::parameterValue(const Frame& frame) {
    if (frame.category == qel::category::Command) {
        switch (frame.parameter) {
        case ModelCode:
            if (busyPolls > 0) {
                --busyPolls;
                return std::nullopt;
            }
            return options.modelCode;
        case FreeSongMemory:
            return memory.freeSongMemory();
        case FreeDataMemory:
            return memory.freeDataMemory();
        default:
            return std::nullopt;
        }
    }
    const Bytes* data = memory.data(frame.category, frame.number);
    if (!data)
        return std::nullopt;
    if (frame.parameter == sizeParameter && layout::isVariableSize(frame.category))
        return static_cast<std::uint32_t>(data->size());
    const auto name = layout::nameParameter(frame.category);
    if (name && (frame.parameter == *name || frame.parameter == *name + 1))
        return nameValue(memory.name(frame.category, frame.number),
                         frame.parameter == *name ? 0 : 4);
    return std::nullopt;
}

void KeyboardSimulator::Impl::takeParameterValue(const Bytes& message, const Frame& frame) {
    std::int32_t signedValue = 0;
    try {
        signedValue = qel::sysex::decodeParameterValue(message);
    } catch (const qel::Exception&) {
        return;
    }
    const auto value = static_cast<std::uint32_t>(signedValue);
    if (frame.category == qel::category::Command) {
        if (frame.parameter >= DeleteSong && frame.parameter <= DeleteSmf)
            deleteItem(frame.parameter, value);
        // Begin communication and initialise are accepted; they change no user data.
        return;
    }
    const bool named =
        frame.category == qel::category::Rhythm || frame.category == qel::category::SMF;
    const auto first = layout::nameParameter(frame.category);
    if (!named || !first || (frame.parameter != *first && frame.parameter != *first + 1))
        return;
    std::string name = memory.name(frame.category, frame.number);
    if (name.size() != layout::nameLength)
        return; // no user slot
    const std::size_t at = frame.parameter == *first ? 0 : 4;
    for (std::size_t i = 0; i < 4; ++i)
        name[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    memory.setName(frame.category, frame.number, name);
}

void KeyboardSimulator::Impl::deleteItem(std::uint16_t parameter, std::uint32_t value) {
    // A keyboard needs a moment after a delete before it answers again.
    busyPolls = options.faults.busyPollsAfterDelete;
    if (value > 0xFFFF)
        return;
    const auto number = static_cast<std::uint16_t>(value);
    switch (parameter) {
    case DeleteSong:
        memory.clear(qel::category::Song, number);
        break;
    case DeleteRhythm:
        memory.clear(qel::category::Rhythm, number);
        break;
    case DeleteToneGroup:
        memory.clearToneGroup(number);
        break;
    case DeleteDrumGroup:
        memory.clearDrumGroup(number);
        break;
    case DeleteSmf:
        memory.clear(qel::category::SMF, number);
        break;
    default:
        break;
    }
}

std::vector<Reply> KeyboardSimulator::handle(const Bytes& message) {
    return impl_->handle(message);
}

const Options& KeyboardSimulator::options() const {
    return impl_->options;
}

void KeyboardSimulator::setOptions(const Options& options) {
    impl_->options = options;
    impl_->silenced = false;
}

std::size_t KeyboardSimulator::messageCount() const {
    return impl_->messageCount;
}

const KeyboardMemory& KeyboardSimulator::memory() const {
    return impl_->memory;
}

KeyboardMemory& KeyboardSimulator::memory() {
    return impl_->memory;
}

void KeyboardSimulator::replaceMemory(const KeyboardMemory& memory) {
    impl_->memory = memory;
    impl_->forgetTransfers();
}

} // namespace kbdsim
