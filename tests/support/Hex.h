#pragma once

// Byte vectors written as hex text in tests: "F0 44 11".

#include "core/ByteVector.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>

namespace qel::test {

inline ByteVector hex(std::string_view text) {
    ByteVector bytes;
    std::istringstream in{std::string(text)};
    unsigned value = 0;
    while (in >> std::hex >> value)
        bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}

inline std::string toHex(const ByteVector& bytes) {
    std::string text;
    char buffer[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X", byte);
        if (!text.empty())
            text += ' ';
        text += buffer;
    }
    return text;
}

} // namespace qel::test
