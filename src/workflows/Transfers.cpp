// The data manager's transfers between the PC and the keyboard: "Receive"
// (one keyboard item into a file) and "Send" (one file into the keyboard).

#include "workflows/Transfers.h"

#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "model/KbdData.h"
#include "model/ReceivedFilePath.h"
#include "model/VdfData.h"
#include "platform/files/WritableFolder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace qel {

namespace {

// Rows of the SMF list that a send never fills: the package slots.
constexpr std::size_t smfSlotsKeptForPackages = 10;

} // namespace

// ---- receiving ----

void Transfers::receiveIntoPcList(const KbdDataAttribute& attribute) {
    fileRecord(state_.pcLists, state_.currentType,
               receiveKbdItem(state_.currentType, attribute, getDataDirectory()));
    kbdListing_.showPcList();
}

VdfDataAttributePtr Transfers::receiveKbdItem(type::id type, const KbdDataAttribute& attribute,
                                              const std::string& directory) {
    // A transfer whose file could not be saved would be for nothing.
    platform::requireWritableFolder(directory);
    const KbdActionFrame::Step step(state_.frame, "receiving " + slotName(type, attribute));
    // The dialog's blocks move the action's bar through the item.
    state_.progress.beginItem(slotName(type, attribute), attribute.size);
    auto item = [&] {
        const KbdSession session(state_.frame, true);
        auto received =
            std::make_shared<KbdData>(session.dialog(), attribute.category, type, attribute.number);
        received->receive(session.dialog());
        return received;
    }();
    VdfData file(directory, item);
    file.setPath(receivedFilePath(file));
    file.save();
    state_.progress.endItem();
    return std::make_shared<VdfDataAttribute>(file);
}

// ---- sending ----

