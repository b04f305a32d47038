#include "kbdsim/MemoryImage.h"

#include "model/Exception.h"

namespace kbdsim {

Bytes MemoryImage::encode(const KeyboardMemory&) { return {}; }

KeyboardMemory MemoryImage::decode(const Bytes&) { throw qel::Exception("Illegal Format"); }

void MemoryImage::save(const KeyboardMemory&, const std::string& path) {
    throw qel::Exception("Can't create the file: " + path);
}

KeyboardMemory MemoryImage::load(const std::string& path) {
    throw qel::Exception("Can't open the file: " + path);
}

} // namespace kbdsim
