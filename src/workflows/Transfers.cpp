// The data manager's transfers between the PC and the keyboard: "Receive"
// (keyboard items into files), "Delete" and "Initialize". "Send" is in
// TransfersSend.cpp.

#include "workflows/Transfers.h"

#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "core/NameText.h"
#include "model/KbdData.h"
#include "model/ReceivedFilePath.h"
#include "model/VdfData.h"
#include "platform/files/WritableFolder.h"
#include "workflows/TransferBatch.h"

#include <filesystem>

namespace qel {

namespace {

// A folder as a result line names it: without its closing separator.
std::string resultFolder(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return terminalText(folder.empty() ? "." : folder);
}

} // namespace

std::string Transfers::resultName(const std::string& name) {
    const std::size_t end = name.find_last_not_of(std::string(" \0", 2));
    return terminalName(end == std::string::npos ? std::string() : name.substr(0, end + 1));
}

std::string Transfers::resultFileName(const std::string& path) {
    return terminalText(std::filesystem::path(path).filename().string());
}

// ---- receiving ----

std::vector<VdfDataAttributePtr>
Transfers::receiveItems(const std::vector<KbdDataAttributePtr>& chosen,
                        const std::string& directory, bool intoPcList) {
    const type::id t = state_.currentType;
    // A transfer whose file could not be saved would be for nothing.
    platform::requireWritableFolder(directory);
    TransferBatch batch(state_.view, state_.progress, "received");
    for (const KbdDataAttributePtr& slot : chosen)
        batch.add({slotName(t, *slot) + " " + resultName(slot->name), resultName(slot->name),
                   slot->size});
    const KbdSession session(state_.frame, true);
    std::vector<VdfDataAttributePtr> written;
    const bool whole = batch.run([&](std::size_t i) {
        written.push_back(receiveKbdItem(t, *chosen[i], directory));
        if (intoPcList) {
            fileRecord(state_.pcLists, t, written.back());
            kbdListing_.showPcList();
        }
    });
    if (!whole)
        return {};
    if (written.size() == 1)
        state_.view.showResult("Received " + resultName(chosen.front()->name) + " into " +
                               resultFileName(written.front()->path));
    else
        state_.view.showResult("Received " + std::to_string(written.size()) + " items into " +
                               resultFolder(directory));
    return written;
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

// ---- deleting ----

void Transfers::deleteSlots(const std::vector<KbdDataAttributePtr>& chosen) {
    const type::id t = state_.currentType;
    std::vector<KbdDataAttributePtr> destroyed;
    std::vector<std::string> lost;
    if (deletable(t))
        for (const KbdDataAttributePtr& slot : chosen)
            if (occupied(t, *slot)) {
                destroyed.push_back(slot);
                lost.push_back(describeSlot(t, *slot));
            }
    if (!lost.empty()) {
        const std::string text = lost.size() == 1 ? "Delete " + lost.front() + " from the keyboard?"
                                                  : "Delete " + std::to_string(lost.size()) +
                                                        " items from the keyboard?";
        if (!confirmDestroyingAll(
                {DestroyQuestion::Action::Delete, text, lost, true, lost.size() > 1}, t, destroyed))
            return;
    }
    TransferBatch batch(state_.view, state_.progress, "deleted");
    for (const KbdDataAttributePtr& slot : chosen)
        batch.add({slotName(t, *slot) + " " + resultName(slot->name),
                   slotName(t, *slot) + " \"" + resultName(slot->name) + "\"", 0});
    // What the result names, before the list is read again.
    const std::string only = batch.items().front().name;
    KbdSession session(state_.frame, true);
    const bool whole = batch.run([&](std::size_t i) {
        dialog().setCaption("Deleting..");
        deleteKbdItem(t, chosen[i]);
        waitKbdReady(100);
        dialog().setCaption("");
    });
    if (!whole) {
        // Ended by a Cancel after some deletes: those slots are empty now,
        // and the one the Cancel came in is as the keyboard says, or unknown.
        for (std::size_t i = 0; i < batch.doneCount(); ++i)
            chosen[i]->size = 0;
        rereadSlot(t, *chosen[batch.doneCount()]);
        session.close();
        kbdListing_.showKbdList();
        return;
    }
    kbdListing_.listKbdType(t);
    kbdListing_.showKbdList();
    kbdListing_.queryFreeMemory();
    kbdListing_.showMemoryBar();
    state_.view.showResult(chosen.size() == 1
                               ? "Deleted " + only
                               : "Deleted " + std::to_string(chosen.size()) + " items");
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

// ---- initialising ----

void Transfers::initializeKbd(command::InitKind kind) {
    static const ByteVector firstIndex{0x00};
    const char* settings = kind == command::InitKind::Mixer       ? "mixer settings"
                           : kind == command::InitKind::Parameter ? "parameters"
                                                                  : "system settings";
    const char* done = kind == command::InitKind::Mixer       ? "Initialized the mixer"
                       : kind == command::InitKind::Parameter ? "Initialized the parameters"
                                                              : "Initialized the system";
    if (!confirmDestroying(
            {DestroyQuestion::Action::Initialize,
             std::string("Reset the keyboard's ") + settings + " to their factory values?",
             {std::string("the keyboard's ") + settings},
             false,
             false}))
        return;
    {
        const KbdActionFrame::Step step(state_.frame,
                                        std::string("resetting the keyboard's ") + settings);
        const KbdSession session(state_.frame, false);
        dialog().sendCommand(category::Command, 0, firstIndex, command::initialize,
                             static_cast<std::int32_t>(kind));
        checkMidiError();
    }
    state_.view.showResult(done);
}

} // namespace qel
