// The data manager's transfers between the PC and the keyboard: "Receive"
// (one keyboard item into a file) and "Send" (one file into the keyboard).

#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "workflows/DataManager.h"

#include <filesystem>
#include <system_error>

namespace qel {

namespace {

// Rows of the SMF list that a send never fills: the package slots.
constexpr std::size_t smfSlotsKeptForPackages = 10;

bool sameFile(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

} // namespace

// ---- receiving ----

void DataManager::GetFromKbdExecute(int row) {
    const KbdDataAttributePtr attribute = kbdRowItem(row);
    if (!attribute || attribute->size == 0)
        return; // no row, a row without an item, or an empty slot
    runKbdAction([this, attribute] {
        fileRecord(pcFolders_, currentType_,
                   ReceiveKbdItem(currentType_, *attribute, GetDataDirectory()));
        ShowPCList();
    });
}

VdfDataAttributePtr DataManager::ReceiveKbdItem(type::id type, const KbdDataAttribute& attribute,
                                                const std::string& directory) {
    OpenMidiDialog(true);
    auto item = std::make_shared<KbdData>(attribute.category, type, attribute.number);
    item->receive();
    CloseMidiDialog();
    if (!directory.empty()) {
        // A folder that cannot be made shows as the save's own error.
        std::error_code ignored;
        std::filesystem::create_directories(directory, ignored);
    }
    VdfData file(directory, item);
    file.save();
    return std::make_shared<VdfDataAttribute>(file);
}

void DataManager::fileRecord(VdfDataAttributeFolders& folders, type::id type,
                             VdfDataAttributePtr attribute) {
    // A replaced file keeps one row; it may have been listed under another type.
    for (VdfDataAttributeFolder& folder : folders)
        std::erase_if(folder, [&](const VdfDataAttributePtr& listed) {
            return sameFile(listed->path, attribute->path);
        });
    folders[type].push_back(std::move(attribute));
}

// ---- sending ----

void DataManager::PutToKbdExecute(int pcRow, int kbdRow) {
    const VdfDataAttributePtr source = pcRowItem(pcRow);
    if (!source)
        return; // no row, or a row without a file
    PutFileToKbdExecute(source->path, kbdRow);
}

void DataManager::PutFileToKbdExecute(const std::string& path, int kbdRow) {
    runKbdAction([this, path, kbdRow] {
        // The file is read whole before anything is deleted on the keyboard:
        // a file that cannot be sent must not cost the slot its content.
        VdfData file(path);
        if (file.size() == 0)
            return;
        if (file.type() != currentType_)
            throw Exception("The file " + path +
                            " no longer holds what the PC list shows: update the PC list");
        file.loadForSending();
        switch (currentType_) {
        case type::Song:
            PutSongToKbd(file, kbdRow);
            break;
        case type::Smf:
            PutSmfToKbd(file);
            break;
        case type::Package:
            PutPackageToKbd(file);
            break;
        default:
            PutItemToKbd(file, kbdRow);
            break;
        }
    });
}

void DataManager::PutItemToKbd(VdfData& file, int kbdRow) {
    const KbdDataAttributePtr target = sendTarget(kbdRow);
    if (!target)
        return;
    if (currentType_ == type::UserToneWithWave || currentType_ == type::UserDrumWithWave ||
        currentType_ == type::UserRhythm)
        checkRoom(file.bytesToSend(), command::dataMemorySize - usedDataMemory_);
    OpenMidiDialog(true);
    dialog().SetCaption("Deleting..");
    DeleteKbdItem(currentType_, target);
    WaitKbdReady(100);
    dialog().SetCaption("");
    KbdData item(target->number, target->position, file);
    item.send();
    finishSlotSend(*target, item);
}

void DataManager::PutSongToKbd(VdfData& file, int kbdRow) {
    const KbdDataAttributePtr target = sendTarget(kbdRow);
    if (!target)
        return;
    OpenMidiDialog(false);
    DeleteKbdItem(type::Song, target);
    WaitKbdReady(100);
    QueryFreeMemory();
    CloseMidiDialog();
    // The slot was cleared to make room, and stays cleared when the song
    // still does not fit.
    checkRoom(file.bytesToSend(), command::songMemorySize - usedSongMemory_);
    const auto item = SendFileToKbd(file, target->number, target->position);
    finishSlotSend(*target, *item);
}

void DataManager::PutSmfToKbd(VdfData& file) {
    checkRoom(file.bytesToSend(), command::dataMemorySize - usedDataMemory_);
    const KbdDataAttributeFolder& folder = kbdFolders_[type::Smf];
    const std::size_t searched =
        folder.size() > smfSlotsKeptForPackages ? folder.size() - smfSlotsKeptForPackages : 0;
    KbdDataAttributePtr target;
    for (std::size_t i = 0; i < searched && !target; ++i)
        if (folder[i]->size == 0)
            target = folder[i];
    if (!target)
        throw Exception("Memory Full");
    const auto item = SendFileToKbd(file, target->number, target->position);
    finishSlotSend(*target, *item);
}

void DataManager::PutPackageToKbd(VdfData& file) {
    OpenMidiDialog(false);
    ProgressReporter& progress = view_.progress();
    progress.setRange(31);
    progressPosition_ = 0;
    progress.setPosition(progressPosition_);
    progress.setCaption("Deleting...");
    view_.showProgress();
    // The package's items go into these slots.
    DeleteLastKbdItems(type::UserDrumWithWave, 1);
    DeleteLastKbdItems(type::UserToneWithWave, 10);
    DeleteLastKbdItems(type::UserRhythm, 10);
    DeleteLastKbdItems(type::Smf, 10);
    WaitKbdReady(100);
    progress.setCaption("");
    view_.hideProgress();
    QueryFreeMemory();
    CloseMidiDialog();

    checkRoom(file.bytesToSend(), command::dataMemorySize - usedDataMemory_);
    // The package's items carry their own slot numbers.
    SendFileToKbd(file, 0, 0);
    // The refresh shows the list's own progress, not the dialog's window per query.
    dialog().SetShowProgress(false);
    RefreshKbdData();
    CloseMidiDialog();
}

std::shared_ptr<KbdData> DataManager::SendFileToKbd(VdfData& file, std::uint16_t number,
                                                    std::uint16_t position) {
    OpenMidiDialog(true);
    auto item = std::make_shared<KbdData>(number, position, file);
    item->send();
    return item;
}

void DataManager::finishSlotSend(KbdDataAttribute& target, const KbdData& item) {
    target.name = item.name();
    target.size = item.size();
    CloseMidiDialog();
    ShowKbdList();
    OpenMidiDialog(false);
    QueryFreeMemory();
    CloseMidiDialog();
    ShowMemoryBar();
}

KbdDataAttributePtr DataManager::sendTarget(int kbdRow) {
    if (kbdRow < 0) {
        kbdRow = 0;
        view_.selectKbdRow(kbdRow);
    }
    return kbdRowItem(kbdRow);
}

void DataManager::checkRoom(std::uint64_t bytes, std::int64_t free) {
    if (free < 0 || bytes > static_cast<std::uint64_t>(free))
        throw Exception("Memory Full");
}

} // namespace qel
