#pragma once

// The light record the PC file list (and the card list) keeps per file, so
// that the lists need not hold whole items.

#include "core/Catalogue.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qel {

class VdfData;

struct VdfDataAttribute {
    category::id category = category::Command;
    std::string name; // the entry name
    std::uint32_t size = 0;
    std::string path;
    std::uint32_t date = 0; // modification time, packed DOS date and time

    VdfDataAttribute() = default;
    VdfDataAttribute(category::id category, std::string name, std::uint32_t size, std::string path,
                     std::uint32_t date);

    // The record of a loaded PC file: its category, name, size and path, and
    // the file's modification time read now.
    explicit VdfDataAttribute(const VdfData& item);
};

using VdfDataAttributePtr = std::shared_ptr<VdfDataAttribute>;

// The records of the files of one data type.
using VdfDataAttributeList = std::vector<VdfDataAttributePtr>;

// One list per type::id (0 to 10); a file is filed under its item's type.
using VdfDataAttributeLists = std::array<VdfDataAttributeList, type::count>;

} // namespace qel
