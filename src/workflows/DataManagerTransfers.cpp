// The data manager's transfers between the PC and the keyboard: "Receive"
// (one keyboard item into a file) and "Send" (one file into the keyboard).

#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "model/KbdData.h"
#include "model/ReceivedFilePath.h"
#include "model/VdfData.h"
#include "platform/files/WritableFolder.h"
#include "workflows/DataManager.h"

#include <algorithm>
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

void DataManager::getFromKbd(int row) {
    const KbdDataAttributePtr attribute = kbdRowItem(row);
    if (!attribute || attribute->size == 0)
        return; // no row, a row without an item, or an empty slot
    runKbdAction([this, attribute] {
        fileRecord(pcLists_, currentType_,
                   receiveKbdItem(currentType_, *attribute, getDataDirectory()));
        showPcList();
    });
}

VdfDataAttributePtr DataManager::receiveKbdItem(type::id type, const KbdDataAttribute& attribute,
                                                const std::string& directory) {
    // A transfer whose file could not be saved would be for nothing.
    platform::requireWritableFolder(directory);
    const KbdActionFrame::Step step(frame_, "receiving " + slotName(type, attribute));
    auto item = [&] {
        const KbdSession session(frame_, true);
        auto received =
            std::make_shared<KbdData>(session.dialog(), attribute.category, type, attribute.number);
        received->receive(session.dialog());
        return received;
    }();
    VdfData file(directory, item);
    file.setPath(receivedFilePath(file));
    file.save();
    return std::make_shared<VdfDataAttribute>(file);
}

void DataManager::fileRecord(VdfDataAttributeLists& lists, type::id type,
                             VdfDataAttributePtr attribute) {
    // A replaced file keeps one row; it may have been listed under another type.
    for (VdfDataAttributeList& list : lists)
        std::erase_if(list, [&](const VdfDataAttributePtr& listed) {
            return sameFile(listed->path, attribute->path);
        });
    lists[type].push_back(std::move(attribute));
}

// ---- sending ----

void DataManager::putToKbd(int pcRow, int kbdRow) {
    const VdfDataAttributePtr source = pcRowItem(pcRow);
    if (!source)
        return; // no row, or a row without a file
    putFileToKbd(source->path, kbdRow);
}

void DataManager::putFileToKbd(const std::string& path, int kbdRow) {
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
            putSongToKbd(file, kbdRow);
            break;
        case type::Smf:
            putSmfToKbd(file);
            break;
        case type::Package:
            putPackageToKbd(file);
            break;
        default:
            putItemToKbd(file, kbdRow);
            break;
        }
    });
}

void DataManager::putItemToKbd(VdfData& file, int kbdRow) {
    ensureListed({currentType_});
    const KbdDataAttributePtr target = sendTarget(kbdRow);
    if (!target)
        return;
    const type::id t = currentType_;
    KbdSession session(frame_, true);
    KbdData item(target->number, target->position, file);
    if (DataManager::deletable(t)) {
        // The slot is cleared before the send: what it holds now counts as free.
        rereadSlot(t, *target);
        checkFits(memoryNeeded(item), memoryHeld(t, *target));
    }
    if (!askBeforeReplacing(t, target, file))
        return;
    dialog().setCaption("Deleting..");
    deleteKbdItem(t, target);
    waitKbdReady(100);
    dialog().setCaption("");
    sendReread(item, t, {target});
    finishSlotSend(session, *target, item);
}

void DataManager::putSongToKbd(VdfData& file, int kbdRow) {
    ensureListed({type::Song});
    const KbdDataAttributePtr target = sendTarget(kbdRow);
    if (!target)
        return;
    KbdSession session(frame_, false);
    KbdData item(target->number, target->position, file);
    // Decided before the slot is cleared: a song that does not fit even into
    // the memory its slot frees leaves the slot as it is.
    rereadSlot(type::Song, *target);
    checkFits(memoryNeeded(item), memoryHeld(type::Song, *target));
    if (!askBeforeReplacing(type::Song, target, file))
        return;
    deleteKbdItem(type::Song, target);
    waitKbdReady(100);
    dialog().setShowProgress(true);
    sendReread(item, type::Song, {target});
    finishSlotSend(session, *target, item);
}

void DataManager::putSmfToKbd(VdfData& file) {
    ensureListed({type::Smf});
    const KbdDataAttributeList& smfSlots = *listedSlots(type::Smf);
    const std::size_t searched =
        smfSlots.size() > smfSlotsKeptForPackages ? smfSlots.size() - smfSlotsKeptForPackages : 0;
    KbdSession session(frame_, true);
    KbdDataAttributePtr target;
    for (std::size_t i = 0; i < searched && !target; ++i) {
        if (!smfSlots[i]->known || smfSlots[i]->size != 0)
            continue;
        // The list may be older than the keyboard's content: a slot filled
        // since is never overwritten.
        rereadSlot(type::Smf, *smfSlots[i]);
        if (smfSlots[i]->known && smfSlots[i]->size == 0)
            target = smfSlots[i];
    }
    if (!target) {
        showKbdList();
        throw Exception("Memory Full");
    }
    KbdData item(target->number, target->position, file);
    checkFits(memoryNeeded(item), {});
    sendReread(item, type::Smf, {target});
    finishSlotSend(session, *target, item);
}

