#pragma once

// The transfers between the PC and the keyboard: receiving an item into a
// file, sending a file into the keyboard, deleting an item and initialising
// the keyboard, with what every change of the keyboard does first so that no
// item there is destroyed for nothing (TransferChecks.cpp). The steps here
// run inside an action the DataManager facade started.

#include "core/KeyboardTables.h"
#include "workflows/DataManagerState.h"
#include "workflows/KbdListing.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qel {

class VdfData;

class Transfers : KbdSteps {
public:
    // How the keyboard is backed up into a folder before a change (the
    // backup's own body, inside the running action).
    using BackUp = std::function<void(const std::string& folder)>;

    Transfers(DataManagerState& state, KbdListing& listing)
        : KbdSteps(state), kbdListing_(listing) {}
    void setBackUp(BackUp backUp) { backUp_ = std::move(backUp); }
    // Where copies of items are kept before they are replaced or deleted:
    // empty (the default) for "Replaced/<date time>/" in the data directory,
    // a new folder for each action.
    void setReplacedFolder(std::string folder) { replacedFolder_ = std::move(folder); }

    // ---- the action bodies ----
    //
    // Each is one keyboard action on many items at once: one MIDI dialog
    // session, one question naming everything it will replace or delete,
    // asked once it is known that all of it can succeed (every file read,
    // the memory enough, the folder writable). The items then go one by
    // one (TransferBatch.h); a failure stops the batch, and what was done
    // stays done. Each says what it did through DataManagerView::showResult.

    // Receives `chosen` of the current type into `directory`; files them in
    // the PC list when `intoPcList`. The records of the files written, in
    // order; none when a Cancel ended the batch part-way.
    std::vector<VdfDataAttributePtr> receiveItems(const std::vector<KbdDataAttributePtr>& chosen,
                                                  const std::string& directory, bool intoPcList);
    // Sends the files at `paths` into the keyboard (see DataManager::putToKbd).
    // Each must hold an item of the current type: `fromPcList` says whether
    // they are rows of the PC list (which may be older than the files) or
    // files from elsewhere, for the message when one is not.
    void sendFiles(const std::vector<std::string>& paths, int kbdRow, bool fromPcList);
    void sendFile(const std::string& path, int kbdRow) { sendFiles({path}, kbdRow, true); }
    // Empties `chosen` of the current type, asking first, and reads the type again.
    void deleteSlots(const std::vector<KbdDataAttributePtr>& chosen);
    void initializeKbd(command::InitKind kind);

    // ---- steps the backup shares ----

    // Receives the item of `type` in keyboard slot `attribute` and saves it
    // in `directory`, replacing a file of that name as a whole; returns the
    // file's record. Opens and closes the MIDI dialog (with its progress).
    // Before the keyboard is asked anything, makes sure the folder exists (or
    // can be made) and takes new files; throws "Can't create the file in
    // DIRECTORY (REASON)" when not.
    VdfDataAttributePtr receiveKbdItem(type::id type, const KbdDataAttribute& attribute,
                                       const std::string& directory);
    // Sends the delete command of `type` for one item: nothing for a type that
    // has none, nor for an empty slot but a song's.
    void deleteKbdItem(type::id type, const KbdDataAttributePtr& attribute);
    // Deletes the last `count` items of a type, last first, stopping at the
    // list's start, with a readiness poll after each delete.
    void deleteLastKbdItems(type::id type, std::uint16_t count);
    // Sends `item` into the keyboard; when that fails, the slots it went to
    // are read again before the failure goes on.
    void sendReread(KbdData& item, type::id type, const std::vector<KbdDataAttributePtr>& records);
    // Asks the view; false when the user cancelled. Keeps a copy of `copyOf`
    // (of `copyType`), or backs the keyboard up, first when the answer says so.
    bool confirmDestroying(const DestroyQuestion& question, type::id copyType = type::UserTone,
                           const KbdDataAttributePtr& copyOf = nullptr);
    // The same for many items: keeps a copy of each of `copiesOf` that holds
    // something, in one folder, when the answer says so.
    bool confirmDestroyingAll(const DestroyQuestion& question, type::id copyType,
                              const std::vector<KbdDataAttributePtr>& copiesOf);
    // "USER RHYTHM 141 "DEMO RH1" 2048 bytes".
    static std::string describeSlot(type::id type, const KbdDataAttribute& slot);
    // Whether a slot holds something that a change would destroy.
    static bool occupied(type::id type, const KbdDataAttribute& slot);
    // Whether data type `type` has a delete command (3, 4, 5, 7, 8).
    static bool deletable(type::id type);

private:
    using Files = std::vector<std::unique_ptr<VdfData>>;
    // Every file of a send read whole, of the current type; those of size 0 left out.
    Files readForSending(const std::vector<std::string>& paths, bool fromPcList) const;
    // The variants of "Send": the slot types (songs included), SMF, a package.
    void putItemsToKbd(const Files& files, int kbdRow);
    void putSmfsToKbd(const Files& files);
    void putPackageToKbd(VdfData& file);
    // The slots a slot variant sends `count` files into: the one of `kbdRow`
    // (the first row when negative) for one file; for several, the rows from
    // `kbdRow` on, or with `kbdRow` negative the free slots in order, each
    // read again so that a slot filled since the list was read is never
    // taken. Empty when there is no such row; throws when too few.
    std::vector<KbdDataAttributePtr> sendTargets(std::size_t count, int kbdRow);
    std::vector<KbdDataAttributePtr> freeSlots(type::id type, std::size_t count,
                                               std::size_t searched);
    // Sends each item into its target, clearing the target first when
    // `clearFirst`; each row shows its item once it is there. False when a
    // Cancel ended it part-way.
    bool sendBatch(std::vector<KbdData>& items, const std::vector<KbdDataAttributePtr>& targets,
                   const Files& files, bool clearFirst);
    // After a send: the memory figures asked again, and the result said.
    void finishSend(const Files& files, const std::vector<KbdDataAttributePtr>& targets,
                    const std::vector<std::string>& replaced);
    // "USER RHYTHM 141": the type and the slot as the list shows it.
    static std::string slotName(type::id type, const KbdDataAttribute& slot);
    // A name as a result line shows it: without its padding, escaped.
    static std::string resultName(const std::string& name);
    // A path's file name as a result line shows it.
    static std::string resultFileName(const std::string& path);
    // The folder of replaced items for one action.
    std::string replacedFolder() const;
    // Receives the slot into `folder`.
    void keepCopy(type::id type, const KbdDataAttribute& slot, const std::string& folder);
    // Reads one slot's name and size again; marks it unknown when that fails.
    void rereadSlot(type::id type, KbdDataAttribute& slot);
    // After a failed change: the slots read again, and the list shown.
    void rereadAfterFailure(type::id type, const std::vector<KbdDataAttributePtr>& records);
    // Asks once before the files replace what `targets` hold; true at once
    // when they hold nothing. `replaced` gets the name each target held, or
    // "" for one that held nothing.
    bool askBeforeReplacing(type::id type, const std::vector<KbdDataAttributePtr>& targets,
                            const Files& files, std::vector<std::string>& replaced);
    // The slots of `type` a package may fill: its last ones.
    std::vector<KbdDataAttributePtr> packageSlots(type::id type) const;
    std::string getDataDirectory() const { return kbdListing_.getDataDirectory(); }

    KbdListing& kbdListing_;
    BackUp backUp_;
    std::string replacedFolder_;
};

} // namespace qel
