#include "model/VdfDataCategory.h"

#include "core/Exception.h"
#include "model/ReceivedFilePath.h"
#include "model/VdfData.h"
#include "platform/files/FileBytes.h"
#include "platform/files/SafeFileName.h"

namespace qel {

std::string entryNameFromPath(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    // A file made from a received item has the item's bytes of 0x80 and above
    // as UTF-8 characters in its name, and " (2)" when its name was taken by
    // another item: the item is sent back with its own bytes.
    name = nameFromFileName(withoutCopyNumber(name));
    if (name.size() < 8)
        name.append(8 - name.size(), ' ');
    return name;
}

const std::string& VdfUnnamedDataCategory::entryName(const VdfData& item) {
    name_ = entryNameFromPath(item.path());
    return name_;
}

const std::string& VdfNamedDataCategory::entryName(const VdfData& item) {
    platform::FileBytes file(item.path());
    if (!file.isOpen())
        throw Exception(file.failureText());
    std::vector<std::uint8_t> bytes;
    if (!file.read(64 + static_cast<std::uint64_t>(nameOffset()), 8, bytes))
        throw Exception("Illegal Format");
    name_.assign(bytes.begin(), bytes.end());
    return name_;
}

} // namespace qel
