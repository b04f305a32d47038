// The data manager's memory card: the card folder's list, and "Send" onto the
// card. The card is reached through the file system only: no MIDI traffic, no
// keyboard action frame.

#include "core/Exception.h"
#include "core/SettingsKeys.h"
#include "model/CardData.h"
#include "model/VdfData.h"
#include "platform/files/WildcardSearch.h"
#include "platform/registry/Registry.h"
#include "workflows/DataManager.h"
#include "workflows/FileDateText.h"

#include <filesystem>

namespace qel {

namespace {

// The card folder's fixed name on the card.
constexpr const char* cardFolderName = "VORLA_MD/";

} // namespace

std::string DataManager::getCardDrive() const {
    // Read without creating the key: settings are written by the preferences only.
    const registry::Registry settings(registryLocation_);
    return settings.readString(settings::cardKey, settings::driveValue).value_or("");
}

std::string DataManager::getCardFolder() const {
    std::string drive = getCardDrive();
    // Without a drive, the folder would be taken relative to the working directory.
    if (drive.empty())
        return "";
    if (drive.back() != '/')
        drive += '/';
    return drive + cardFolderName;
}

void DataManager::updateCardList() {
    scanAndShow(&DataManager::scanCardFiles, &DataManager::showCardList);
}

void DataManager::scanCardFiles() {
    for (VdfDataAttributeList& list : cardLists_)
        list.clear();
    const std::string folder = getCardFolder();
    if (folder.empty())
        return;
    for (const char* pattern : {"*.z0*", "*.mid"})
        for (const std::string& path : platform::findFiles(folder, pattern))
            addCardFile(std::filesystem::path(path).filename().string());
}

void DataManager::addCardFile(const std::string& fileName) {
    const std::string path = getCardFolder() + fileName;
    const CardData card(path);
    // "*.z0*" also matches names that are no card file ("A.z0x", "B.z0"):
    // they have no type to be filed under.
    if (!card.hasType())
        return;
    cardLists_[card.type()].push_back(std::make_shared<VdfDataAttribute>(
        card.category(), card.name(), card.size(), path, card.fileTime()));
}

void DataManager::showCardList() {
    std::vector<FileRow> rows;
    for (const VdfDataAttributePtr& item : cardLists_[currentType_])
        rows.push_back({item->name, std::to_string(item->size), formatDosDateTime(item->date)});
    view_.showCardRows(currentType_, rows);
}

void DataManager::putToCard(int pcRow) {
    const VdfDataAttributePtr source = pcRowItem(pcRow);
    if (!source || source->size == 0)
        return;
    putFileToCard(source->path);
}

void DataManager::putFileToCard(const std::string& path) {
    if (busy())
        return;
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
            view_.showKbdError("Memory Full");
            return;
        }
        card.write();
        fileRecord(cardLists_, file.type(),
                   std::make_shared<VdfDataAttribute>(card.category(), card.name(), card.size(),
                                                      card.path(), card.fileTime()));
        showCardList();
    } catch (const std::exception& error) {
        view_.showDefaultError(error.what());
    }
}

void DataManager::deleteCardData() {
    throw Exception("Delete Card Data");
}

void DataManager::getFromCard() {
    throw Exception("Get Data From Card");
}

void DataManager::updateDiskList() {
    throw Exception("Update Disk List");
}

void DataManager::deleteDiskData() {
    throw Exception("Delete Disk Data");
}

void DataManager::putToDisk() {
    throw Exception("Put Data To Disk");
}

void DataManager::getFromDisk() {
    throw Exception("Get Data From Disk");
}

} // namespace qel
