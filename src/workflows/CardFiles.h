#pragma once

// The memory card: the card folder's list, and "Send" onto the card. The card
// is reached through the file system only: no MIDI traffic, no keyboard
// action frame.

#include "workflows/DataManagerState.h"

#include <cstdint>
#include <functional>
#include <string>

namespace qel {

class CardFiles {
public:
    // How the card's free space is asked (bytes, -1 when unknown).
    using FreeSpaceQuery = std::function<std::int64_t(const std::string& drive)>;

    explicit CardFiles(DataManagerState& state);
    void setFreeSpaceQuery(FreeSpaceQuery query) { freeSpace_ = std::move(query); }

    // The "Drive" setting: the root folder of the card reader's volume;
    // empty when it is not set.
    std::string getCardDrive() const { return state_.cardDrive; }
    // The card folder: the drive + "VORLA_MD/"; empty when no drive is set.
    std::string getCardFolder() const;

    // Whether the card can be listed and written: no drive set, a drive
    // without the card folder (a card the keyboard never formatted, or a
    // drive that is no card at all), or the folder is there.
    enum class FolderState { NoDrive, NoFolder, Ready };
    FolderState folderState() const;
    // Makes the card folder on the drive (the drive itself must exist).
    // Throws Exception "Can't create the folder: " + folder + " (REASON)",
    // the system's reason, when it cannot.
    void createCardFolder();
    // Rebuilds cardLists from the card folder: "*.z0*" files, then "*.mid"
    // files; folders and files with no card extension are left out.
    void scanCardFiles();
    void showCardList();
    // Writes the PC file at `path` to the card folder (see DataManager::putFileToCard).
    void putFileToCard(const std::string& path);

private:
    void addCardFile(const std::string& fileName);
    // Throws the file layer's "Can't create the file: " + `cardPath`, with
    // what to do about it, when the card folder is missing.
    void requireCardFolder(const std::string& cardPath) const;

    DataManagerState& state_;
    FreeSpaceQuery freeSpace_;
};

} // namespace qel
