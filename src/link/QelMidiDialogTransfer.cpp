// The block transfer of the MIDI dialog: items in 128-byte data blocks with a
// handshake per block, and the size and name of items.

#include "core/KeyboardTables.h"
#include "link/DataBlockCheck.h"
#include "link/QelMidiDialog.h"
#include "link/SysExDecoder.h"
#include "link/SysExEncoder.h"
#include "link/SysExFrame.h"

#include <algorithm>
#include <climits>

namespace qel {

namespace {

// Bytes 1-4 of a name as one number, byte 1 in bits 24-31.
std::uint32_t nameWord(const std::string& name, std::size_t first) {
    std::uint32_t word = 0;
    for (std::size_t i = first; i < first + 4; ++i)
        word = (word << 8) | static_cast<std::uint8_t>(name[i]);
    return word;
}

void appendNameWord(std::string& name, std::int32_t value) {
    const auto word = static_cast<std::uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8)
        name += static_cast<char>((word >> shift) & 0xFF);
}

// "block 3 of 5" for block `index` (from 0) of an item of `itemBytes` bytes;
// "block 3" when the size is unknown (0 or less); "after block 5 of 5" for
// the step that follows the last block.
std::string blockPlace(std::size_t index, std::int64_t itemBytes) {
    if (itemBytes <= 0)
        return "block " + std::to_string(index + 1);
    const auto count = static_cast<std::size_t>(
        (static_cast<std::uint64_t>(itemBytes) + transfer::blockSize - 1) / transfer::blockSize);
    const std::string ofCount = " of " + std::to_string(count);
    if (index >= count)
        return "after block " + std::to_string(count) + ofCount;
    return "block " + std::to_string(index + 1) + ofCount;
}

} // namespace

// ---- data transfer ----

void QelMidiDialog::sendData(std::uint16_t category, std::uint16_t number, const ByteVector& data) {
    if (refusedWhileWaiting())
        return;
    startOperation();
    const auto itemBytes = static_cast<std::int64_t>(data.size());
    setTransferPosition(0);
    setTransferMaximum(itemBytes);
    showWindow();
    std::uint16_t block = 0;
    for (std::size_t offset = 0; offset < data.size(); offset += transfer::blockSize, ++block) {
        const std::size_t length = std::min(transfer::blockSize, data.size() - offset);
        const auto first = data.begin() + static_cast<std::ptrdiff_t>(offset);
        sendBlock(category, number, ByteVector(first, first + static_cast<std::ptrdiff_t>(length)),
                  block);
        if (errorCode_ != 0) {
            failedBlock_ = blockPlace(block, itemBytes);
            hideWindow();
            return;
        }
        setTransferPosition(static_cast<std::int64_t>(offset + length));
        if (cancelRequested()) {
            // Without the end-of-data command the keyboard never stores the
            // blocks it collected.
            errorCode_ = dialogError::cancelled;
            hideWindow();
            return;
        }
    }
    sendEndOfData(category, number);
    if (errorCode_ != 0 && block != 0)
        failedBlock_ = blockPlace(block, itemBytes);
    hideWindow();
}

void QelMidiDialog::sendBlock(std::uint16_t category, std::uint16_t number, const ByteVector& bytes,
                              std::uint16_t block) {
    request_ = sysex::encodeDataBlock(category, number, block, bytes);
    armCycleCallbacks();
    if (!runCycle())
        return;
    const std::uint8_t command = sysex::decodeHandshake(reply_);
    if (command == sysex::SysExError)
        errorCode_ = dialogError::sysEx;
    else if (command == sysex::Rejected)
        errorCode_ = dialogError::rejected;
}

void QelMidiDialog::sendEndOfData(std::uint16_t category, std::uint16_t number) {
    request_ = sysex::encodeHandshake(category, number, sysex::EndOfData);
    outputObserver_.setCallback([this] { onEndSent(); });
    inputObserver_.clearCallback();
    done_ = false;
    timedOut_ = false;
    errorCode_ = static_cast<std::int32_t>(outputPort_.prepare(request_));
    if (errorCode_ != 0)
        return;
    errorCode_ = static_cast<std::int32_t>(sendRequest());
    if (errorCode_ != 0)
        return;
    startReplyTimer(); // a message that never leaves must not hold the dialog
    waitUntilDone();
    if (cancelled_)
        errorCode_ = dialogError::cancelled;
    else if (timedOut_)
        errorCode_ = dialogError::timeout;
}

