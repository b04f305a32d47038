// The keyboard's side of the block transfers: items sent to the PC block by
// block on its handshakes, and items taken from the PC until their end of data.

#include "core/Exception.h"
#include "kbdsim/SimulatorCore.h"
#include "kbdsim/SlotLayout.h"
#include "link/SysExDecoder.h"
#include "link/SysExEncoder.h"
#include "link/SysExFrame.h"

#include <algorithm>

namespace kbdsim {

namespace sysex = qel::sysex;
using namespace internal;

namespace {

// Frame offsets of a data block: block number (2 bytes), pair count, groups.
constexpr std::size_t blockNumberOffset = 11;
constexpr std::size_t pairCountOffset = 13;
constexpr std::size_t firstGroupOffset = 14;

void corrupt(Bytes& block, BlockCorruption corruption) {
    const auto plusOne = [](std::uint8_t& byte) { byte = (byte + 1) & 0x7F; };
    switch (corruption) {
    case BlockCorruption::None:
        break;
    case BlockCorruption::Checksum:
        plusOne(block[block.size() - 2]);
        break;
    case BlockCorruption::PairCount:
        plusOne(block[pairCountOffset]);
        break;
    case BlockCorruption::BlockNumber:
        plusOne(block[blockNumberOffset]);
        break;
    case BlockCorruption::FlippedBit:
        // Blocks sent are never empty: the first group is there.
        block[firstGroupOffset] ^= 0x01;
        break;
    }
}

} // namespace

namespace internal {

Bytes handshake(std::uint16_t category, std::uint16_t number, std::uint8_t command) {
    return qel::sysex::encodeHandshake(category, number, command);
}

} // namespace internal

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
    // An odd last byte goes out padded with a zero: blocks carry whole pairs.
    Bytes out = qel::sysex::encodeDataBlock(item.category, item.number,
                                            static_cast<std::uint16_t>(item.nextBlock), block);
    if (options.faults.corruptAtBlock == item.nextBlock)
        corrupt(out, options.faults.blockCorruption);
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
    const std::size_t minimum = qel::sysex::minimumDataBlockLength;
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
        data = qel::sysex::decodeDataBlock(message);
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

} // namespace kbdsim
