#include "model/KeyboardMemoryNeed.h"

#include "core/KeyboardTables.h"
#include "model/KbdData.h"

namespace qel {

namespace {

bool inDataMemory(category::id c) {
    return c == category::WaveData || c == category::Rhythm || c == category::SMF;
}

bool fits(std::uint64_t need, std::int64_t free) {
    return free >= 0 && need <= static_cast<std::uint64_t>(free);
}

} // namespace

KeyboardMemoryNeed memoryNeeded(const KbdData& item) {
    KeyboardMemoryNeed need;
    if (item.isComposite()) {
        // A composite item of size 0 sends nothing (KbdData::send()).
        if (item.size() == 0)
            return need;
        for (const auto& [c, children] : item.children())
            for (const KbdDataPtr& child : children)
                need += memoryNeeded(*child);
        return need;
    }
    if (item.skipSend())
        return need;
    // An odd last byte travels, and is kept, with a padding byte.
    const std::uint64_t sent = item.data().size() + item.data().size() % 2;
    if (inDataMemory(item.category()))
        need.data = sent;
    else if (item.category() == category::Song)
        need.song = sent;
    return need;
}

KeyboardMemoryNeed memoryHeld(type::id type, const KbdDataAttribute& slot) {
    KeyboardMemoryNeed held;
    if (!slot.known || slot.size <= 0 || !command::deleteParameter(type))
        return held;
    // The size the keyboard reports is what it holds.
    const auto size = static_cast<std::uint64_t>(slot.size);
    if (type == type::Song)
        held.song = size;
    else
        held.data = size;
    return held;
}

bool fitsInto(const KeyboardMemoryNeed& need, std::int64_t freeData, std::int64_t freeSong) {
    return fits(need.data, freeData) && fits(need.song, freeSong);
}

} // namespace qel
