// The data manager's "Send": files from the PC into the keyboard's slots,
// one file or many in one action.

#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "workflows/TransferBatch.h"
#include "workflows/Transfers.h"

#include <algorithm>
#include <filesystem>

namespace qel {

namespace {

// Rows of the SMF list that a send never fills: the package slots.
constexpr std::size_t smfSlotsKeptForPackages = 10;

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

} // namespace

void Transfers::sendFiles(const std::vector<std::string>& paths, int kbdRow, bool fromPcList) {
    // Every file is read whole before anything is deleted on the keyboard:
    // a file that cannot be sent must not cost a slot its content.
    const Files files = readForSending(paths, fromPcList);
    if (files.empty())
        return;
    switch (state_.currentType) {
    case type::Smf:
        putSmfsToKbd(files);
        break;
    case type::Package:
        if (files.size() > 1)
            throw Exception("A package is sent alone, as it clears the keyboard's package slots: "
                            "nothing was sent");
        putPackageToKbd(*files.front());
        break;
    default:
        putItemsToKbd(files, kbdRow);
        break;
    }
}

Transfers::Files Transfers::readForSending(const std::vector<std::string>& paths,
                                           bool fromPcList) const {
    Files files;
    for (const std::string& path : paths) {
        auto file = std::make_unique<VdfData>(path);
        if (file->size() == 0)
            continue;
        if (file->type() != state_.currentType) {
            if (fromPcList)
                throw Exception("The file " + path +
                                " no longer holds what the PC list shows: update the PC list");
            throw Exception("The file " + path + " holds " + typeLabels[file->type()] + ", not " +
                            typeLabels[state_.currentType] +
                            ": choose its data type first. Nothing was sent");
        }
        file->loadForSending();
        files.push_back(std::move(file));
    }
    return files;
}

void Transfers::putItemsToKbd(const Files& files, int kbdRow) {
    const type::id t = state_.currentType;
    kbdListing_.ensureListed({t});
    // Songs show the dialog's progress only for the data, not for the clearing.
    const KbdSession session(state_.frame, t != type::Song);
    const std::vector<KbdDataAttributePtr> targets = sendTargets(files.size(), kbdRow);
    if (targets.empty())
        return;
    std::vector<KbdData> items;
    KeyboardMemoryNeed need, freed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        items.emplace_back(targets[i]->number, targets[i]->position, *files[i]);
        if (deletable(t)) {
            // The slot is cleared before the send: what it holds now counts as free.
            rereadSlot(t, *targets[i]);
            need += memoryNeeded(items.back());
            freed += memoryHeld(t, *targets[i]);
        }
    }
    // Decided before any slot is cleared: a batch that does not fit even
    // into the memory its slots free leaves every slot as it is.
    if (deletable(t))
        kbdListing_.checkFits(need, freed);
    std::vector<std::string> replaced;
    if (!askBeforeReplacing(t, targets, files, replaced))
        return;
    if (sendBatch(items, targets, files, true))
        finishSend(files, targets, replaced);
    kbdListing_.showKbdList();
}

void Transfers::putSmfsToKbd(const Files& files) {
    kbdListing_.ensureListed({type::Smf});
    const std::size_t listed = kbdListing_.listedSlots(type::Smf)->size();
    const std::size_t searched =
        listed > smfSlotsKeptForPackages ? listed - smfSlotsKeptForPackages : 0;
    const KbdSession session(state_.frame, true);
    const std::vector<KbdDataAttributePtr> targets = freeSlots(type::Smf, files.size(), searched);
    if (targets.size() < files.size()) {
        kbdListing_.showKbdList();
        throw Exception("Memory Full");
    }
    std::vector<KbdData> items;
    KeyboardMemoryNeed need;
    for (std::size_t i = 0; i < files.size(); ++i) {
        items.emplace_back(targets[i]->number, targets[i]->position, *files[i]);
        need += memoryNeeded(items.back());
    }
    kbdListing_.checkFits(need, {});
    if (sendBatch(items, targets, files, false))
        finishSend(files, targets, std::vector<std::string>(files.size()));
    kbdListing_.showKbdList();
}