std::size_t QelMidiDialog::receiveData(std::uint16_t category, std::uint16_t number,
                                       std::span<std::uint8_t> destination) {
    if (refusedWhileWaiting())
        return 0;
    startOperation();
    // The size query moves the bar itself; the transfer starts from 0 after it.
    const std::int32_t itemBytes = dataSize(category, number);
    setTransferMaximum(itemBytes);
    if (errorCode_ == dialogError::cancelled)
        return 0; // a failed size query only costs the bar its range, a cancel ends it all
    setTransferPosition(0);
    showWindow();
    std::size_t written = 0;
    ByteVector block;
    std::uint32_t k = 0;
    for (; receiveBlock(category, number, block, k); ++k) {
        if (block.size() > destination.size() - written) {
            // More than the caller has room for: nothing is written past it.
            errorCode_ = dialogError::sysEx;
            break;
        }
        if (block.empty()) {
            // A keyboard never sends an empty block; answering them forever
            // would never fill the destination and never end.
            errorCode_ = dialogError::sysEx;
            break;
        }
        std::copy(block.begin(), block.end(),
                  destination.begin() + static_cast<std::ptrdiff_t>(written));
        written += block.size();
        setTransferPosition(static_cast<std::int64_t>(written));
        if (cancelRequested()) {
            errorCode_ = dialogError::cancelled;
            break;
        }
    }
    if (errorCode_ != 0)
        failedBlock_ = blockPlace(k, itemBytes);
    hideWindow();
    return written;
}

bool QelMidiDialog::receiveBlock(std::uint16_t category, std::uint16_t number, ByteVector& block,
                                 std::uint32_t k) {
    request_ = k == 0 ? sysex::encodeDataRequest(category, number)
                      : sysex::encodeHandshake(category, number, sysex::NextBlock);
    armCycleCallbacks();
    if (!runCycle())
        return false;
    const std::uint8_t type = messageType(reply_);
    if (type == sysex::DataBlock) {
        // A block spoiled on the way, or one out of its place, is never taken:
        // the item would be saved with wrong bytes and nobody would know.
        if (checkDataBlock(reply_, k) != DataBlockFault::None) {
            errorCode_ = dialogError::sysEx;
            return false;
        }
        block = sysex::decodeDataBlock(reply_);
        return true;
    }
    std::uint8_t command = sysex::Rejected;
    if (type == sysex::Handshake)
        command = sysex::decodeHandshake(reply_);
    if (command == sysex::EndOfData)
        return false;
    // A SysEx error is reported as such; anything else the receive loop cannot
    // go on with (another command, another message type) is a rejection.
    errorCode_ = command == sysex::SysExError ? dialogError::sysEx : dialogError::rejected;
    return false;
}

std::int32_t QelMidiDialog::dataSize(std::uint16_t category, std::uint16_t number) {
    const std::int32_t fixed = transfer::fixedSize(category);
    if (fixed != 0)
        return fixed;
    std::int32_t size = 0;
    requestValue(category, number, firstIndexByte(), transfer::sizeParameter, size);
    return size;
}

std::int32_t QelMidiDialog::getDataSize(std::uint16_t category, std::uint16_t number) {
    if (refusedWhileWaiting())
        return 0;
    return dataSize(category, number);
}

std::string QelMidiDialog::getDataName(std::uint16_t category, std::uint16_t number) {
    if (refusedWhileWaiting())
        return {};
    const std::uint16_t parameter = transfer::nameParameter(category);
    if (transfer::hasNoName(parameter))
        return {};
    std::int32_t first = 0;
    requestValue(category, number, firstIndexByte(), parameter, first);
    if (errorCode_ != 0)
        return {};
    std::int32_t second = 0;
    requestValue(category, number, firstIndexByte(), static_cast<std::uint16_t>(parameter + 1),
                 second);
    if (errorCode_ != 0)
        return {};
    std::string name;
    appendNameWord(name, first);
    appendNameWord(name, second);
    return name;
}

void QelMidiDialog::sendDataName(std::uint16_t category, std::uint16_t number,
                                 const std::string& name) {
    if (refusedWhileWaiting())
        return;
    const std::uint16_t parameter = transfer::nameParameter(category);
    if (transfer::hasNoName(parameter))
        return;
    // A shorter name is completed with spaces rather than read past its end.
    std::string padded = name;
    padded.resize(std::max<std::size_t>(padded.size(), 8), ' ');
    const auto first = static_cast<std::int32_t>(nameWord(padded, 0));
    const auto second = static_cast<std::int32_t>(nameWord(padded, 4));
    sendCommand(category, number, firstIndexByte(), parameter, first);
    if (errorCode_ != 0)
        return;
    sendCommand(category, number, firstIndexByte(), static_cast<std::uint16_t>(parameter + 1),
                second);
}

} // namespace qel
