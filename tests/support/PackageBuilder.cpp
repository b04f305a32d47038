#include "support/PackageBuilder.h"

#include "model/BigEndian.h"
#include "model/ContainerLayout.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qel::test {

using files::appendBigEndian;
using files::writeBigEndian;

ByteVector itemContent(category::id c, int group, int index, std::size_t size) {
    ByteVector bytes(size);
    const unsigned seed = static_cast<unsigned>(c) * 31u + static_cast<unsigned>(group + 1) * 7u +
                          static_cast<unsigned>(index) * 13u;
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 3u);
    return bytes;
}

ByteVector singleItemFile(category::id c, type::id t, const ByteVector& data,
                          std::int64_t sizeField) {
    const auto size =
        static_cast<std::uint32_t>(sizeField < 0 ? std::int64_t(data.size()) : sizeField);
    ByteVector file = files::makeContainerHeader(size, c, 0, t);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

PackageBuilder::PackageBuilder(type::id type) : type_(type) {
    songNames_.fill("        ");
}

PackageBuilder& PackageBuilder::registrations(int banks) {
    registrationBanks_ = banks;
    return *this;
}
PackageBuilder& PackageBuilder::dsps(int count) {
    dsps_ = count;
    return *this;
}
PackageBuilder& PackageBuilder::drawbarOrgans(int count) {
    drawbars_ = count;
    return *this;
}
PackageBuilder& PackageBuilder::tones(int count) {
    tones_ = count;
    return *this;
}
PackageBuilder& PackageBuilder::song(int i, const std::string& name, std::uint32_t size) {
    songNames_[static_cast<std::size_t>(i)] = name;
    songSizes_[static_cast<std::size_t>(i)] = size;
    return *this;
}
PackageBuilder& PackageBuilder::rhythm(int i, const std::string& name, std::uint32_t size) {
    rhythmNames_[static_cast<std::size_t>(i)] = name;
    rhythmSizes_[static_cast<std::size_t>(i)] = size;
    return *this;
}
PackageBuilder& PackageBuilder::toneGroup(const std::vector<std::uint32_t>& waveSizes) {
    toneGroups_.push_back(waveSizes);
    toneGroups_.back().resize(64, 0);
    return *this;
}
PackageBuilder& PackageBuilder::drumGroup(const std::vector<std::uint32_t>& waveSizes,
                                          const ByteVector& instFlags) {
    drumGroups_.push_back(waveSizes);
    drumGroups_.back().resize(128, 0);
    instFlags_ = instFlags;
    instFlags_.resize(128, 0);
    return *this;
}

namespace {

// Appends `count` fixed-size items of category c for group `group`.
void appendItems(ByteVector& area, category::id c, int group, int count) {
    for (int k = 0; k < count; ++k) {
        const ByteVector item = itemContent(c, group, k, files::fixedItemSize(c));
        area.insert(area.end(), item.begin(), item.end());
    }
}

void putSlot(ByteVector& dir, int slot, std::uint32_t count, std::uint32_t offset) {
    writeBigEndian(dir, 6 * static_cast<std::size_t>(slot), count, 2);
    writeBigEndian(dir, 6 * static_cast<std::size_t>(slot) + 2, offset, 4);
}

void putEntry(ByteVector& dir, std::size_t at, std::uint32_t size, std::uint32_t offset) {
    writeBigEndian(dir, at, size, 4);
    writeBigEndian(dir, at + 4, offset, 4);
}

} // namespace

ByteVector PackageBuilder::build() const {
    namespace d = files::directory;
    const auto T = static_cast<std::uint32_t>(toneGroups_.size());
    const auto D = static_cast<std::uint32_t>(drumGroups_.size());
    ByteVector dir(d::size, 0x00);
    // Data area after the directory: inst flags, index tables, then items.
    ByteVector area = instFlags_;
    auto here = [&] { return static_cast<std::uint32_t>(d::size + area.size()); };

    toneIndexOffset_ = here();
    const std::uint32_t toneIndex = here();
    area.resize(area.size() + T * 512);
    const std::uint32_t drumIndex = here();
    area.resize(area.size() + D * 1024);
    writeBigEndian(dir, d::toneIndexSize, T * 512, 4);
    writeBigEndian(dir, d::toneIndexOffset, toneIndex, 4);
    writeBigEndian(dir, d::drumIndexSize, D * 1024, 4);
    writeBigEndian(dir, d::drumIndexOffset, drumIndex, 4);
    writeBigEndian(dir, d::instFlagsOffset, d::size, 4);

    putSlot(dir, 0, static_cast<std::uint32_t>(registrationBanks_), here());
    appendItems(area, category::Registration, -1, 4 * registrationBanks_);
    putSlot(dir, 1, static_cast<std::uint32_t>(dsps_), here());
    appendItems(area, category::DSP, -1, dsps_);
    putSlot(dir, 2, static_cast<std::uint32_t>(drawbars_), here());
    appendItems(area, category::DrawbarOrgan, -1, drawbars_);
    putSlot(dir, 3, static_cast<std::uint32_t>(tones_), here());
    appendItems(area, category::Tone, -1, tones_);

    struct GroupPart {
        int slot;
        category::id c;
        int perGroup;
        bool tone;
    };
    const GroupPart parts[] = {
        {4, category::Tone, 1, true},     {5, category::Timbre, 1, true},
        {6, category::Voice, 4, true},    {7, category::Wave, 64, true},
        {8, category::Drum, 1, false},    {9, category::Inst, 128, false},
        {10, category::Wave, 128, false},
    };
    for (const GroupPart& part : parts) {
        const std::uint32_t groups = part.tone ? T : D;
        putSlot(dir, part.slot, groups, here());
        for (std::uint32_t g = 0; g < groups; ++g) {
            const int groupId = part.tone ? static_cast<int>(g) : 100 + static_cast<int>(g);
            for (int k = 0; k < part.perGroup; ++k) {
                const ByteVector item =
                    itemContent(part.c, groupId, k, files::fixedItemSize(part.c));
                area.insert(area.end(), item.begin(), item.end());
            }
        }
    }

    for (std::size_t i = 0; i < 10; ++i) {
        std::string name = songNames_[i];
        name.resize(8, ' ');
        std::copy(name.begin(), name.end(),
                  dir.begin() + static_cast<std::ptrdiff_t>(d::songNames + 8 * i));
        songOffsets_[i] = here();
        putEntry(dir, d::songEntries + 8 * i, songSizes_[i], here());
        const ByteVector bytes = itemContent(category::SMF, -1, static_cast<int>(i), songSizes_[i]);
        area.insert(area.end(), bytes.begin(), bytes.end());
    }
    for (std::size_t i = 0; i < 8; ++i) {
        putEntry(dir, d::rhythmEntries + 8 * i, rhythmSizes_[i], here());
        ByteVector bytes = itemContent(category::Rhythm, -1, static_cast<int>(i), rhythmSizes_[i]);
        std::string name = rhythmNames_[i];
        name.resize(8, ' ');
        for (std::size_t k = 0; k < 8 && 2 + k < bytes.size(); ++k)
            bytes[2 + k] = static_cast<std::uint8_t>(name[k]);
        area.insert(area.end(), bytes.begin(), bytes.end());
    }

    // Wave data, one run per group; the index tables point into each run.
    std::uint64_t totalWave = 0;
    auto appendWaveData = [&](const std::vector<std::uint32_t>& sizes, int groupId,
                              std::uint32_t indexAt) -> std::pair<std::uint32_t, std::uint32_t> {
        const std::uint32_t base = here();
        std::uint32_t running = 0;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const std::size_t entry = indexAt - d::size + 8 * i;
            if (sizes[i] == 0) {
                writeBigEndian(area, entry, 0xFFFFFFFFu, 4);
                writeBigEndian(area, entry + 4, 0, 4);
                continue;
            }
            writeBigEndian(area, entry, running, 4);
            writeBigEndian(area, entry + 4, sizes[i], 4);
            const ByteVector bytes =
                itemContent(category::WaveData, groupId, static_cast<int>(i), sizes[i]);
            area.insert(area.end(), bytes.begin(), bytes.end());
            running += sizes[i];
        }
        totalWave += running;
        return {running, base};
    };
    for (std::size_t g = 0; g < 10; ++g)
        putEntry(dir, d::toneWaveEntries + 8 * g, 0, here());
    for (std::uint32_t g = 0; g < T; ++g) {
        auto [size, base] =
            appendWaveData(toneGroups_[g], static_cast<int>(g), toneIndex + 512 * g);
        if (g < 10)
            putEntry(dir, d::toneWaveEntries + 8 * g, size, base);
    }
    putEntry(dir, d::drumWaveEntry, 0, here());
    for (std::uint32_t g = 0; g < D; ++g) {
        auto [size, base] =
            appendWaveData(drumGroups_[g], 100 + static_cast<int>(g), drumIndex + 1024 * g);
        if (g == 0)
            putEntry(dir, d::drumWaveEntry, size, base);
    }
    writeBigEndian(dir, d::totalWaveSize, static_cast<std::uint32_t>(totalWave), 4);

    std::string signature(files::directorySignature);
    signature.resize(d::signatureField, ' ');
    std::copy(signature.begin(), signature.end(), dir.begin() + d::signature);

    ByteVector file = files::makeContainerHeader(0x12345678, category::Package, 0, type_);
    file.insert(file.end(), dir.begin(), dir.end());
    file.insert(file.end(), area.begin(), area.end());
    return file;
}

} // namespace qel::test
