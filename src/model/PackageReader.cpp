#include "model/PackageReader.h"

#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "model/BigEndian.h"

namespace qel::files {
namespace {

std::uint64_t slotStart(const PackageDirectory& directory, Slot slot) {
    return directory.slotOffset(slot);
}

// The directory slot that holds the blocks of category `c` of the groups of type `t`.
Slot groupSlot(type::id t, category::id c) {
    switch (c) {
    case category::Tone:
        return Slot::GroupTones;
    case category::Timbre:
        return Slot::GroupTimbres;
    case category::Voice:
        return Slot::GroupVoices;
    case category::Drum:
        return Slot::GroupDrums;
    case category::Inst:
        return Slot::GroupInsts;
    case category::Wave:
    default:
        return t == type::UserDrumWithWave ? Slot::GroupDrumWaves : Slot::GroupToneWaves;
    }
}

// Sum of the sizes of a group's wave data items.
std::uint32_t waveDataSize(const std::vector<VdfDataPtr>& items) {
    std::uint64_t sum = 0;
    for (const VdfDataPtr& item : items)
        sum += item->size();
    // Each item lies inside the file, so the sum is bounded by the file size;
    // a file beyond 4 GiB cannot be described by 32-bit offsets anyway.
    if (sum > 0xFFFFFFFFu)
        throw Exception("Illegal Format");
    return static_cast<std::uint32_t>(sum);
}

} // namespace

PackageReader::PackageReader(const std::string& path, const ByteVector& directoryBlock,
                             type::id type)
    : file_(path), directory_(directoryBlock), type_(type) {
    if (!file_.isOpen())
        throw Exception(file_.failureText());
}

void PackageReader::readAt(std::uint64_t offset, std::uint64_t count, ByteVector& out) {
    if (!file_.read(VdfData::headerSize + offset, count, out))
        throw Exception("Illegal Format");
}

VdfDataChildren PackageReader::read() {
    const int toneGroups = directory_.slotCount(Slot::GroupTones);
    const int drumGroups = directory_.slotCount(Slot::GroupDrums);
    // The directory has wave data entries for 10 tone groups and 1 drum group;
    // further groups would take their wave base from unrelated fields.
    if (toneGroups > directory::toneGroupWaveCount || drumGroups > directory::drumGroupWaveCount)
        throw Exception("Illegal Format");

    VdfDataChildren children;
    readFixedItems(category::Registration, type_, 4u * directory_.slotCount(Slot::Registrations),
                   slotStart(directory_, Slot::Registrations), children[category::Registration]);
    readFixedItems(category::DSP, type_, directory_.slotCount(Slot::Dsps),
                   slotStart(directory_, Slot::Dsps), children[category::DSP]);
    readFixedItems(category::DrawbarOrgan, type_, directory_.slotCount(Slot::DrawbarOrgans),
                   slotStart(directory_, Slot::DrawbarOrgans), children[category::DrawbarOrgan]);
    readFixedItems(category::Tone, type_, directory_.slotCount(Slot::Tones),
                   slotStart(directory_, Slot::Tones), children[category::Tone]);

    auto& songs = children[category::SMF];
    for (int i = 0; i < directory::songCount; ++i) {
        auto song = std::make_shared<VdfData>(category::SMF, type_);
        const SizedEntry entry = directory_.songEntry(i);
        readItemBytes(*song, entry.offset, entry.size);
        song->setName(directory_.songName(i));
        songs.push_back(song);
    }

    auto& rhythms = children[category::Rhythm];
    for (int i = 0; i < directory::rhythmCount; ++i) {
        auto rhythm = std::make_shared<VdfData>(category::Rhythm, type_);
        const SizedEntry entry = directory_.rhythmEntry(i);
        readItemBytes(*rhythm, entry.offset, entry.size);
        if (entry.size != 0) {
            // The rhythm's name lies inside its data.
            ByteVector name;
            readAt(std::uint64_t{entry.offset} + *nameOffsetInData(category::Rhythm), 8, name);
            rhythm->setName(std::string(name.begin(), name.end()));
        }
        rhythms.push_back(rhythm);
    }

    auto& groups = children[category::Package];
    std::uint64_t toneIndex = directory_.toneIndexOffset();
    for (int g = 0; g < toneGroups; ++g, toneIndex += wavesPerToneGroup * waveIndexEntrySize)
        groups.push_back(
            readGroup(type::UserToneWithWave, g, toneIndex, directory_.toneWaveEntry(g).offset));
    std::uint64_t drumIndex = directory_.drumIndexOffset();
    for (int g = 0; g < drumGroups; ++g, drumIndex += wavesPerDrumGroup * waveIndexEntrySize)
        groups.push_back(
            readGroup(type::UserDrumWithWave, g, drumIndex, directory_.drumWaveEntry().offset));
    if (groups.empty())
        children.erase(category::Package);
    return children;
}

VdfDataPtr PackageReader::readGroup(type::id t, int g, std::uint64_t indexTable,
                                    std::uint64_t waveBase) {
    auto group = std::make_shared<VdfData>(category::Package, t);
    auto& items = group->children();
    // Group g's blocks of a category follow those of the groups before it in its slot.
    for (const groupLayout::Row& row : groupLayout::rows(t)) {
        auto& list = items[row.category];
        if (row.category == category::WaveData) {
            readWaveData(row.count, t, indexTable, waveBase, list);
            continue;
        }
        const std::uint64_t first = static_cast<std::uint64_t>(g) * row.count;
        readFixedItems(row.category, t, row.count,
                       slotStart(directory_, groupSlot(t, row.category)) +
                           first * fixedItemSize(row.category),
                       list);
    }
    group->setSize(waveDataSize(items[category::WaveData]));
    return group;
}

ByteVector PackageReader::readInstFlags() {
    ByteVector flags;
    readAt(directory_.instFlagsOffset(), instFlagCount, flags);
    return flags;
}

void PackageReader::readFixedItems(category::id c, type::id t, std::uint32_t count,
                                   std::uint64_t offset, std::vector<VdfDataPtr>& items) {
    items.clear();
    if (count == 0)
        return; // an empty slot's offset means nothing and is not checked
    const std::uint64_t itemSize = fixedItemSize(c);
    // Check the whole run first, so that a huge count in a damaged directory
    // is refused before anything is allocated for it.
    if (!file_.contains(VdfData::headerSize + offset, itemSize * count))
        throw Exception("Illegal Format");
    ByteVector instFlags;
    if (c == category::Inst)
        instFlags = readInstFlags();
    const bool inGroup = t == type::UserToneWithWave || t == type::UserDrumWithWave;
    for (std::uint32_t k = 0; k < count; ++k) {
        auto item = std::make_shared<VdfData>(c, t);
        readAt(offset + k * itemSize, itemSize, item->data());
        item->setSize(static_cast<std::uint32_t>(item->data().size()));
        if (inGroup)
            item->setWaveFlag(c != category::Inst || (k < instFlags.size() && instFlags[k] == 1));
        items.push_back(item);
    }
}

void PackageReader::readItemBytes(VdfData& item, std::uint64_t offset, std::uint32_t size) {
    if (size == 0)
        return;
    readAt(offset, size, item.data());
    // Items travel in 16-bit units: an odd item gets one zero byte.
    if (size % 2 != 0)
        item.data().push_back(0x00);
    item.setSize(static_cast<std::uint32_t>(item.data().size()));
}

void PackageReader::readWaveData(int count, type::id t, std::uint64_t indexTable,
                                 std::uint64_t waveBase, std::vector<VdfDataPtr>& items) {
    items.clear();
    ByteVector index;
    readAt(indexTable, static_cast<std::uint64_t>(count) * waveIndexEntrySize, index);
    for (int i = 0; i < count; ++i) {
        auto item = std::make_shared<VdfData>(category::WaveData, t);
        const std::size_t at = static_cast<std::size_t>(i) * waveIndexEntrySize;
        const std::uint32_t offset = readBigEndian(index, at, 4);
        const std::uint32_t size = readBigEndian(index, at + 4, 4);
        if (offset != absentWave)
            readItemBytes(*item, waveBase + offset, size);
        items.push_back(item);
    }
}

} // namespace qel::files
