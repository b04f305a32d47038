#include "kbdsim/KeyboardSimulator.h"

#include "kbdsim/DemoContent.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/SlotLayout.h"
#include "link/SysExDecoder.h"
#include "link/SysExEncoder.h"
#include "link/SysExFrame.h"
#include "model/Catalogue.h"
#include "model/Exception.h"

#include <algorithm>
#include <optional>

namespace kbdsim {
namespace {

namespace sysex = qel::sysex;

constexpr std::size_t blockSize = 128;

// Command parameters of category 0.
enum CommandParameter : std::uint8_t {
    ModelCode = 0,
    BeginCommunication = 32,
    FreeSongMemory = 33,
    FreeDataMemory = 34,
    DeleteSong = 35,
    DeleteRhythm = 36,
    DeleteToneGroup = 37,
    DeleteDrumGroup = 38,
    DeleteSmf = 39,
    Initialise = 41,
};
constexpr std::uint16_t sizeParameter = 3;

// The fields of a message in the common frame. Only made for messages that
// pass wellFormed().
struct Frame {
    std::uint8_t type;
    std::uint16_t category;
    std::uint16_t parameter;
    std::uint8_t head;
    std::uint16_t number;
};

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
        if (message.size() != qel::SysExHCCDecoder::minimumLength)
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

Bytes handshake(std::uint16_t category, std::uint16_t number, std::uint8_t command) {
    Bytes out;
    qel::SysExHCCEncoder().encode(category, number, 0, command, out);
    return out;
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

class KeyboardSimulator::Impl {
public:
    explicit Impl(const Options& options) : options(options) {
        if (options.content == StartContent::Demo)
            fillDemoContent(memory);
    }

    std::vector<Reply> handle(const Bytes& message);
    void forgetTransfers() {
        outgoing.reset();
        incoming.reset();
    }

    Options options;
    KeyboardMemory memory;
    std::size_t messageCount = 0;
    bool silenced = false;
    unsigned busyPolls = 0;

private:
    // An item on its way to the PC: a copy, so that a change to the slot
    // during the transfer cannot tear it.
    struct Outgoing {
        std::uint16_t category;
        std::uint16_t number;
        Bytes data;
        std::uint32_t nextBlock;
    };
    // An item on its way from the PC, collected until the end-of-data command.
    struct Incoming {
        std::uint16_t category;
        std::uint16_t number;
        Bytes data;
        std::uint32_t nextBlock;
        bool lastBlockSeen; // a block shorter than 128 bytes ends the item
        bool refused;       // a block was refused: the item is never stored
    };

    std::vector<Bytes> answer(const Bytes& message, MessageKind kind);
    std::vector<Bytes> answerParameterRequest(const Bytes& message, const Frame& frame);
    std::optional<std::uint32_t> parameterValue(const Frame& frame);
    void takeParameterValue(const Bytes& message, const Frame& frame);
    void deleteItem(std::uint16_t parameter, std::uint32_t number);
    std::vector<Bytes> answerDataRequest(const Frame& frame);
    std::vector<Bytes> answerNextBlock(const Frame& frame);
    Bytes sendBlock(Outgoing& item);
    std::vector<Bytes> answerDataBlock(const Bytes& message, const Frame& frame);
    std::uint8_t collectBlock(const Bytes& message, const Frame& frame);
    void takeEndOfData(const Frame& frame);
    void noteBlockDone(std::uint32_t block);
    std::vector<Reply> pace(std::vector<Bytes> replies) const;

    std::optional<Outgoing> outgoing;
    std::optional<Incoming> incoming;
};

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
    Bytes reply;
    try {
        qel::SysExIPCEncoder().encode(frame.category, frame.number, frame.parameter, index, *value,
                                      reply);
    } catch (const qel::Exception&) {
        return {}; // a parameter the keyboard does not have
    }
    return {reply};
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
        qel::SysExIPCDecoder().decodeValue(message, signedValue);
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

std::vector<Bytes> KeyboardSimulator::Impl::answerDataRequest(const Frame& frame) {
    outgoing.reset();
    const Bytes* data = memory.data(frame.category, frame.number);
    if (!data)
        return {handshake(frame.category, frame.number, sysex::Rejected)};
    if (data->empty())
        return {handshake(frame.category, frame.number, sysex::EndOfData)};
    outgoing = Outgoing{frame.category, frame.number, *data, 0};
    return {sendBlock(*outgoing)};
}

std::vector<Bytes> KeyboardSimulator::Impl::answerNextBlock(const Frame& frame) {
    // A next-block command outside the transfer it belongs to is not answered.
    if (!outgoing || outgoing->category != frame.category || outgoing->number != frame.number)
        return {};
    if (std::size_t{outgoing->nextBlock} * blockSize >= outgoing->data.size()) {
        outgoing.reset();
        return {handshake(frame.category, frame.number, sysex::EndOfData)};
    }
    return {sendBlock(*outgoing)};
}

Bytes KeyboardSimulator::Impl::sendBlock(Outgoing& item) {
    const std::size_t first = std::size_t{item.nextBlock} * blockSize;
    const std::size_t length = std::min(blockSize, item.data.size() - first);
    const Bytes block(item.data.begin() + static_cast<std::ptrdiff_t>(first),
                      item.data.begin() + static_cast<std::ptrdiff_t>(first + length));
    Bytes out;
    // An odd last byte goes out padded with a zero: blocks carry whole pairs.
    qel::SysExHDSEncoder().encode(item.category, item.number,
                                  static_cast<std::uint16_t>(item.nextBlock), block, out);
    noteBlockDone(item.nextBlock);
    ++item.nextBlock;
    return out;
}

std::vector<Bytes> KeyboardSimulator::Impl::answerDataBlock(const Bytes& message,
                                                            const Frame& frame) {
    const std::uint8_t command = collectBlock(message, frame);
    // A refused item is remembered as such, so that an end-of-data command the
    // PC may still send for it cannot be taken for an empty item and empty the slot.
    if (command != acknowledgeCommand)
        incoming = Incoming{frame.category, frame.number, {}, 0, false, true};
    return {handshake(frame.category, frame.number, command)};
}

// Checks one block from the PC and adds it to the item being collected.
// Returns the handshake command to answer with.
std::uint8_t KeyboardSimulator::Impl::collectBlock(const Bytes& message, const Frame& frame) {
    // Body: block number (2), pair count (1), three groups per pair, checksum.
    const std::size_t minimum = qel::SysExHDSDecoder::minimumLength;
    if (message.size() < minimum || (message.size() - minimum) % 3 != 0)
        return sysex::SysExError;
    const std::size_t pairs = (message.size() - minimum) / 3;
    if (message[13] != pairs)
        return sysex::SysExError;
    unsigned sum = 0;
    for (std::size_t at = 14; at < message.size() - 1; ++at)
        sum += message[at]; // the data groups and the checksum
    if (sum % 128 != 0)
        return sysex::SysExError;
    const auto block = static_cast<std::uint32_t>(message[11] | (message[12] << 7));

    if (options.faults.rejectAtBlock == block)
        return sysex::Rejected;
    if (options.faults.sysExErrorAtBlock == block)
        return sysex::SysExError;
    if (block == 0)
        incoming = Incoming{frame.category, frame.number, {}, 0, false, false};
    if (!incoming || incoming->category != frame.category || incoming->number != frame.number ||
        incoming->nextBlock != block || incoming->lastBlockSeen || incoming->refused)
        return sysex::SysExError; // out of sequence
    if (!layout::isUserSlot(frame.category, frame.number))
        return sysex::Rejected;

    Bytes data;
    try {
        qel::SysExHDSDecoder().decodeData(message, data);
    } catch (const qel::Exception&) {
        return sysex::SysExError;
    }
    if (data.size() > blockSize)
        return sysex::SysExError;
    incoming->data.insert(incoming->data.end(), data.begin(), data.end());
    incoming->lastBlockSeen = data.size() < blockSize;

    // Refuse as soon as the item can no longer be right: larger than its fixed
    // size or the free memory, or ended short of its fixed size.
    const std::size_t fixed = layout::fixedSize(frame.category);
    const std::size_t size = incoming->data.size();
    if (fixed != 0 ? (size > fixed || (incoming->lastBlockSeen && size != fixed))
                   : memory.canStore(frame.category, frame.number, size) !=
                         KeyboardMemory::StoreResult::Stored)
        return sysex::Rejected;

    ++incoming->nextBlock;
    noteBlockDone(block);
    return acknowledgeCommand;
}

void KeyboardSimulator::Impl::takeEndOfData(const Frame& frame) {
    if (!incoming) {
        // An empty item travels as the end-of-data command alone.
        if (layout::isVariableSize(frame.category))
            memory.store(frame.category, frame.number, {});
        return;
    }
    if (incoming->category == frame.category && incoming->number == frame.number &&
        !incoming->refused)
        memory.store(frame.category, frame.number, std::move(incoming->data));
    incoming.reset();
}

void KeyboardSimulator::Impl::noteBlockDone(std::uint32_t block) {
    const auto& silentAfter = options.faults.silentAfterBlock;
    if (silentAfter && block >= *silentAfter)
        silenced = true;
}

KeyboardSimulator::KeyboardSimulator() : KeyboardSimulator(Options{}) {}

KeyboardSimulator::KeyboardSimulator(const Options& options)
    : impl_(std::make_unique<Impl>(options)) {}

KeyboardSimulator::~KeyboardSimulator() = default;

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
