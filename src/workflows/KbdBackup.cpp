// The data manager's whole-keyboard backup and restore, made of the same
// receive and send steps as "Receive" and "Send".

#include "workflows/KbdBackup.h"

#include "core/Exception.h"
#include "core/ProgressText.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "platform/files/WritableFolder.h"
#include "workflows/BackupItemFile.h"
#include "workflows/BackupManifest.h"
#include "workflows/BackupSnapshots.h"
#include "workflows/SnapshotWriter.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace qel {

namespace {

namespace fs = std::filesystem;

// One file per slot, named by type and position: item names repeat, and may
// hold anything.
std::string backupFileName(type::id t, std::uint16_t no) {
    char name[32];
    std::snprintf(name, sizeof name, "%02d-%03u%s", static_cast<int>(t), static_cast<unsigned>(no),
                  t == type::Smf ? ".mid" : ".vdf");
    return name;
}

// Whether a restore clears `slot` before it sends: slots that can be emptied
// and hold something, and song slots always.
bool clearedBeforeRestore(type::id t, const KbdDataAttribute& slot) {
    return Transfers::deletable(t) && (slot.size != 0 || t == type::Song);
}

std::string modelText(std::int32_t code) {
    const command::Model* model = command::findModel(code);
    return (model ? "a " + std::string(model->caption) + " (model "
                  : "an unknown keyboard (model ") +
           std::to_string(code) + ")";
}

// "14:02", the local time of an ISO 8601 UTC time.
std::string localClock(const std::string& isoUtc) {
    const QDateTime time = QDateTime::fromString(QString::fromStdString(isoUtc), Qt::ISODate);
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("HH:mm")).toStdString()
                          : "?";
}

// The snapshot a restore of `folder` reads, complete and whole: every file
// it names is there and unchanged.
std::pair<std::string, BackupManifest> snapshotToRestore(const std::string& folder) {
    const std::optional<std::string> snapshot = snapshots::toRestore(folder);
    if (!snapshot)
        throw Exception("No backup in " + folder + ": it holds no " + BackupManifest::fileName +
                        " and no \"" + snapshots::latestName + "\" snapshot");
    std::optional<BackupManifest> manifest = BackupManifest::read(*snapshot);
    if (!manifest)
        throw Exception("No backup in " + *snapshot + ": it holds no " + BackupManifest::fileName);
    if (!manifest->complete)
        throw Exception("The backup " + *snapshot +
                        " is incomplete: it was interrupted. Run the backup again to complete "
                        "it, or restore an earlier one.");
    for (const BackupEntry& entry : manifest->items) {
        const std::string path = snapshots::inFolder(*snapshot, entry.file);
        std::error_code error;
        if (!fs::exists(path, error))
            throw Exception("The backup file " + path + " is missing");
        if (fileSha256(path) != entry.sha256)
            throw Exception("The backup file " + path + " does not match its manifest");
    }
    return {*snapshot, std::move(*manifest)};
}

} // namespace

void KbdBackup::writeBackup(const std::string& folder) {
    // A backup that could not be saved would be for nothing.
    platform::requireWritableFolder(folder);
    // One dialog for the whole run: each item's receive opens and closes
    // it only in name, instead of opening the MIDI ports again.
    QElapsedTimer clock;
    clock.start();
    const KbdSession session(state_.frame, false);
    const command::Model& model = kbdListing_.identifyKeyboard();
    // The list read is the first fifth of the bar, the items the rest.
    kbdListing_.refreshKbdData(0.2);
    state_.kbdListed = true;
    dialog().setShowProgress(true); // each item's transfer shows its progress
    std::int64_t bytes = 0;
    for (int t = 0; t <= type::Smf; ++t)
        for (const KbdDataAttributePtr& slot : state_.kbdLists.at(static_cast<type::id>(t)))
            bytes += std::max<std::int32_t>(slot->size, 0);
    state_.progress.beginPhase(1.0, bytes, true);

    SnapshotWriter snapshot(folder, model.code, std::string(model.caption),
                            QDateTime::currentDateTime());
    for (int t = 0; t <= type::Smf; ++t) {
        const auto type = static_cast<type::id>(t);
        for (const KbdDataAttributePtr& slot : state_.kbdLists.at(type)) {
            if (slot->size == 0)
                continue;
            BackupEntry entry{type,
                              slot->position,
                              slot->number,
                              slot->category,
                              slot->name,
                              slot->size,
                              backupFileName(type, slot->position),
                              "",
                              ""};
            if (snapshot.keep(entry)) {
                state_.progress.advance(slot->size);
                continue;
            }
            const VdfDataAttributePtr saved =
                transfers_.receiveKbdItem(type, *slot, snapshot.stagingFolder());
            entry.received = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
            snapshot.add(entry, saved->path);
            state_.view.showBackupStep("received " + describeBackupEntry(entry));
        }
    }
    snapshot.finish();
    if (snapshot.kept() > 0)
        state_.view.showBackupStep("kept " + std::to_string(snapshot.kept()) +
                                   " items received at " + localClock(snapshot.interruptedDate()) +
                                   " in the interrupted run");
    state_.view.showBackupStep(
        "backed up " + std::to_string(snapshot.itemCount()) + " items into " + snapshot.path() +
        ", " + std::to_string(snapshot.unchanged()) + " unchanged since the previous backup");
    const std::string items = std::to_string(snapshot.itemCount()) + " items";
    const std::string took = durationText(clock.elapsed() / 1000);
    state_.view.showResult("Backup: " + items + ", " + kilobyteText(bytes) + ", " + took + ", " +
                           std::to_string(snapshot.unchanged()) + " unchanged");
    std::vector<std::string> summary{
        items + " (" + kilobyteText(bytes) + ") backed up into " + snapshot.path(),
        std::to_string(snapshot.unchanged()) +
            " unchanged since the previous backup, kept as links to it",
        "Took " + took};
    if (snapshot.kept() > 0)
        summary.insert(summary.begin() + 1,
                       std::to_string(snapshot.kept()) + " items kept from the interrupted run");
    state_.view.showSummary("Backup", summary);
}

