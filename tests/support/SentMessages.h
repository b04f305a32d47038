#pragma once

// The messages a test saw the program send, read by their frame fields
// instead of raw byte offsets, so that a test says "a command" or "a data
// block" and reads the field it means.

#include "core/ByteVector.h"
#include "core/KeyboardTables.h"
#include "link/SysExDecoder.h"
#include "link/SysExFrame.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace qel::test {

// One message by its frame fields; `value` only for a parameter value.
struct SentMessage {
    std::uint8_t type = 0;
    std::uint8_t category = 0;
    std::uint8_t parameter = 0;
    std::optional<std::int32_t> value;

    // A command: a parameter value of category 0 ("Command").
    bool isCommand() const { return type == sysex::ParameterValue && category == 0; }
    // The keyboard's model asked: a parameter request of category 0, parameter 0.
    bool isModelRequest() const {
        return type == sysex::ParameterRequest && category == 0 && parameter == command::model;
    }
};

// Whether `parameter` is the delete command of some data type.
inline bool isDeleteParameter(int parameter) {
    for (int t = 0; t < type::count; ++t)
        if (command::deleteParameter(static_cast<type::id>(t)) == parameter)
            return true;
    return false;
}

// The fields of `message`; nothing for bytes too short to hold a frame head.
inline std::optional<SentMessage> readSent(const ByteVector& message) {
    if (message.size() <= sysex::headOffset)
        return std::nullopt;
    SentMessage read;
    read.type = message[sysex::typeOffset];
    read.category = message[sysex::categoryOffset];
    read.parameter = message[sysex::parameterOffset];
    if (read.type == sysex::ParameterValue)
        read.value = sysex::decodeParameterValue(message);
    return read;
}

// The commands among `messages`, as (parameter, value), those `wanted`
// keeps, in the order sent.
template <typename Wanted>
std::vector<std::pair<int, std::int32_t>> commandsSent(const std::vector<ByteVector>& messages,
                                                       Wanted wanted) {
    std::vector<std::pair<int, std::int32_t>> found;
    for (const ByteVector& message : messages)
        if (const auto read = readSent(message);
            read && read->isCommand() && wanted(read->parameter))
            found.push_back({read->parameter, *read->value});
    return found;
}

// How many of `messages` have the message type `type`.
inline std::size_t countOfType(const std::vector<ByteVector>& messages, std::uint8_t type) {
    return static_cast<std::size_t>(
        std::count_if(messages.begin(), messages.end(), [type](const ByteVector& message) {
            return message.size() > sysex::typeOffset && message[sysex::typeOffset] == type;
        }));
}

} // namespace qel::test