void Transfers::sendFile(const std::string& path, int kbdRow) {
    // The file is read whole before anything is deleted on the keyboard:
    // a file that cannot be sent must not cost the slot its content.
    VdfData file(path);
    if (file.size() == 0)
        return;
    if (file.type() != state_.currentType)
        throw Exception("The file " + path +
                        " no longer holds what the PC list shows: update the PC list");
    file.loadForSending();
    switch (state_.currentType) {
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
}

void Transfers::putItemToKbd(VdfData& file, int kbdRow) {
    kbdListing_.ensureListed({state_.currentType});
    const KbdDataAttributePtr target = sendTarget(kbdRow);
    if (!target)
        return;
    const type::id t = state_.currentType;
    KbdSession session(state_.frame, true);
    KbdData item(target->number, target->position, file);
    if (deletable(t)) {
        // The slot is cleared before the send: what it holds now counts as free.
        rereadSlot(t, *target);
        kbdListing_.checkFits(memoryNeeded(item), memoryHeld(t, *target));
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

void Transfers::putSongToKbd(VdfData& file, int kbdRow) {
    kbdListing_.ensureListed({type::Song});
    const KbdDataAttributePtr target = sendTarget(kbdRow);
    if (!target)
        return;
    KbdSession session(state_.frame, false);
    KbdData item(target->number, target->position, file);
    // Decided before the slot is cleared: a song that does not fit even into
    // the memory its slot frees leaves the slot as it is.
    rereadSlot(type::Song, *target);
    kbdListing_.checkFits(memoryNeeded(item), memoryHeld(type::Song, *target));
    if (!askBeforeReplacing(type::Song, target, file))
        return;
    deleteKbdItem(type::Song, target);
    waitKbdReady(100);
    dialog().setShowProgress(true);
    sendReread(item, type::Song, {target});
    finishSlotSend(session, *target, item);
}

void Transfers::putSmfToKbd(VdfData& file) {
    kbdListing_.ensureListed({type::Smf});
    const KbdDataAttributeList& smfSlots = *kbdListing_.listedSlots(type::Smf);
    const std::size_t searched =
        smfSlots.size() > smfSlotsKeptForPackages ? smfSlots.size() - smfSlotsKeptForPackages : 0;
    KbdSession session(state_.frame, true);
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
        kbdListing_.showKbdList();
        throw Exception("Memory Full");
    }
    KbdData item(target->number, target->position, file);
    kbdListing_.checkFits(memoryNeeded(item), {});
    sendReread(item, type::Smf, {target});
    finishSlotSend(session, *target, item);
}

void Transfers::putPackageToKbd(VdfData& file) {
    static constexpr type::id cleared[] = {type::UserDrumWithWave, type::UserToneWithWave,
                                           type::UserRhythm, type::Smf};
    kbdListing_.ensureListed(
        {type::UserDrumWithWave, type::UserToneWithWave, type::UserRhythm, type::Smf});
    const KbdSession session(state_.frame, false);
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
    kbdListing_.showKbdList();
    kbdListing_.checkFits(memoryNeeded(item), freed);
    question.text = "Sending the package clears " + std::to_string(toClear.size()) +
                    " items from the keyboard's package slots, and replaces its user tones, "
                    "DSP settings, organs and registrations there.";
    if (!confirmDestroying(question))
        return;

    state_.progress.beginPhase(0.4, static_cast<std::int64_t>(toClear.size()), false);
    state_.progress.showItem("Deleting...");
    for (const auto& [t, slot] : toClear) {
        deleteKbdItem(t, slot);
        waitKbdReady(100);
        stepProgress(1);
    }
    state_.progress.beginPhase(0.8, static_cast<std::int64_t>(file.size()), true);

    dialog().setShowProgress(true);
    state_.progress.beginItem("the package", static_cast<std::int64_t>(file.size()));
    try {
        const KbdActionFrame::Step step(state_.frame, "sending the package");
        item.send(dialog());
    } catch (...) {
        for (type::id t = type::UserTone; t <= type::Smf; t = static_cast<type::id>(t + 1))
            if (kbdListing_.listedSlots(t))
                rereadAfterFailure(t, packageSlots(t));
        throw;
    }
    // The refresh shows the list's own progress, not the dialog's window per query.
    dialog().setShowProgress(false);
    kbdListing_.refreshKbdData(1.0);
}

void Transfers::sendReread(KbdData& item, type::id type,
                           const std::vector<KbdDataAttributePtr>& records) {
    dialog().setShowProgress(true);
    const std::string slot = std::string(typeLabels[type]) + " " + std::to_string(item.position());
    state_.progress.beginItem(slot, static_cast<std::int64_t>(item.size()));
    try {
        const KbdActionFrame::Step step(state_.frame, "sending " + slot);
        item.send(dialog());
    } catch (...) {
        rereadAfterFailure(type, records);
        throw;
    }
    state_.progress.endItem();
}

bool Transfers::askBeforeReplacing(type::id type, const KbdDataAttributePtr& target,
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

std::vector<KbdDataAttributePtr> Transfers::packageSlots(type::id type) const {
    const KbdDataAttributeList* listed = kbdListing_.listedSlots(type);
    if (!listed)
        return {};
    // Of the data types a package fills, the drum groups give it their last
    // slot, the others their last ten; songs none.
    const std::size_t count = type == type::UserDrumWithWave ? 1 : type == type::Song ? 0 : 10;
    const std::size_t first = listed->size() > count ? listed->size() - count : 0;
    return {listed->begin() + static_cast<std::ptrdiff_t>(first), listed->end()};
}

void Transfers::finishSlotSend(KbdSession& session, KbdDataAttribute& target, const KbdData& item) {
    target.name = item.name();
    target.size = item.size();
    target.known = true;
    session.close();
    kbdListing_.showKbdList();
    {
        const KbdSession memory(state_.frame, false);
        kbdListing_.queryFreeMemory();
    }
    kbdListing_.showMemoryBar();
}

KbdDataAttributePtr Transfers::sendTarget(int kbdRow) {
    if (kbdRow < 0) {
        kbdRow = 0;
        state_.view.selectKbdRow(kbdRow);
    }
    return state_.kbdSlots.item(kbdRow);
}

void Transfers::deleteSlot(const KbdDataAttributePtr& attribute) {
    const type::id t = state_.currentType;
    if (deletable(t) && occupied(t, *attribute)) {
        const std::string slot = describeSlot(t, *attribute);
        if (!confirmDestroying({DestroyQuestion::Action::Delete,
                                "Delete " + slot + " from the keyboard?",
                                {slot},
                                true,
                                false},
                               t, attribute))
            return;
    }
    const KbdSession session(state_.frame, true);
    dialog().setCaption("Deleting..");
    deleteKbdItem(state_.currentType, attribute);
    waitKbdReady(100);
    dialog().setCaption("");
    kbdListing_.listKbdType(state_.currentType);
    kbdListing_.showKbdList();
    kbdListing_.queryFreeMemory();
    kbdListing_.showMemoryBar();
}

void Transfers::deleteKbdItem(type::id type, const KbdDataAttributePtr& attribute) {
    const auto parameter = command::deleteParameter(type);
    if (!parameter || !attribute)
        return;
    // A song slot is cleared whatever size it reads.
    if (type != type::Song && attribute->size == 0)
        return;
    const KbdActionFrame::Step step(state_.frame, "clearing " + slotName(type, *attribute));
    static const ByteVector firstIndex{0x00};
    dialog().sendCommand(category::Command, 0, firstIndex, *parameter, attribute->number);
    checkMidiError();
}

void Transfers::deleteLastKbdItems(type::id type, std::uint16_t count) {
    const KbdDataAttributeList* listed = kbdListing_.listedSlots(type);
    if (!listed)
        throw Exception(std::string("The keyboard list of ") + typeLabels[type] +
                        " was not read: nothing was deleted");
    // Copies: a refresh of the type during the polls must not pull the
    // records from under the loop.
    const KbdDataAttributeList items = *listed;
    for (std::size_t k = 0; k < count && k < items.size(); ++k) {
        const KbdDataAttributePtr& attribute = items[items.size() - 1 - k];
        if (attribute->size != 0) {
            deleteKbdItem(type, attribute);
            waitKbdReady(100);
        }
        stepProgress(1);
    }
}

void Transfers::initializeKbd(command::InitKind kind) {
    static const ByteVector firstIndex{0x00};
    const char* settings = kind == command::InitKind::Mixer       ? "mixer settings"
                           : kind == command::InitKind::Parameter ? "parameters"
                                                                  : "system settings";
    if (!confirmDestroying(
            {DestroyQuestion::Action::Initialize,
             std::string("Reset the keyboard's ") + settings + " to their factory values?",
             {std::string("the keyboard's ") + settings},
             false,
             false}))
        return;
    const KbdActionFrame::Step step(state_.frame,
                                    std::string("resetting the keyboard's ") + settings);
    const KbdSession session(state_.frame, false);
    dialog().sendCommand(category::Command, 0, firstIndex, command::initialize,
                         static_cast<std::int32_t>(kind));
    checkMidiError();
}

} // namespace qel
