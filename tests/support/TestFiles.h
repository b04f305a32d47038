#pragma once

// Whole files and big-endian numbers as the tests read and write them, written
// apart from the program's own file code so that they check it.

#include "core/ByteVector.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace qel::test {

// Writes `bytes` to `path`; throws std::runtime_error when it cannot.
inline void writeFile(const std::string& path, const ByteVector& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

// Reads the whole file at `path`; empty when it cannot be read.
inline ByteVector readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteVector(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The 32-bit big-endian number at `at`.
inline std::uint32_t be32(const ByteVector& bytes, std::size_t at) {
    return std::uint32_t{bytes.at(at)} << 24 | std::uint32_t{bytes.at(at + 1)} << 16 |
           std::uint32_t{bytes.at(at + 2)} << 8 | bytes.at(at + 3);
}

} // namespace qel::test