void KbdBackup::restore(const std::string& folder) {
    const auto [snapshot, manifest] = snapshotToRestore(folder);

    QElapsedTimer clock;
    clock.start();
    const KbdSession session(state_.frame, false);
    const command::Model& model = kbdListing_.identifyKeyboard();
    if (model.code != manifest.model)
        throw Exception("The backup is of " + modelText(manifest.model) + ", the keyboard is " +
                        modelText(model.code));
    // The bar: the list read to 10 %, the clearing to 20 %, the items to
    // 90 %, the final list read to the end.
    kbdListing_.refreshKbdData(0.1);
    state_.kbdListed = true;

    // Every file read, every target found and the memory counted before
    // anything changes.
    std::vector<std::unique_ptr<KbdData>> items;
    std::vector<KbdDataAttributePtr> targets;
    KeyboardMemoryNeed need, freed;
    DestroyQuestion question{DestroyQuestion::Action::Restore, "", {}, false, true};
    for (const BackupEntry& entry : manifest.items) {
        KbdDataAttributePtr target;
        for (const KbdDataAttributePtr& slot : state_.kbdLists.at(entry.type))
            if (slot->number == entry.number)
                target = slot;
        if (!target)
            throw Exception("The backup names a slot this keyboard does not have: " +
                            describeBackupEntry(entry));
        std::unique_ptr<VdfData> file =
            readBackupItem(snapshots::inFolder(snapshot, entry.file), entry);
        items.push_back(std::make_unique<KbdData>(target->number, target->position, *file));
        need += memoryNeeded(*items.back());
        if (clearedBeforeRestore(entry.type, *target))
            freed += memoryHeld(entry.type, *target);
        if (Transfers::occupied(entry.type, *target))
            question.lost.push_back(Transfers::describeSlot(entry.type, *target));
        targets.push_back(target);
    }
    kbdListing_.checkFits(need, freed);
    question.text = "Restoring puts " + std::to_string(items.size()) +
                    " items back into their slots, and replaces the " +
                    std::to_string(question.lost.size()) +
                    " items that the keyboard holds in them now.";
    if (!transfers_.confirmDestroying(question))
        return;

    // The slots being replaced are cleared first, so that the memory
    // they held counts as free.
    state_.progress.beginPhase(0.2, static_cast<std::int64_t>(targets.size()), false);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        stepProgress(1);
        const type::id t = manifest.items[i].type;
        if (!clearedBeforeRestore(t, *targets[i]))
            continue;
        transfers_.deleteKbdItem(t, targets[i]);
        waitKbdReady(100);
    }

    // The dialog stays open from here to the end (see the backup).
    std::int64_t bytes = 0;
    for (const auto& item : items)
        bytes += item->size();
    state_.progress.beginPhase(0.9, bytes, true);
    for (std::size_t i = 0; i < items.size(); ++i) {
        transfers_.sendReread(*items[i], manifest.items[i].type, {targets[i]});
        items[i].reset();
        state_.view.showBackupStep("restored " + describeBackupEntry(manifest.items[i]));
    }
    dialog().setShowProgress(false);
    kbdListing_.refreshKbdData(1.0);
    const std::string sent = std::to_string(items.size()) + " items";
    const std::string took = durationText(clock.elapsed() / 1000);
    state_.view.showResult("Restore: " + sent + ", " + kilobyteText(bytes) + ", " + took);
    state_.view.showSummary(
        "Restore",
        {sent + " (" + kilobyteText(bytes) + ") sent back into their slots from " + snapshot,
         std::to_string(question.lost.size()) + " items on the keyboard replaced", "Took " + took});
}

} // namespace qel
