#pragma once

// The PC's side of the protocol, just enough to drive the simulator core from
// tests through raw messages: requests built by the link layer's encoders,
// replies read by its decoders.

#include "kbdsim/KeyboardSimulator.h"
#include "link/SysExDecoder.h"
#include "link/SysExEncoder.h"
#include "link/SysExFrame.h"

#include <optional>
#include <string>
#include <vector>

namespace kbdsim::test {

inline Bytes parameterRequest(std::uint16_t category, std::uint16_t number,
                              std::uint16_t parameter) {
    return qel::sysex::encodeParameterRequest(category, number, parameter, Bytes{0});
}

inline Bytes parameterValue(std::uint16_t category, std::uint16_t number, std::uint16_t parameter,
                            std::uint32_t value) {
    return qel::sysex::encodeParameterValue(category, number, parameter, Bytes{0}, value);
}

inline Bytes dataRequest(std::uint16_t category, std::uint16_t number) {
    return qel::sysex::encodeDataRequest(category, number);
}

inline Bytes handshake(std::uint16_t category, std::uint16_t number, std::uint8_t command) {
    return qel::sysex::encodeHandshake(category, number, command);
}

inline Bytes dataBlock(std::uint16_t category, std::uint16_t number, std::uint16_t block,
                       const Bytes& data) {
    return qel::sysex::encodeDataBlock(category, number, block, data);
}

// The single reply to a message; nothing when there is none or more than one.
inline std::optional<Bytes> onlyReply(KeyboardSimulator& keyboard, const Bytes& message) {
    const std::vector<Reply> replies = keyboard.handle(message);
    if (replies.size() != 1)
        return std::nullopt;
    return replies.front().message;
}

// Asks a parameter; nothing when the keyboard does not answer.
inline std::optional<std::uint32_t> askValue(KeyboardSimulator& keyboard, std::uint16_t category,
                                             std::uint16_t number, std::uint16_t parameter) {
    const auto reply = onlyReply(keyboard, parameterRequest(category, number, parameter));
    if (!reply)
        return std::nullopt;
    return static_cast<std::uint32_t>(qel::sysex::decodeParameterValue(*reply));
}

inline std::uint8_t commandOf(const Bytes& reply) {
    return qel::sysex::decodeHandshake(reply);
}

// Receives an item as the PC does: a data request, then next-block commands
// until the end of data. Nothing when a reply is missing or is no block or
// end of data. Bounded by the largest item the memory can hold.
inline std::optional<Bytes> receiveItem(KeyboardSimulator& keyboard, std::uint16_t category,
                                        std::uint16_t number) {
    Bytes item;
    Bytes request = dataRequest(category, number);
    for (int block = 0; block < 20000; ++block) {
        const auto reply = onlyReply(keyboard, request);
        if (!reply)
            return std::nullopt;
        const std::uint8_t type = qel::messageType(*reply);
        if (type == qel::sysex::Handshake)
            return commandOf(*reply) == qel::sysex::EndOfData ? std::optional<Bytes>(item)
                                                              : std::nullopt;
        if (type != qel::sysex::DataBlock)
            return std::nullopt;
        const Bytes data = qel::sysex::decodeDataBlock(*reply);
        item.insert(item.end(), data.begin(), data.end());
        request = handshake(category, number, qel::sysex::NextBlock);
    }
    return std::nullopt;
}

// Sends an item as the PC does: blocks of 128 bytes, each answered by a
// handshake, then the end-of-data command. Returns the commands received, one
// per block; stops at the first block not acknowledged (no end of data then).
inline std::vector<int> sendItem(KeyboardSimulator& keyboard, std::uint16_t category,
                                 std::uint16_t number, const Bytes& data) {
    std::vector<int> commands;
    for (std::size_t first = 0; first < data.size(); first += 128) {
        const Bytes part(data.begin() + static_cast<std::ptrdiff_t>(first),
                         data.begin() +
                             static_cast<std::ptrdiff_t>(std::min(first + 128, data.size())));
        const auto reply = onlyReply(
            keyboard, dataBlock(category, number, static_cast<std::uint16_t>(first / 128), part));
        if (!reply) {
            commands.push_back(-1);
            return commands;
        }
        const std::uint8_t command = commandOf(*reply);
        commands.push_back(command);
        if (command == 0 || command == 3 || command == 5)
            return commands;
    }
    keyboard.handle(handshake(category, number, qel::sysex::EndOfData));
    return commands;
}

} // namespace kbdsim::test