void DataManager::putPackageToKbd(VdfData& file) {
    static constexpr type::id cleared[] = {type::UserDrumWithWave, type::UserToneWithWave,
                                           type::UserRhythm, type::Smf};
    ensureListed({type::UserDrumWithWave, type::UserToneWithWave, type::UserRhythm, type::Smf});
    const KbdSession session(frame_, false);
    // The package's items carry their own slot numbers.
    KbdData item(0, 0, file);

    // Decided before anything is cleared: the slots as the keyboard holds
    // them now, and the memory their clearing frees.
    std::vector<std::pair<type::id, KbdDataAttributePtr>> toClear;
    KeyboardMemoryNeed freed;
    DestroyQuestion question{DestroyQuestion::Action::SendPackage, "", {}, false, true};
    for (type::id t : cleared) {
        std::vector<KbdDataAttributePtr> reserved = packageSlots(t);
        // The last slot first, as the keyboard fills them from the front.
        std::reverse(reserved.begin(), reserved.end());
        for (const KbdDataAttributePtr& slot : reserved) {
            rereadSlot(t, *slot);
            if (!slot->known)
                throw Exception("The keyboard did not say what " + describeSlot(t, *slot) +
                                " holds: nothing was changed");
            if (slot->size == 0)
                continue;
            toClear.emplace_back(t, slot);
            freed += memoryHeld(t, *slot);
            question.lost.push_back(describeSlot(t, *slot));
        }
    }
    showKbdList();
    checkFits(memoryNeeded(item), freed);
    question.text = "Sending the package clears " + std::to_string(toClear.size()) +
                    " items from the keyboard's package slots, and replaces its user tones, "
                    "DSP settings, organs and registrations there.";
    if (!confirmDestroying(question))
        return;

    ProgressReporter& progress = view_.progress();
    progress.setRange(static_cast<int>(toClear.size()));
    progressPosition_ = 0;
    progress.setPosition(progressPosition_);
    progress.setCaption("Deleting...");
    view_.showProgress();
    for (const auto& [t, slot] : toClear) {
        deleteKbdItem(t, slot);
        waitKbdReady(100);
        stepProgress(1);
    }
    progress.setCaption("");
    view_.hideProgress();

    dialog().setShowProgress(true);
    try {
        const KbdActionFrame::Step step(frame_, "sending the package");
        item.send(dialog());
    } catch (...) {
        for (type::id t = type::UserTone; t <= type::Smf; t = static_cast<type::id>(t + 1))
            if (listedSlots(t))
                rereadAfterFailure(t, packageSlots(t));
        throw;
    }
    // The refresh shows the list's own progress, not the dialog's window per query.
    dialog().setShowProgress(false);
    refreshKbdData();
}

void DataManager::sendReread(KbdData& item, type::id type,
                             const std::vector<KbdDataAttributePtr>& records) {
    dialog().setShowProgress(true);
    try {
        const KbdActionFrame::Step step(frame_, "sending " + std::string(typeLabels[type]) + " " +
                                                    std::to_string(item.position()));
        item.send(dialog());
    } catch (...) {
        rereadAfterFailure(type, records);
        throw;
    }
}

bool DataManager::askBeforeReplacing(type::id type, const KbdDataAttributePtr& target,
                                     const VdfData& file) {
    if (!occupied(type, *target))
        return true;
    const std::string slot = describeSlot(type, *target);
    const std::string source = std::filesystem::path(file.path()).filename().string();
    DestroyQuestion question{DestroyQuestion::Action::Replace,
                             "Replace " + slot + " on the keyboard with " + source + "?",
                             {slot},
                             true,
                             false};
    return confirmDestroying(question, type, target);
}

std::vector<KbdDataAttributePtr> DataManager::packageSlots(type::id type) const {
    const KbdDataAttributeList* listed = listedSlots(type);
    if (!listed)
        return {};
    // Of the data types a package fills, the drum groups give it their last
    // slot, the others their last ten; songs none.
    const std::size_t count = type == type::UserDrumWithWave ? 1 : type == type::Song ? 0 : 10;
    const std::size_t first = listed->size() > count ? listed->size() - count : 0;
    return {listed->begin() + static_cast<std::ptrdiff_t>(first), listed->end()};
}

void DataManager::finishSlotSend(KbdSession& session, KbdDataAttribute& target,
                                 const KbdData& item) {
    target.name = item.name();
    target.size = item.size();
    target.known = true;
    session.close();
    showKbdList();
    {
        const KbdSession memory(frame_, false);
        queryFreeMemory();
    }
    showMemoryBar();
}

KbdDataAttributePtr DataManager::sendTarget(int kbdRow) {
    if (kbdRow < 0) {
        kbdRow = 0;
        view_.selectKbdRow(kbdRow);
    }
    return kbdRowItem(kbdRow);
}

} // namespace qel
