#include "model/CardData.h"

#include "core/Exception.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "model/VdfSongConversion.h"
#include "platform/files/AtomicFileWriter.h"
#include "platform/files/DosFileTime.h"
#include "platform/files/FileBytes.h"
#include "platform/files/SafeFileName.h"
#include "platform/files/TemporaryFiles.h"

#include <algorithm>

namespace qel {

CardData::CardData(const std::string& path) : path_(path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = fileName.rfind('.');
    name_ = fileName.substr(0, dot);
    if (dot != std::string::npos)
        extension_ = fileName.substr(dot);
    std::transform(extension_.begin(), extension_.end(), extension_.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    if (const auto type = typeOfExactExtension(extension_)) {
        hasType_ = true;
        type_ = *type;
        category_ = categoryOf(*type);
    }
    // A card file larger than 4 GiB cannot come from this program; its size
    // is shown clipped rather than wrapped.
    const auto length = platform::fileSize(path);
    size_ = length ? static_cast<std::uint32_t>(std::min<std::uint64_t>(*length, 0xFFFFFFFFu)) : 0;
}

CardData::CardData(const std::string& cardFolder, const VdfData& source)
    : category_(source.category()), type_(source.type()), hasType_(source.type() < type::count) {
    if (!hasType_)
        throw Exception("Illegal Format");
    extension_ = typeExtensions[type_];
    // The extension ends the file name, so the name's space padding stays.
    const std::string fileName = safeFileName(source.name() + extension_);
    name_ = fileName.substr(0, fileName.size() - extension_.size());
    path_ = cardFolder + fileName;
    if (category_ == category::SMF) {
        data_ = convertSong(source.path());
    } else {
        platform::FileBytes file(source.path());
        if (!file.isOpen())
            throw Exception(file.failureText());
        if (file.size() < VdfData::headerSize)
            throw Exception("Illegal Format");
        // A package holds many items; only a single item must fit the data area.
        if (category_ != category::Package &&
            file.size() - VdfData::headerSize > std::uint64_t{KbdData::maximumItemSize})
            throw Exception("Illegal Format");
        if (!file.read(VdfData::headerSize, file.size() - VdfData::headerSize, data_))
            throw Exception("Can't open the file: " + source.path());
    }
    size_ = static_cast<std::uint32_t>(data_.size());
}

void CardData::write() {
    platform::removeLeftoverTemporaries(path_.substr(0, path_.find_last_of('/') + 1));
    platform::AtomicFileWriter writer(path_);
    writer.write(data_);
    if (!writer.commit())
        throw Exception(writer.failureText());
    data_.clear();
}

std::uint32_t CardData::fileTime() const {
    return platform::dosFileTime(path_);
}

} // namespace qel
