#include "model/VdfData.h"

#include "core/Exception.h"
#include "model/VdfCategories.h"
#include "platform/files/DosFileTime.h"

namespace qel {

VdfData::VdfData(category::id category, type::id type)
    : category_(category), type_(type),
      waveFlag_(type == type::UserToneWithWave || type == type::UserDrumWithWave) {}

std::uint32_t VdfData::fileTime() const {
    return platform::dosFileTime(path_);
}

void VdfData::attachCategory() {
    categoryObject_ = makeCategory(category_);
    if (!categoryObject_)
        throw Exception("Illegal Format");
    name_ = categoryObject_->entryName(*this);
    category_ = categoryObject_->category();
}

} // namespace qel
