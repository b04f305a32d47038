// The data manager's memory card: the card folder's list, and "Send" onto the
// card. The card is reached through the file system only: no MIDI traffic, no
// keyboard action frame.

#include "workflows/CardFiles.h"

#include "core/Exception.h"
#include "model/CardData.h"
#include "model/VdfData.h"
#include "platform/files/FreeSpace.h"
#include "platform/files/WildcardSearch.h"

#include <filesystem>

namespace qel {

namespace {

// The card folder's fixed name on the card.
constexpr const char* cardFolderName = "VORLA_MD/";

} // namespace

CardFiles::CardFiles(DataManagerState& state) : state_(state), freeSpace_(platform::freeSpace) {}

std::string CardFiles::getCardFolder() const {
    std::string drive = getCardDrive();
    // Without a drive, the folder would be taken relative to the working directory.
    if (drive.empty())
        return "";
    if (drive.back() != '/')
        drive += '/';
    return drive + cardFolderName;
}

void CardFiles::scanCardFiles() {
    for (VdfDataAttributeList& list : state_.cardLists)
        list.clear();
    const std::string folder = getCardFolder();
    if (folder.empty())
        return;
    for (const char* pattern : {"*.z0*", "*.mid"})
        for (const std::string& path : platform::findFiles(folder, pattern))
            addCardFile(std::filesystem::path(path).filename().string());
}

void CardFiles::addCardFile(const std::string& fileName) {
    const std::string path = getCardFolder() + fileName;
    const CardData card(path);
    // "*.z0*" also matches names that are no card file ("A.z0x", "B.z0"):
    // they have no type to be filed under.
    if (!card.hasType())
        return;
    state_.cardLists[card.type()].push_back(std::make_shared<VdfDataAttribute>(
        card.category(), card.name(), card.size(), path, card.fileTime()));
}

void CardFiles::showCardList() {
    state_.cardFiles.setRows(state_.currentType, state_.cardLists[state_.currentType]);
}

void CardFiles::putFileToCard(const std::string& path) {
    try {
        const std::string drive = getCardDrive();
        if (drive.empty())
            throw Exception("No card drive is set: choose one in the preferences.");
        VdfData file(path);
        if (file.size() == 0)
            return;
        file.loadForSending();
        CardData card(getCardFolder(), file);
        // The bytes the card file will hold must fit, not the PC file's.
        const std::int64_t free = freeSpace_(drive);
        if (free < 0 || card.data().size() > static_cast<std::uint64_t>(free)) {
            state_.view.showKbdError("Memory Full");
            return;
        }
        card.write();
        fileRecord(state_.cardLists, file.type(),
                   std::make_shared<VdfDataAttribute>(card.category(), card.name(), card.size(),
                                                      card.path(), card.fileTime()));
        showCardList();
    } catch (const std::exception& error) {
        state_.view.showDefaultError(error.what());
    }
}

} // namespace qel
