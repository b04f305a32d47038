#include "workflows/DataManagerState.h"

#include "core/Exception.h"

#include <filesystem>
#include <system_error>

namespace qel {

namespace {

bool sameFile(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

} // namespace

MidiDialog& KbdSteps::dialog() {
    MidiDialog* open = state_.frame.dialog();
    if (open == nullptr)
        throw Exception("The MIDI connection to the keyboard is not open");
    return *open;
}

void fileRecord(VdfDataAttributeLists& lists, type::id type, VdfDataAttributePtr attribute) {
    // A replaced file keeps one row; it may have been listed under another type.
    for (VdfDataAttributeList& list : lists)
        std::erase_if(list, [&](const VdfDataAttributePtr& listed) {
            return sameFile(listed->path, attribute->path);
        });
    lists[type].push_back(std::move(attribute));
}

} // namespace qel
