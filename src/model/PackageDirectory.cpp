#include "model/PackageDirectory.h"

#include "core/Exception.h"
#include "model/BigEndian.h"

namespace qel::files {

PackageDirectory::PackageDirectory(const ByteVector& block) : block_(block) {
    if (block_.size() != directory::size)
        throw Exception("Illegal Format");
}

std::uint32_t PackageDirectory::number(std::size_t offset, int width) const {
    return readBigEndian(block_, offset, width);
}

SizedEntry PackageDirectory::entry(std::size_t offset) const {
    return {number(offset, 4), number(offset + 4, 4)};
}

std::uint16_t PackageDirectory::slotCount(Slot slot) const {
    return static_cast<std::uint16_t>(number(6 * static_cast<std::size_t>(slot), 2));
}

std::uint32_t PackageDirectory::slotOffset(Slot slot) const {
    return number(6 * static_cast<std::size_t>(slot) + 2, 4);
}

std::string PackageDirectory::songName(int i) const {
    const auto start = block_.begin() + static_cast<std::ptrdiff_t>(directory::songNames + 8 * i);
    return std::string(start, start + 8);
}

SizedEntry PackageDirectory::songEntry(int i) const {
    return entry(directory::songEntries + 8 * static_cast<std::size_t>(i));
}

SizedEntry PackageDirectory::rhythmEntry(int i) const {
    return entry(directory::rhythmEntries + 8 * static_cast<std::size_t>(i));
}

SizedEntry PackageDirectory::toneWaveEntry(int g) const {
    return entry(directory::toneWaveEntries + 8 * static_cast<std::size_t>(g));
}

SizedEntry PackageDirectory::drumWaveEntry() const {
    return entry(directory::drumWaveEntry);
}

std::uint32_t PackageDirectory::toneIndexOffset() const {
    return number(directory::toneIndexOffset, 4);
}

std::uint32_t PackageDirectory::drumIndexOffset() const {
    return number(directory::drumIndexOffset, 4);
}

std::uint32_t PackageDirectory::instFlagsOffset() const {
    return number(directory::instFlagsOffset, 4);
}

std::uint64_t PackageDirectory::sizeFieldSum() const {
    std::uint64_t sum = 0;
    for (int i = 0; i < directory::songCount; ++i)
        sum += songEntry(i).size;
    for (int i = 0; i < directory::rhythmCount; ++i)
        sum += rhythmEntry(i).size;
    for (int g = 0; g < directory::toneGroupWaveCount; ++g)
        sum += toneWaveEntry(g).size;
    sum += drumWaveEntry().size;
    return sum;
}

} // namespace qel::files
