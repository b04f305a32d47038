// Reading a PC file's item data before it is sent: VdfData::loadForSending().

#include "core/Exception.h"
#include "model/KbdData.h"
#include "model/PackageReader.h"
#include "model/VdfData.h"
#include "model/VdfSongConversion.h"
#include "platform/files/FileBytes.h"

namespace qel {

void VdfData::loadForSending() {
    data_.clear();
    if (category_ == category::SMF && type_ != type::Package)
        readSong();
    else if (category_ == category::Package)
        readPackage();
    else
        readSingleItem();
}

void VdfData::readSong() {
    data_ = convertSong(path_);
    if (data_.size() > 0xFFFFFFFFu)
        throw Exception("Illegal Format");
    size_ = static_cast<std::uint32_t>(data_.size());
    // Items travel in 16-bit units; size keeps the length of the song.
    if (data_.size() % 2 != 0)
        data_.push_back(0x00);
}

void VdfData::readPackage() {
    children_ = files::PackageReader(path_, directoryBlock_, type_).read();
    if (type_ == type::Package)
        return;
    // A tone group or drum group file holds one group: its items become the
    // file's items. Without a group there is nothing to keep.
    const auto groups = children_.find(category::Package);
    if (groups == children_.end() || groups->second.empty()) {
        children_.clear();
        return;
    }
    VdfDataChildren items = groups->second.front()->children();
    children_ = std::move(items);
}

void VdfData::readSingleItem() {
    platform::FileBytes file(path_);
    if (!file.isOpen())
        throw Exception(file.failureText());
    // A song inside a package's file form has no header; everything else does.
    const std::uint64_t start = category_ == category::SMF ? 0 : headerSize;
    // The size comes from the header: nothing larger than the keyboard's data
    // area is read into memory.
    if (size_ > std::uint32_t{KbdData::maximumItemSize} || !file.read(start, size_, data_))
        throw Exception("Illegal Format");
}

std::uint64_t VdfData::bytesToSend() const {
    std::uint64_t total = data_.size();
    for (const auto& [category, items] : children_)
        for (const VdfDataPtr& item : items)
            total += item->bytesToSend();
    return total;
}

} // namespace qel
