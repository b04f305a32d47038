// The file image of an item received from the keyboard: its path in the data
// directory, its container header and, for a tone or drum group, the package
// directory, inst flag table and wave index table that save() writes in front
// of the group's item bytes.

#include "model/BigEndian.h"
#include "model/ContainerLayout.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "platform/files/SafeFileName.h"

#include <algorithm>

namespace qel {

namespace {

// Items of category `c` whose size is not 0.
std::uint32_t loadedCount(const VdfDataChildren& children, category::id c) {
    auto found = children.find(c);
    if (found == children.end())
        return 0;
    return static_cast<std::uint32_t>(
        std::count_if(found->second.begin(), found->second.end(),
                      [](const VdfDataPtr& item) { return item->size() != 0; }));
}

const std::vector<VdfDataPtr>& itemsOf(const VdfDataChildren& children, category::id c) {
    static const std::vector<VdfDataPtr> none;
    auto found = children.find(c);
    return found == children.end() ? none : found->second;
}

// The 512-byte package directory of a tone group (type 3) or drum group (type 4).
ByteVector groupDirectory(const VdfDataChildren& children, type::id type) {
    using namespace files;
    ByteVector dir(directory::size, 0x00);
    const std::uint32_t tones = loadedCount(children, category::Tone);
    const std::uint32_t drums = loadedCount(children, category::Drum);

    // Data offsets count from the end of the header: directory, inst flags, index tables.
    writeBigEndian(dir, directory::instFlagsOffset, directory::size, 4);
    std::uint32_t m = directory::size + instFlagCount;
    const std::uint32_t toneIndexBytes = tones * wavesPerToneGroup * waveIndexEntrySize;
    const std::uint32_t drumIndexBytes = drums * wavesPerDrumGroup * waveIndexEntrySize;
    writeBigEndian(dir, directory::toneIndexSize, toneIndexBytes, 4);
    writeBigEndian(dir, directory::toneIndexOffset, m, 4);
    m += toneIndexBytes;
    writeBigEndian(dir, directory::drumIndexSize, drumIndexBytes, 4);
    writeBigEndian(dir, directory::drumIndexOffset, m, 4);
    m += drumIndexBytes;

    // Slots 4-10 in the order save() writes the items; slots 0-3 stay zero.
    auto slot = [&](Slot s, std::uint32_t count, std::uint32_t bytes) {
        const std::size_t at = static_cast<std::size_t>(s) * 6;
        writeBigEndian(dir, at, count, 2);
        writeBigEndian(dir, at + 2, m, 4);
        m += bytes;
    };
    auto bytesOf = [&](category::id c) { return loadedCount(children, c) * fixedItemSize(c); };
    const std::uint32_t waveBlocks = bytesOf(category::Wave);
    slot(Slot::GroupTones, tones, bytesOf(category::Tone));
    slot(Slot::GroupTimbres, tones, bytesOf(category::Timbre));
    slot(Slot::GroupVoices, tones, bytesOf(category::Voice));
    slot(Slot::GroupToneWaves, tones, waveBlocks * tones);
    slot(Slot::GroupDrums, drums, bytesOf(category::Drum));
    slot(Slot::GroupInsts, drums, bytesOf(category::Inst));
    slot(Slot::GroupDrumWaves, drums, waveBlocks * drums);

    // No songs or rhythms: names of spaces, empty entries at the end of the waves.
    std::fill_n(dir.begin() + directory::songNames, directory::songCount * 8, ' ');
    for (int i = 0; i < directory::songCount; ++i)
        writeBigEndian(dir, directory::songEntries + 8 * i + 4, m, 4);
    for (int i = 0; i < directory::rhythmCount; ++i)
        writeBigEndian(dir, directory::rhythmEntries + 8 * i + 4, m, 4);

    std::uint32_t waveBytes = 0;
    for (const VdfDataPtr& item : itemsOf(children, category::WaveData))
        waveBytes += item->size();
    if (type == type::UserToneWithWave || type == type::UserDrumWithWave) {
        for (int i = 0; i < directory::toneGroupWaveCount; ++i)
            writeBigEndian(dir, directory::toneWaveEntries + 8 * i + 4, m, 4);
        if (type == type::UserToneWithWave) {
            writeBigEndian(dir, directory::toneWaveEntries, waveBytes, 4);
            writeBigEndian(dir, directory::drumWaveEntry + 4, m + waveBytes, 4);
        } else {
            writeBigEndian(dir, directory::drumWaveEntry, waveBytes, 4);
            writeBigEndian(dir, directory::drumWaveEntry + 4, m, 4);
        }
    }
    writeBigEndian(dir, directory::totalWaveSize, waveBytes, 4);

    std::fill_n(dir.begin() + directory::signature, directory::signatureField, ' ');
    std::copy(directorySignature.begin(), directorySignature.end(),
              dir.begin() + directory::signature);
    return dir;
}

// One byte per inst, 1 where the inst plays a user wave (its wave reference,
// bytes 2-3 without the two flag bits, points into the user wave numbers).
// Always 128 bytes, the size the directory reserves for it.
ByteVector instFlags(const VdfDataChildren& children) {
    ByteVector flags(files::instFlagCount, 0x00);
    if (itemsOf(children, category::Drum).empty())
        return flags;
    const auto& insts = itemsOf(children, category::Inst);
    constexpr unsigned firstUserWave = groupLayout::base(type::UserDrumWithWave, category::Wave);
    for (std::size_t i = 0; i < insts.size() && i < flags.size(); ++i) {
        const ByteVector& data = insts[i]->data();
        if (data.size() >= 4 && ((data[2] & 0x3Fu) << 8 | data[3]) >= firstUserWave)
            flags[i] = 1;
    }
    return flags;
}

// One entry per wave data item: its offset from the group's wave base and its
// size, or all ones and 0 for an empty one.
ByteVector waveIndex(const VdfDataChildren& children) {
    ByteVector index;
    std::uint32_t offset = 0;
    for (const VdfDataPtr& item : itemsOf(children, category::WaveData)) {
        if (item->size() != 0) {
            files::appendBigEndian(index, offset, 4);
            files::appendBigEndian(index, item->size(), 4);
            offset += item->size();
        } else {
            files::appendBigEndian(index, files::absentWave, 4);
            files::appendBigEndian(index, 0, 4);
        }
    }
    return index;
}

} // namespace

VdfData::VdfData(const std::string& directory, const std::shared_ptr<KbdData>& item) {
    const std::string extension = item->category() == category::SMF ? ".mid" : ".vdf";
    path_ = directory + safeFileName(item->name() + extension);

    if (item->isComposite()) {
        for (auto& [c, list] : item->children())
            for (const KbdDataPtr& child : list)
                children_[c].push_back(std::make_shared<VdfData>(directory, child));
    }

    category_ = item->category();
    type_ = item->type();
    name_ = item->name();
    size_ = static_cast<std::uint32_t>(item->size());
    const bool insideGroupOrPackage = (type_ == type::UserToneWithWave ||
                                       type_ == type::UserDrumWithWave || type_ == type::Package) &&
                                      !item->isComposite();
    if (category_ != category::SMF && !insideGroupOrPackage)
        header_ = files::makeContainerHeader(size_, category_, item->loadedChildCount(), type_);

    if (item->isComposite() && type_ != type::Package) {
        prefix_ = groupDirectory(children_, type_);
        const ByteVector flags = instFlags(children_);
        prefix_.insert(prefix_.end(), flags.begin(), flags.end());
        const ByteVector index = waveIndex(children_);
        prefix_.insert(prefix_.end(), index.begin(), index.end());
    }

    data_ = std::move(item->data());
    item->data().clear();
    if (!item->isComposite())
        size_ = static_cast<std::uint32_t>(data_.size());
}

} // namespace qel
