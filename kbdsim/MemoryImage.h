#pragma once

// The memory of the simulated keyboard as a file, so that the stand-alone
// program keeps its content between runs.
//
// Layout (all numbers big-endian):
//   "TQ7400-KBDSIM-MEM" (17 bytes), format version (1 byte, 1), slot count (4),
//   then per stored slot: category (2), number (2), kept name (8),
//   data size (4), data bytes.
// Only slots that differ from their initial state are written; loading starts
// from a fresh memory and applies them.

#include "kbdsim/KeyboardMemory.h"

#include <string>

namespace kbdsim {

class MemoryImage {
public:
    // The image of a memory as bytes.
    static Bytes encode(const KeyboardMemory& memory);

    // The memory an image describes. Throws qel::Exception ("Illegal Format")
    // for anything that is no valid image: a wrong signature or version, a
    // size that runs past the end, a slot that is no user slot, a block of the
    // wrong size, or content that does not fit the memory areas.
    static KeyboardMemory decode(const Bytes& image);

    // Writes the image to `path` with the program's whole-or-nothing writer
    // (qel::platform::AtomicFileWriter): the file is replaced only once the
    // whole image is written, and a new file gets the mode the umask gives.
    // Throws qel::Exception "Can't create the file: " + path + " (REASON)".
    static void save(const KeyboardMemory& memory, const std::string& path);

    // Reads an image from `path`. Throws qel::Exception "Can't open the file: "
    // + path, or as decode() does. Files larger than any valid image are
    // refused without reading them whole.
    static KeyboardMemory load(const std::string& path);
};

} // namespace kbdsim
