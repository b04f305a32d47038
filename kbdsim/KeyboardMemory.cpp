#include "kbdsim/KeyboardMemory.h"

#include "core/Catalogue.h"
#include "kbdsim/SlotLayout.h"

#include <algorithm>
#include <array>

namespace kbdsim {
namespace {

const std::string blankName(layout::nameLength, ' ');

// Every category that has user slots, with the widest range of numbers that
// could hold one; isUserSlot() picks the real ones.
struct Scan {
    std::uint16_t category;
    std::uint16_t first;
    std::uint16_t last;
};
constexpr std::array<Scan, 13> userSlotScan{{
    {qel::category::Tone, 750, 869},
    {qel::category::Timbre, 520, 539},
    {qel::category::Drum, 17, 20},
    {qel::category::Voice, 950, 1029},
    {qel::category::Inst, 240, 751},
    {qel::category::Wave, 800, 2591},
    {qel::category::WaveData, 800, 2591},
    {qel::category::DSP, 100, 199},
    {qel::category::Song, 0, 4},
    {qel::category::Rhythm, 140, 155},
    {qel::category::Registration, 32, 63},
    {qel::category::DrawbarOrgan, 100, 199},
    {qel::category::SMF, 0, 199},
}};

// Song and SMF keep their names apart from their data; so does a Rhythm, for
// the time it is empty or too short to carry its name.
bool keepsNameApart(std::uint16_t category) {
    return category == qel::category::Song || category == qel::category::SMF ||
           category == qel::category::Rhythm;
}

} // namespace

KeyboardMemory::KeyboardMemory() {
    for (const Scan& scan : userSlotScan)
        for (unsigned number = scan.first; number <= scan.last; ++number) {
            const auto n = static_cast<std::uint16_t>(number);
            if (!layout::isUserSlot(scan.category, n))
                continue;
            Slot slot{initialBlock(scan.category, n), {}};
            if (keepsNameApart(scan.category))
                slot.keptName = blankName;
            slots_.emplace(key(scan.category, n), std::move(slot));
        }
}

Bytes KeyboardMemory::initialBlock(std::uint16_t category, std::uint16_t number) {
    Bytes block(layout::fixedSize(category), 0);
    if (block.empty())
        return block;
    if (const auto offset = layout::nameOffsetInData(category))
        std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(*offset), layout::nameLength, ' ');
    if (layout::groupOf(category, number))
        layout::writeGroupReferences(category, number, block);
    return block;
}

KeyboardMemory::Slot* KeyboardMemory::find(std::uint16_t category, std::uint16_t number) {
    const auto it = slots_.find(key(category, number));
    return it == slots_.end() ? nullptr : &it->second;
}

const KeyboardMemory::Slot* KeyboardMemory::find(std::uint16_t category,
                                                 std::uint16_t number) const {
    const auto it = slots_.find(key(category, number));
    return it == slots_.end() ? nullptr : &it->second;
}

const Bytes* KeyboardMemory::data(std::uint16_t category, std::uint16_t number) const {
    const Slot* slot = find(category, number);
    return slot ? &slot->data : nullptr;
}

std::string KeyboardMemory::name(std::uint16_t category, std::uint16_t number) const {
    const Slot* slot = find(category, number);
    if (!slot || !layout::nameParameter(category))
        return {};
    const auto offset = layout::nameOffsetInData(category);
    if (!offset || slot->data.size() < *offset + layout::nameLength)
        return keepsNameApart(category) ? slot->keptName : blankName;
    const auto first = slot->data.begin() + static_cast<std::ptrdiff_t>(*offset);
    return std::string(first, first + layout::nameLength);
}

bool KeyboardMemory::setName(std::uint16_t category, std::uint16_t number,
                             const std::string& name) {
    if (category != qel::category::Rhythm && category != qel::category::SMF)
        return false;
    Slot* slot = find(category, number);
    if (!slot)
        return false;
    std::string fitted = name.substr(0, layout::nameLength);
    fitted.resize(layout::nameLength, ' ');
    slot->keptName = fitted;
    // A rhythm also carries its name in its data: both must agree.
    const auto offset = layout::nameOffsetInData(category);
    if (offset && slot->data.size() >= *offset + layout::nameLength)
        std::copy(fitted.begin(), fitted.end(),
                  slot->data.begin() + static_cast<std::ptrdiff_t>(*offset));
    return true;
}

KeyboardMemory::StoreResult KeyboardMemory::canStore(std::uint16_t category, std::uint16_t number,
                                                     std::size_t size) const {
    const Slot* slot = find(category, number);
    if (!slot)
        return StoreResult::NoUserSlot;
    if (!layout::isVariableSize(category))
        return size == layout::fixedSize(category) ? StoreResult::Stored : StoreResult::WrongSize;
    const std::size_t free = category == qel::category::Song ? freeSongMemory() : freeDataMemory();
    return size <= free + slot->data.size() ? StoreResult::Stored : StoreResult::DoesNotFit;
}

KeyboardMemory::StoreResult KeyboardMemory::store(std::uint16_t category, std::uint16_t number,
                                                  Bytes bytes) {
    const StoreResult result = canStore(category, number, bytes.size());
    if (result != StoreResult::Stored)
        return result;
    Slot& slot = *find(category, number);
    if (layout::isVariableSize(category)) {
        std::uint32_t& used = category == qel::category::Song ? usedSong_ : usedData_;
        used = static_cast<std::uint32_t>(used - slot.data.size() + bytes.size());
    }
    slot.data = std::move(bytes);
    return StoreResult::Stored;
}

bool KeyboardMemory::clear(std::uint16_t category, std::uint16_t number) {
    Slot* slot = find(category, number);
    if (!slot)
        return false;
    if (layout::isVariableSize(category)) {
        std::uint32_t& used = category == qel::category::Song ? usedSong_ : usedData_;
        used = static_cast<std::uint32_t>(used - slot->data.size());
        slot->data.clear();
        slot->data.shrink_to_fit();
    } else {
        slot->data = initialBlock(category, number);
    }
    if (keepsNameApart(category))
        slot->keptName = blankName;
    return true;
}

bool KeyboardMemory::clearToneGroup(std::uint16_t group) {
    if (group < layout::firstToneGroup || group >= layout::firstToneGroup + layout::toneGroupCount)
        return false;
    for (const layout::ChildRange& range : layout::toneGroupChildren(group))
        for (unsigned i = 0; i < range.count; ++i)
            clear(range.category, static_cast<std::uint16_t>(range.first + i));
    return true;
}

bool KeyboardMemory::clearDrumGroup(std::uint16_t group) {
    if (group < layout::firstDrumGroup || group >= layout::firstDrumGroup + layout::drumGroupCount)
        return false;
    for (const layout::ChildRange& range : layout::drumGroupChildren(group))
        for (unsigned i = 0; i < range.count; ++i)
            clear(range.category, static_cast<std::uint16_t>(range.first + i));
    return true;
}

std::uint32_t KeyboardMemory::freeSongMemory() const {
    return songAreaSize - usedSong_;
}

std::uint32_t KeyboardMemory::freeDataMemory() const {
    return dataAreaSize - usedData_;
}

} // namespace kbdsim