std::vector<KbdDataAttributePtr> Transfers::sendTargets(std::size_t count, int kbdRow) {
    const type::id t = state_.currentType;
    if (count == 1 || kbdRow >= 0) {
        if (kbdRow < 0) {
            kbdRow = 0;
            state_.view.selectKbdRow(kbdRow);
        }
        std::vector<KbdDataAttributePtr> targets;
        for (std::size_t i = 0; i < count; ++i)
            if (KbdDataAttributePtr slot = state_.kbdSlots.item(kbdRow + static_cast<int>(i)))
                targets.push_back(std::move(slot));
        if (targets.empty())
            return {};
        if (targets.size() < count)
            throw Exception("From " + slotName(t, *targets.front()) + " on there is room for " +
                            std::to_string(targets.size()) + " of the " + std::to_string(count) +
                            " files: nothing was sent");
        return targets;
    }
    const std::vector<KbdDataAttributePtr> targets =
        freeSlots(t, count, kbdListing_.listedSlots(t)->size());
    if (targets.size() < count)
        throw Exception("The keyboard has " + std::to_string(targets.size()) + " free " +
                        typeLabels[t] + (targets.size() == 1 ? " slot" : " slots") + " for the " +
                        std::to_string(count) + " files: nothing was sent");
    return targets;
}

std::vector<KbdDataAttributePtr> Transfers::freeSlots(type::id type, std::size_t count,
                                                      std::size_t searched) {
    const KbdDataAttributeList& chosen = *kbdListing_.listedSlots(type);
    std::vector<KbdDataAttributePtr> found;
    for (std::size_t i = 0; i < searched && i < chosen.size() && found.size() < count; ++i) {
        if (!emptySlot(type, *chosen[i]))
            continue;
        // The list may be older than the keyboard's content: a slot filled
        // since is never overwritten.
        rereadSlot(type, *chosen[i]);
        if (emptySlot(type, *chosen[i]))
            found.push_back(chosen[i]);
    }
    return found;
}

bool Transfers::sendBatch(std::vector<KbdData>& items,
                          const std::vector<KbdDataAttributePtr>& targets, const Files& files,
                          bool clearFirst) {
    const type::id t = state_.currentType;
    TransferBatch batch(state_.view, state_.progress, "sent");
    for (std::size_t i = 0; i < items.size(); ++i)
        batch.add({slotName(t, *targets[i]) + " " + resultFileName(files[i]->path()),
                   resultFileName(files[i]->path()), items[i].size()});
    return batch.run([&](std::size_t i) {
        KbdDataAttribute& target = *targets[i];
        if (clearFirst) {
            if (t != type::Song)
                dialog().setCaption("Deleting..");
            deleteKbdItem(t, targets[i]);
            waitKbdReady(100);
            if (t != type::Song)
                dialog().setCaption("");
        }
        sendReread(items[i], t, {targets[i]});
        target.name = items[i].name();
        target.size = items[i].size();
        target.known = true;
        kbdListing_.showKbdList();
    });
}

void Transfers::finishSend(const Files& files, const std::vector<KbdDataAttributePtr>& targets,
                           const std::vector<std::string>& replaced) {
    // Inside the action's one session, without the dialog's progress window.
    dialog().setShowProgress(false);
    kbdListing_.queryFreeMemory();
    kbdListing_.showMemoryBar();
    if (files.size() > 1) {
        state_.view.showResult("Sent " + std::to_string(files.size()) + " items");
        return;
    }
    std::string text = "Sent " + resultFileName(files.front()->path()) + " into " +
                       slotName(state_.currentType, *targets.front());
    if (!replaced.front().empty())
        text += ", replacing \"" + resultName(replaced.front()) + "\"";
    state_.view.showResult(text);
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
    state_.view.showResult("Sent " + resultFileName(file.path()) + " into the package slots");
}

void Transfers::sendReread(KbdData& item, type::id type,
                           const std::vector<KbdDataAttributePtr>& records) {
    dialog().setShowProgress(true);
    const std::string slot = std::string(typeLabels[type]) + " " + std::to_string(item.position());
    // The dialog's blocks move the action's bar through the item.
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

bool Transfers::askBeforeReplacing(type::id type, const std::vector<KbdDataAttributePtr>& targets,
                                   const Files& files, std::vector<std::string>& replaced) {
    std::vector<KbdDataAttributePtr> occupiedTargets;
    std::vector<std::string> lost;
    for (const KbdDataAttributePtr& target : targets) {
        const bool holds = occupied(type, *target);
        replaced.push_back(holds ? (target->known ? target->name : std::string("?")) : "");
        if (holds) {
            occupiedTargets.push_back(target);
            lost.push_back(describeSlot(type, *target));
        }
    }
    if (lost.empty())
        return true;
    std::string text;
    if (files.size() == 1)
        text = "Replace " + lost.front() + " on the keyboard with " +
               fileName(files.front()->path()) + "?";
    else
        text = "Sending " + std::to_string(files.size()) + " files replaces " +
               std::to_string(lost.size()) + (lost.size() == 1 ? " item" : " items") +
               " on the keyboard. Replace them?";
    DestroyQuestion question{DestroyQuestion::Action::Replace, text, lost, true, lost.size() > 1};
    return confirmDestroyingAll(question, type, occupiedTargets);
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

} // namespace qel
