#include "kbdsim/MemoryImage.h"

#include "core/Exception.h"
#include "kbdsim/SlotLayout.h"
#include "platform/files/AtomicFileWriter.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <string_view>
#include <system_error>

namespace kbdsim {
namespace {

constexpr std::string_view signature = "TQ7400-KBDSIM-MEM";
constexpr std::uint8_t version = 1;

// No valid image comes near this: the fixed blocks, both memory areas and the
// slot headers together stay well below it.
constexpr std::uintmax_t largestImage = 8u * 1024 * 1024;

void putNumber(Bytes& out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
}

// Reads the image front to back; every read is checked against its end.
class Reader {
public:
    explicit Reader(const Bytes& bytes) : bytes_(bytes) {}

    std::uint32_t number(int bytes) {
        need(static_cast<std::size_t>(bytes));
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | bytes_[at_++];
        return value;
    }
    Bytes take(std::size_t count) {
        need(count);
        Bytes taken(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                    bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + count));
        at_ += count;
        return taken;
    }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    void need(std::size_t count) const {
        if (count > bytes_.size() - at_)
            throw qel::Exception("Illegal Format");
    }
    const Bytes& bytes_;
    std::size_t at_ = 0;
};

bool isInitial(std::uint16_t category, std::uint16_t number, const KeyboardMemory::Slot& slot) {
    const bool blankName =
        slot.keptName.empty() || slot.keptName == std::string(layout::nameLength, ' ');
    return blankName && slot.data == KeyboardMemory::initialBlock(category, number);
}

} // namespace

Bytes MemoryImage::encode(const KeyboardMemory& memory) {
    Bytes slots;
    std::uint32_t count = 0;
    for (const auto& [key, slot] : memory.storedSlots()) {
        const auto category = static_cast<std::uint16_t>(key >> 16);
        const auto number = static_cast<std::uint16_t>(key & 0xFFFF);
        if (isInitial(category, number, slot))
            continue;
        ++count;
        putNumber(slots, category, 2);
        putNumber(slots, number, 2);
        std::string name = slot.keptName;
        name.resize(layout::nameLength, ' ');
        slots.insert(slots.end(), name.begin(), name.end());
        putNumber(slots, static_cast<std::uint32_t>(slot.data.size()), 4);
        slots.insert(slots.end(), slot.data.begin(), slot.data.end());
    }
    Bytes image(signature.begin(), signature.end());
    image.push_back(version);
    putNumber(image, count, 4);
    image.insert(image.end(), slots.begin(), slots.end());
    return image;
}

KeyboardMemory MemoryImage::decode(const Bytes& image) {
    Reader reader(image);
    const Bytes head = reader.take(signature.size());
    if (std::string_view(reinterpret_cast<const char*>(head.data()), head.size()) != signature ||
        reader.number(1) != version)
        throw qel::Exception("Illegal Format");
    KeyboardMemory memory;
    const std::uint32_t count = reader.number(4);
    std::set<std::uint32_t> seen;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto category = static_cast<std::uint16_t>(reader.number(2));
        const auto number = static_cast<std::uint16_t>(reader.number(2));
        if (!seen.insert(KeyboardMemory::key(category, number)).second)
            throw qel::Exception("Illegal Format"); // each slot once
        const Bytes name = reader.take(layout::nameLength);
        const std::uint32_t size = reader.number(4);
        Bytes data = reader.take(size);
        // The kept name first, while the slot is still empty: a rhythm's data
        // keep the name bytes they were saved with.
        memory.setName(category, number, std::string(name.begin(), name.end()));
        if (memory.store(category, number, std::move(data)) != KeyboardMemory::StoreResult::Stored)
            throw qel::Exception("Illegal Format");
    }
    if (!reader.atEnd())
        throw qel::Exception("Illegal Format");
    return memory;
}

void MemoryImage::save(const KeyboardMemory& memory, const std::string& path) {
    qel::platform::AtomicFileWriter writer(path);
    writer.write(encode(memory));
    if (!writer.commit())
        throw qel::Exception(writer.failureText());
}

KeyboardMemory MemoryImage::load(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        throw qel::Exception("Can't open the file: " + path);
    if (size > largestImage)
        throw qel::Exception("Illegal Format");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw qel::Exception("Can't open the file: " + path);
    Bytes image(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (in.gcount() != static_cast<std::streamsize>(image.size()))
        throw qel::Exception("Can't open the file: " + path);
    return decode(image);
}

} // namespace kbdsim
