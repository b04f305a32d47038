#include "model/VdfDataAttribute.h"

#include "model/VdfData.h"

#include <utility>

namespace qel {

VdfDataAttribute::VdfDataAttribute(category::id category, std::string name, std::uint32_t size,
                                   std::string path, std::uint32_t date)
    : category(category), name(std::move(name)), size(size), path(std::move(path)), date(date) {}

VdfDataAttribute::VdfDataAttribute(const VdfData& item)
    : VdfDataAttribute(item.category(), item.name(), item.size(), item.path(), item.fileTime()) {}

} // namespace qel
