// The data manager's whole-keyboard backup and restore, made of the same
// receive and send steps as "Receive" and "Send".

#include "core/Exception.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "platform/files/FileBytes.h"
#include "workflows/BackupManifest.h"
#include "workflows/DataManager.h"

#include <QDateTime>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace qel {

namespace {

namespace fs = std::filesystem;

// Received files wait here until they are whole, then move into the folder.
constexpr const char* stagingFolder = ".receiving/";

std::string inFolder(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// One file per slot, named by type and position: item names repeat, and may
// hold anything.
std::string backupFileName(type::id t, std::uint16_t no) {
    char name[32];
    std::snprintf(name, sizeof name, "%02d-%03u%s", static_cast<int>(t), static_cast<unsigned>(no),
                  t == type::Smf ? ".mid" : ".vdf");
    return name;
}

std::string describe(const BackupEntry& entry) {
    return std::string(typeLabels[entry.type]) + " " + std::to_string(entry.no) + " \"" +
           entry.name + "\"";
}

// A saved SMF goes back exactly as the keyboard held it, without the song
// converter, under the name the keyboard gave it.
void loadSmfAsItIs(VdfData& file, const BackupEntry& entry) {
    platform::FileBytes bytes(file.path());
    ByteVector data;
    if (!bytes.isOpen() || !bytes.read(0, bytes.size(), data) || data.size() > 0xFFFFFFFFu)
        throw Exception("Can't open the file: " + file.path());
    file.setSize(static_cast<std::uint32_t>(data.size()));
    if (data.size() % 2 != 0)
        data.push_back(0x00); // items travel in byte pairs
    file.data() = std::move(data);
    file.setName(entry.name);
}

// Whether a restore clears `slot` before it sends: slots that can be emptied
// and hold something, and song slots always.
bool clearedBeforeRestore(type::id t, const KbdDataAttribute& slot) {
    return DataManager::deletable(t) && (slot.size != 0 || t == type::Song);
}

} // namespace

void DataManager::BackupKbdExecute(const std::string& folder) {
    runKbdAction([this, folder] { backUpKbd(folder); });
}

void DataManager::backUpKbd(const std::string& folder) {
    {
        std::error_code error;
        fs::create_directories(folder, error);
        if (error)
            throw Exception("Can't create the folder: " + folder);
        // One dialog for the whole run: each item's receive opens and closes
        // it only in name, instead of opening the MIDI ports again.
        OpenMidiDialog(false);
        const command::Model& model = identifyKeyboard();
        RefreshKbdData();
        kbdListed_ = true;
        dialog().SetShowProgress(true); // each item's transfer shows its progress

        std::optional<BackupManifest> earlier = BackupManifest::read(folder);
        if (earlier && earlier->model != model.code)
            earlier.reset(); // another keyboard's: nothing in it can be kept
        BackupManifest manifest{model.code,
                                std::string(model.caption),
                                QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString(),
                                {}};
        const std::string staging = inFolder(folder, stagingFolder);
        // The manifest says what a backup finished, so that an interrupted
        // one resumes: written at least once a second, and whatever ends the
        // run, without a durable write for every small item.
        auto lastWritten = std::chrono::steady_clock::now();
        try {
            for (int t = 0; t <= type::Smf; ++t) {
                const auto type = static_cast<type::id>(t);
                for (const KbdDataAttributePtr& slot : kbdFolders_.at(type)) {
                    if (slot->size == 0)
                        continue;
                    BackupEntry entry{type,
                                      slot->position,
                                      slot->number,
                                      slot->category,
                                      slot->name,
                                      slot->size,
                                      backupFileName(type, slot->position),
                                      ""};
                    const std::string path = inFolder(folder, entry.file);
                    const BackupEntry* kept = earlier ? earlier->find(type, slot->number) : nullptr;
                    if (kept && kept->name == entry.name && kept->size == entry.size &&
                        kept->file == entry.file && fileSha256(path) == kept->sha256) {
                        manifest.items.push_back(*kept);
                        view_.showBackupStep("kept     " + describe(entry));
                        continue;
                    }
                    const VdfDataAttributePtr saved = ReceiveKbdItem(type, *slot, staging);
                    fs::rename(saved->path, path, error);
                    if (error)
                        throw Exception("Can't create the file: " + path);
                    entry.sha256 = fileSha256(path);
                    manifest.items.push_back(entry);
                    view_.showBackupStep("received " + describe(entry));
                    if (std::chrono::steady_clock::now() - lastWritten >= std::chrono::seconds(1)) {
                        manifest.write(folder);
                        lastWritten = std::chrono::steady_clock::now();
                    }
                }
            }
        } catch (...) {
            manifest.write(folder);
            throw;
        }
        fs::remove_all(staging, error);
        manifest.write(folder);
        CloseMidiDialog();
    }
}

void DataManager::RestoreKbdExecute(const std::string& folder) {
    runKbdAction([this, folder] {
        const std::optional<BackupManifest> manifest = BackupManifest::read(folder);
        if (!manifest)
            throw Exception("No backup in " + folder + ": it holds no " + BackupManifest::fileName);
        for (const BackupEntry& entry : manifest->items) {
            const std::string path = inFolder(folder, entry.file);
            if (fileSha256(path) != entry.sha256)
                throw Exception("The backup file " + path + " does not match its manifest");
        }

        OpenMidiDialog(false);
        const command::Model& model = identifyKeyboard();
        if (model.code != manifest->model)
            throw Exception("The backup is of a " + manifest->modelName + ", the keyboard is a " +
                            std::string(model.caption));
        RefreshKbdData();
        kbdListed_ = true;

        // Every file read, every target found and the memory counted before
        // anything changes.
        std::vector<std::unique_ptr<KbdData>> items;
        std::vector<KbdDataAttributePtr> targets;
        KeyboardMemoryNeed need, freed;
        DestroyQuestion question{DestroyQuestion::Action::Restore, "", {}, false, true};
        for (const BackupEntry& entry : manifest->items) {
            KbdDataAttributePtr target;
            for (const KbdDataAttributePtr& slot : kbdFolders_.at(entry.type))
                if (slot->number == entry.number)
                    target = slot;
            if (!target)
                throw Exception("The backup names a slot this keyboard does not have: " +
                                describe(entry));
            VdfData file(inFolder(folder, entry.file));
            if (file.type() != entry.type)
                throw Exception("The backup file " + file.path() + " does not match its manifest");
            if (entry.type == type::Smf)
                loadSmfAsItIs(file, entry);
            else
                file.loadForSending();
            items.push_back(std::make_unique<KbdData>(target->number, target->position, file));
            need += memoryNeeded(*items.back());
            if (clearedBeforeRestore(entry.type, *target))
                freed += memoryHeld(entry.type, *target);
            if (occupied(entry.type, *target))
                question.lost.push_back(describeSlot(entry.type, *target));
            targets.push_back(target);
        }
        checkFits(need, freed);
        question.text = "Restoring puts " + std::to_string(items.size()) +
                        " items back into their slots, and replaces the " +
                        std::to_string(question.lost.size()) +
                        " items that the keyboard holds in them now.";
        if (!confirmDestroying(question))
            return;

        // The slots being replaced are cleared first, so that the memory
        // they held counts as free.
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const type::id t = manifest->items[i].type;
            if (!clearedBeforeRestore(t, *targets[i]))
                continue;
            DeleteKbdItem(t, targets[i]);
            WaitKbdReady(100);
        }

        // The dialog stays open from here to the end (see the backup).
        for (std::size_t i = 0; i < items.size(); ++i) {
            sendReread(*items[i], manifest->items[i].type, {targets[i]});
            items[i].reset();
            view_.showBackupStep("restored " + describe(manifest->items[i]));
        }
        dialog().SetShowProgress(false);
        RefreshKbdData();
        CloseMidiDialog();
    });
}

} // namespace qel
