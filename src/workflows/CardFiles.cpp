// The data manager's memory card: the card folder's list, and "Send" onto the
// card. The card is reached through the file system only: no MIDI traffic, no
// keyboard action frame.

#include "workflows/CardFiles.h"

#include "core/Exception.h"
#include "model/CardData.h"
#include "model/PackageDirectory.h"
#include "model/VdfData.h"
#include "platform/files/FileBytes.h"
#include "platform/files/FreeSpace.h"
#include "platform/files/WildcardSearch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace qel {

namespace {

// The card folder's fixed name on the card.
constexpr const char* cardFolderName = "VORLA_MD/";

// The size of the item a card file holds, as the PC list gives it for the
// same item: a package's is the sum of its directory's size fields (the file
// also holds the directory and the tables); any other item is the whole file.
// A package too short for its directory shows the file's size.
std::uint32_t cardItemSize(const CardData& card) {
    if (card.category() != category::Package)
        return card.size();
    platform::FileBytes file(card.path());
    ByteVector directory;
    if (!file.isOpen() || !file.read(0, VdfData::directorySize, directory))
        return card.size();
    const std::uint64_t sum = files::PackageDirectory(directory).sizeFieldSum();
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(sum, 0xFFFFFFFFu));
}

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

CardFiles::FolderState CardFiles::folderState() const {
    const std::string folder = getCardFolder();
    if (folder.empty())
        return FolderState::NoDrive;
    std::error_code error;
    return std::filesystem::is_directory(folder, error) ? FolderState::Ready
                                                        : FolderState::NoFolder;
}

void CardFiles::createCardFolder() {
    const std::string folder = getCardFolder();
    if (folder.empty())
        throw Exception("No card drive is set: choose one in the preferences.");
    // Only the folder itself: a drive that is not there is not made up here.
    std::error_code error;
    std::filesystem::create_directory(folder, error);
    if (error)
        throw Exception("Can't create the folder: " + folder + " (" + error.message() + ")");
}

void CardFiles::requireCardFolder(const std::string& cardPath) const {
    if (folderState() == FolderState::Ready)
        return;
    throw Exception("Can't create the file: " + cardPath +
                    " (the card has no VORLA_MD folder: a card formatted by the keyboard has "
                    "one; or press \"Create VORLA_MD\" on the Card tab)");
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
        card.category(), card.name(), cardItemSize(card), path, card.fileTime()));
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
        requireCardFolder(card.path());
        card.write();
        // Listed with the item's size, as a later scan shows it.
        const std::uint32_t itemSize =
            card.category() == category::Package ? file.size() : card.size();
        fileRecord(state_.cardLists, file.type(),
                   std::make_shared<VdfDataAttribute>(card.category(), card.name(), itemSize,
                                                      card.path(), card.fileTime()));
        showCardList();
    } catch (const std::exception& error) {
        state_.view.showDefaultError(error.what());
    }
}

} // namespace qel
