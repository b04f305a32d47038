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

    // Receives `attribute` of the current type into the data directory and
    // files it in the PC list.
    void receiveIntoPcList(const KbdDataAttribute& attribute);
    // Sends the file at `path` into the keyboard (see DataManager::putFileToKbd).
    void sendFile(const std::string& path, int kbdRow);
    // Empties the slot `attribute` of the current type, asking first.
    void deleteSlot(const KbdDataAttributePtr& attribute);
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
    // "USER RHYTHM 141 "DEMO RH1" 2048 bytes".
    static std::string describeSlot(type::id type, const KbdDataAttribute& slot);
    // Whether a slot holds something that a change would destroy.
    static bool occupied(type::id type, const KbdDataAttribute& slot);
    // Whether data type `type` has a delete command (3, 4, 5, 7, 8).
    static bool deletable(type::id type);

private:
    // The variants of "Send". `file` is the PC file, read for sending.
    void putItemToKbd(VdfData& file, int kbdRow);
    void putSongToKbd(VdfData& file, int kbdRow);
    void putSmfToKbd(VdfData& file);
    void putPackageToKbd(VdfData& file);
    // After a slot variant sent `item` into `target`: the row shows it, and
    // the memory figures are asked again.
    void finishSlotSend(KbdSession& session, KbdDataAttribute& target, const KbdData& item);
    // The keyboard row a slot variant sends into: `kbdRow`, or the first row
    // (selected on screen) when `kbdRow` is negative.
    KbdDataAttributePtr sendTarget(int kbdRow);
    // "USER RHYTHM 141": the type and the slot as the list shows it.
    static std::string slotName(type::id type, const KbdDataAttribute& slot);
    // Receives the slot into the folder of replaced items.
    void keepCopy(type::id type, const KbdDataAttribute& slot);
    // Reads one slot's name and size again; marks it unknown when that fails.
    void rereadSlot(type::id type, KbdDataAttribute& slot);
    // After a failed change: the slots read again, and the list shown.
    void rereadAfterFailure(type::id type, const std::vector<KbdDataAttributePtr>& records);
    // Asks before `file` replaces what `target` holds; true at once for a
    // slot that holds nothing.
    bool askBeforeReplacing(type::id type, const KbdDataAttributePtr& target, const VdfData& file);
    // The slots of `type` a package may fill: its last ones.
    std::vector<KbdDataAttributePtr> packageSlots(type::id type) const;
    std::string getDataDirectory() const { return kbdListing_.getDataDirectory(); }

    KbdListing& kbdListing_;
    BackUp backUp_;
    std::string replacedFolder_;
};

} // namespace qel
