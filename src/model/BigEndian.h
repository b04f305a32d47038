#pragma once

// Numbers in container files and package directories are big-endian.

#include "core/ByteVector.h"

#include <cstddef>
#include <cstdint>

namespace qel::files {

// The `width`-byte big-endian number at bytes[offset]. The caller keeps
// offset + width within bytes.
inline std::uint32_t readBigEndian(const ByteVector& bytes, std::size_t offset, int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i)
        value = value << 8 | bytes[offset + static_cast<std::size_t>(i)];
    return value;
}

// Stores `value` as a `width`-byte big-endian number at bytes[offset]. The
// caller keeps offset + width within bytes.
inline void writeBigEndian(ByteVector& bytes, std::size_t offset, std::uint32_t value, int width) {
    for (int i = width - 1; i >= 0; --i, value >>= 8)
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value & 0xFF);
}

// Appends `value` as a `width`-byte big-endian number.
inline void appendBigEndian(ByteVector& bytes, std::uint32_t value, int width) {
    bytes.resize(bytes.size() + static_cast<std::size_t>(width));
    writeBigEndian(bytes, bytes.size() - static_cast<std::size_t>(width), value, width);
}

} // namespace qel::files
