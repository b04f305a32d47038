#include "cli/SlotTable.h"

#include "core/NameText.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace qel::cli {

std::string slotTable(const KbdDataAttributeList& slots) {
    std::vector<std::string> names;
    names.reserve(slots.size());
    // An escaped name can be wider than the keyboard's 8 bytes.
    std::size_t width = 8;
    for (const KbdDataAttributePtr& slot : slots) {
        names.push_back(terminalName(slot->name));
        width = std::max(width, displayWidth(names.back()));
    }
    std::string table;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        char number[16], size[16];
        std::snprintf(number, sizeof number, "%4u", static_cast<unsigned>(slots[i]->position));
        std::snprintf(size, sizeof size, "%8d", static_cast<int>(slots[i]->size));
        table += std::string("  ") + number + "  " + padded(names[i], width) + "  " + size + "\n";
    }
    return table;
}

} // namespace qel::cli
