// Building a keyboard item to send from a PC file item: the children of tone
// groups, drum groups and packages are numbered for the slots they will occupy.

#include "core/KeyboardTables.h"
#include "model/KbdData.h"
#include "model/VdfData.h"

namespace qel {

KbdData::KbdData(std::uint16_t number, std::uint16_t position, VdfData& source)
    : waveFlag_(source.waveFlag()), category_(source.category()), type_(source.type()),
      number_(number), position_(position), name_(source.name()),
      size_(static_cast<std::int32_t>(source.size())) {
    if (isComposite())
        buildChildrenForSending(source);
    setData(source.data());
}

void KbdData::buildChildrenForSending(VdfData& source) {
    if (type_ == type::UserToneWithWave || type_ == type::UserDrumWithWave)
        buildGroupChildrenForSending(source);
    else if (type_ == type::Package)
        buildPackageChildrenForSending(source);
}

void KbdData::buildGroupChildrenForSending(VdfData& source) {
    const category::id mainCategory =
        type_ == type::UserToneWithWave ? category::Tone : category::Drum;
    static const std::vector<VdfDataPtr> noInsts;
    const auto found = source.children().find(category::Inst);
    const auto& insts = found == source.children().end() ? noInsts : found->second;
    for (auto& [c, items] : source.children()) {
        const groupLayout::Row* row = groupLayout::find(type_, c);
        // Categories outside the group's layout have step 0 and base 0.
        const std::uint16_t first = row ? groupLayout::firstNumber(*row, type_, number_) : 0;
        const std::uint16_t firstPosition = c == mainCategory ? position_ : 0;
        auto& list = children_[c];
        for (std::size_t i = 0; i < items.size(); ++i) {
            auto child =
                std::make_shared<KbdData>(static_cast<std::uint16_t>(first + i),
                                          static_cast<std::uint16_t>(firstPosition + i), *items[i]);
            // A drum's wave is sent only when its inst plays a user wave; a wave
            // without an inst of the same index is sent as it is.
            if (type_ == type::UserDrumWithWave && c == category::Wave && i < insts.size() &&
                !insts[i]->waveFlag())
                child->setSkipSend(true);
            list.push_back(std::move(child));
        }
    }
}

void KbdData::buildPackageChildrenForSending(VdfData& source) {
    for (auto& [c, items] : source.children()) {
        auto& list = children_[c];
        if (c == category::Package) {
            kbdSlots::PackageRange tone = kbdSlots::packageToneGroups;
            kbdSlots::PackageRange drum = kbdSlots::packageDrumGroups;
            for (const VdfDataPtr& item : items) {
                kbdSlots::PackageRange* range = item->type() == type::UserToneWithWave   ? &tone
                                                : item->type() == type::UserDrumWithWave ? &drum
                                                                                         : nullptr;
                if (range == nullptr)
                    continue;
                list.push_back(
                    std::make_shared<KbdData>(range->firstNumber++, range->firstPosition++, *item));
            }
            continue;
        }
        kbdSlots::PackageRange range = kbdSlots::packageRange(c);
        for (const VdfDataPtr& item : items)
            list.push_back(
                std::make_shared<KbdData>(range.firstNumber++, range.firstPosition++, *item));
    }
}

} // namespace qel
