#pragma once

// The data manager: the lasting state of the main window (the data type
// chosen, what the keyboard holds, the PC's files, the memory figures) and the
// workflows that fill it, apart from any widget. The window, the command line
// and the tests drive it the same way, each through a view of its own
// (DataManagerView.h).
//
// Operations named like "updateKbdList" are the window's actions and
// steps; each runs to its end on the UI thread. Keyboard actions run inside
// the keyboard action frame: while one waits for the keyboard, the event loop
// runs, and every action, data type change and list update that would start
// meanwhile is refused (busy() is true).

#include "core/Catalogue.h"
#include "core/KeyboardTables.h"
#include "core/Settings.h"
#include "model/KbdData.h"
#include "model/KeyboardMemoryNeed.h"
#include "model/VdfDataAttribute.h"
#include "workflows/DataManagerView.h"
#include "workflows/KbdActionFrame.h"
#include "workflows/KbdSession.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qel {

class VdfData;
using KbdDataAttributeLists = std::map<type::id, KbdDataAttributeList>;

class DataManager {
public:
    // `makeDialog` makes the MIDI dialog of each keyboard action; the data
    // directory and the card drive are those of `settings`.
    DataManager(DataManagerView& view, KbdActionFrame::DialogMaker makeDialog,
                const Settings& settings);
    DataManager(const DataManager&) = delete;
    DataManager& operator=(const DataManager&) = delete;

    // The start: buttons and memory bar as at start, then the PC list is
    // scanned and shown. No MIDI traffic.
    void start();

    // ---- actions ----

    // "Update List": identifies the model, reads every slot of types 0 to 8
    // and the memory figures. Failures show under "ERROR".
    void updateKbdList();
    // "Update This Type": identifies the model, then reads the current type's
    // slots and the memory figures only.
    void updateThisType();
    // Asks the keyboard its model only: the caption and tabs follow it, and
    // kbdModel() gives its code (0 until a keyboard was identified).
    void identifyKbd();
    // The keyboard list no longer stands for what a keyboard holds (other MIDI
    // devices were chosen): it is emptied, with the memory figures, and the
    // actions that need it wait for the next successful "Update List".
    void forgetKbdList();
    // Where copies of items are kept before they are replaced or deleted:
    // empty (the default) for "Replaced/<date time>/" in the data directory,
    // a new folder for each action.
    void setReplacedFolder(std::string folder) { replacedFolder_ = std::move(folder); }
    // The PC list read again from the data directory.
    void updatePcList();
    // The data type selector's choice changed to `type` (0 to 9).
    void changeDataType(type::id type);
    // The right-hand tab `tab` became the active one.
    void kbdPageControlChange(KbdTab tab);
    // "Delete": empties the slot behind keyboard list row `row` (nothing for
    // a row without an item), waits until the keyboard is ready, and reads
    // the type again with the memory figures.
    void deleteKbdData(int row);
    // The Initialize menu: resets the keyboard's mixer, parameters or system
    // settings. Locks no button and reads no list again.
    void initMixer() { initializeKbd(command::InitKind::Mixer); }
    void initParameter() { initializeKbd(command::InitKind::Parameter); }
    void initSystem() { initializeKbd(command::InitKind::System); }

    // "Receive": reads the item behind keyboard list row `row` and saves it
    // as a file in the data directory (made when missing), replacing a file
    // of that name as a whole, and lists it in the PC list once. Nothing for
    // a row without an item or an empty slot. The MIDI dialog shows its
    // progress and Cancel; a failed or cancelled receive writes no file.
    void getFromKbd(int row);
    // "Send": sends the file behind PC list row `pcRow` into the keyboard:
    // into the slot behind keyboard row `kbdRow` (the first row when it is
    // negative) for types 0 to 7, into the first free SMF slot outside the
    // last ten, or as a package after clearing the package slots. Nothing for
    // a PC row without a file, or a file of size 0. Memory checks compare
    // the bytes the send will really move; "Memory Full" otherwise.
    void putToKbd(int pcRow, int kbdRow);
    // "Send" of the PC file at `path`, which must hold an item of the current
    // type (the command line's way in).
    void putFileToKbd(const std::string& path, int kbdRow);

    // ---- deleting and initialising ----

    // Sends the delete command of `type` for one item: nothing for a type that
    // has none, nor for an empty slot but a song's.
    void deleteKbdItem(type::id type, const KbdDataAttributePtr& attribute);
    // Deletes the last `count` items of a type, last first, stopping at the
    // list's start, with a readiness poll after each delete.
    void deleteLastKbdItems(type::id type, std::uint16_t count);
    void initializeKbd(command::InitKind kind);

    // Receives the item of `type` in keyboard slot `attribute` and saves it
    // in `directory`, replacing a file of that name as a whole; returns the
    // file's record. Opens and closes the MIDI dialog (with its progress).
    // Before the keyboard is asked anything, makes sure the folder exists (or
    // can be made) and takes new files; throws "Can't create the file in
    // DIRECTORY (REASON)" when not.
    VdfDataAttributePtr receiveKbdItem(type::id type, const KbdDataAttribute& attribute,
                                       const std::string& directory);

    // ---- sending ----

    // The variants of "Send". `file` is the PC file, read for sending.
    void putItemToKbd(VdfData& file, int kbdRow);
    void putSongToKbd(VdfData& file, int kbdRow);
    void putSmfToKbd(VdfData& file);
    void putPackageToKbd(VdfData& file);

    // ---- whole-keyboard backup ----

    // "Back Up Keyboard": every non-empty item of types 0 to 8 into `folder`,
    // one file per item, with a manifest (BackupManifest.h). Items whose
    // file still matches the manifest and whose name and size on the
    // keyboard are unchanged are not received again, so an interrupted
    // backup resumes. Each item is reported through showBackupStep().
    void backupKbd(const std::string& folder);
    // "Restore Keyboard": every item of the backup in `folder` back into its
    // own slot. Refuses a folder whose files do not match the manifest, or a
    // keyboard of another model, before anything is sent; clears the
    // deletable targets first and checks the memory, so that no send runs
    // out of memory part-way; ends with "Update List".
    void restoreKbd(const std::string& folder);

    // ---- the memory card ----

    // "Update Card List": the card folder read again and shown. Failures go
    // to the default error display.
    void updateCardList();
    // "Send" on the "Card" tab: writes the file behind PC row `pcRow` to the
    // card folder as a whole, or shows "Memory Full" under "ERROR" when the
    // card's free space is smaller than the bytes to write (or unknown). A
    // file of that name on the card is replaced, and listed once.
    void putToCard(int pcRow);
    // "Send" on the "Card" tab of the PC file at `path` (the command line's way in).
    void putFileToCard(const std::string& path);
    // The card actions that are not provided: each throws its title.
    [[noreturn]] static void deleteCardData();
    [[noreturn]] static void getFromCard();
    [[noreturn]] static void updateDiskList();
    [[noreturn]] static void deleteDiskData();
    [[noreturn]] static void putToDisk();
    [[noreturn]] static void getFromDisk();

    // The "Drive" setting: the root folder of the card reader's volume;
    // empty when it is not set.
    std::string getCardDrive() const { return cardDrive_; }
    // Takes a new "Drive" setting (the preferences changed it). Lists nothing again.
    void setCardDrive(std::string drive) { cardDrive_ = std::move(drive); }
    // The card folder: the drive + "VORLA_MD/"; empty when no drive is set.
    std::string getCardFolder() const;
    // Rebuilds cardLists from the card folder: "*.z0*" files, then "*.mid"
    // files; folders and files with no card extension are left out.
    void scanCardFiles();
    void addCardFile(const std::string& fileName);
    void showCardList();
    const VdfDataAttributeLists& cardLists() const { return cardLists_; }

    // How the card's free space is asked (bytes, -1 when unknown); tests put
    // a card of a chosen size in its place.
    using FreeSpaceQuery = std::function<std::int64_t(const std::string& drive)>;
    void setFreeSpaceQuery(FreeSpaceQuery query) { freeSpace_ = std::move(query); }

    // ---- the keyboard action frame ----

    void checkMidiError() const { frame_.checkMidiError(); }
    void beginKbdOperation();
    void endKbdOperation();
    void waitKbdReady(int limit) { frame_.waitKbdReady(limit); }

    // ---- the keyboard list ----

    void refreshKbdData();
    void listKbdType(type::id type);
    void queryKbdItems(category::id category, type::id type, bool stepProgress,
                       KbdDataAttributeList& records, std::uint16_t count,
                       std::uint16_t firstNumber, std::uint16_t firstPosition);
    void queryFreeMemory();
    void showMemoryBar();
    void showKbdList();

    // ---- the PC list ----

    // The "Directory" setting, used as a prefix; empty when it is not set.
    std::string getDataDirectory() const { return dataDirectory_; }
    // Takes a new "Directory" setting (the preferences changed it). Lists nothing again.
    void setDataDirectory(std::string directory) { dataDirectory_ = std::move(directory); }
    // Rebuilds pcLists from the data directory. Throws the first file's
    // failure; the files before it stay listed.
    void scanPcFiles();
    void addPcFile(const std::string& fileName);
    void showPcList();

    // ---- state ----

    type::id currentType() const { return currentType_; }
    const KbdDataAttributeLists& kbdLists() const { return kbdLists_; }
    bool kbdListed() const { return kbdListed_; }
    std::int32_t kbdModel() const { return kbdModel_; }
    std::int32_t usedDataMemory() const { return usedDataMemory_; }
    std::int32_t usedSongMemory() const { return usedSongMemory_; }
    const VdfDataAttributeLists& pcLists() const { return pcLists_; }
    KbdTab activeTab() const { return activeTab_; }

    // The item behind row `row` of the keyboard / PC list as shown now; null
    // when no item stands behind that row.
    KbdDataAttributePtr kbdRowItem(int row) const;
    VdfDataAttributePtr pcRowItem(int row) const;

    // True while a keyboard action runs.
    bool busy() const { return frame_.busy(); }
    KbdActionFrame& frame() { return frame_; }

    // Whether the Delete button serves data type `type` (3, 4, 5, 7, 8).
    static bool deletable(type::id type);

private:
    // Runs a keyboard action's body in the frame, with the buttons locked; a
    // failure closes the progress window and the dialog and shows "ERROR".
    // `lockButtons` false: the buttons stay as they are (Initialize), though
    // nothing else can start meanwhile either.
    void runKbdAction(const std::function<void()>& body, bool lockButtons = true);
    // Identifies the keyboard: caption and tabs; "Unknown Keyboard" otherwise.
    const command::Model& identifyKeyboard();
    MidiDialog& dialog();
    void stepProgress(int steps);
    // Runs a file list's scan, then shows the list, also after a failure,
    // which goes to the default error display. Nothing while an action runs.
    void scanAndShow(void (DataManager::*scan)(), void (DataManager::*show)());
    // Send and Receive as the active tab allows them.
    void enableTabButtons();
    // After a slot variant sent `item` into `target`: the row shows it, and
    // the memory figures are asked again.
    void finishSlotSend(KbdSession& session, KbdDataAttribute& target, const KbdData& item);
    // The keyboard row a slot variant sends into: `kbdRow`, or the first row
    // (selected on screen) when `kbdRow` is negative.
    KbdDataAttributePtr sendTarget(int kbdRow);

    // ---- before and after a change of the keyboard (DataManagerChanges.cpp) ----

    // The slots of `type` as last read from the keyboard; null when the type
    // was not read since the list was last emptied.
    const KbdDataAttributeList* listedSlots(type::id type) const;
    // Reads the lists among `types` that were not read, with the progress
    // window, so that no action decides on a list it never saw.
    void ensureListed(std::initializer_list<type::id> types);
    // Asks the keyboard's free memory and throws "Memory Full" unless `need`
    // fits into it together with what the action's own clearing frees.
    void checkFits(const KeyboardMemoryNeed& need, const KeyboardMemoryNeed& freed);
    // "USER RHYTHM 141 "DEMO RH1" 2048 bytes".
    static std::string describeSlot(type::id type, const KbdDataAttribute& slot);
    // "USER RHYTHM 141": the type and the slot as the list shows it.
    static std::string slotName(type::id type, const KbdDataAttribute& slot);
    // Whether a slot holds something that a change would destroy.
    static bool occupied(type::id type, const KbdDataAttribute& slot);
    // Asks the view; false when the user cancelled. Keeps a copy of `copyOf`
    // (of `copyType`), or backs the keyboard up, first when the answer says so.
    bool confirmDestroying(const DestroyQuestion& question, type::id copyType = type::UserTone,
                           const KbdDataAttributePtr& copyOf = nullptr);
    // Receives the slot into the folder of replaced items.
    void keepCopy(type::id type, const KbdDataAttribute& slot);
    // Reads one slot's name and size again; marks it unknown when that fails.
    void rereadSlot(type::id type, KbdDataAttribute& slot);
    // After a failed change: the slots read again, and the list shown.
    void rereadAfterFailure(type::id type, const std::vector<KbdDataAttributePtr>& records);
    // Sends `item` into the keyboard; when that fails, the slots it went to
    // are read again before the failure goes on.
    void sendReread(KbdData& item, type::id type, const std::vector<KbdDataAttributePtr>& records);
    // Asks before `file` replaces what `target` holds; true at once for a
    // slot that holds nothing.
    bool askBeforeReplacing(type::id type, const KbdDataAttributePtr& target, const VdfData& file);
    // The slots of `type` a package may fill: its last ones.
    std::vector<KbdDataAttributePtr> packageSlots(type::id type) const;
    // The body of "Back Up Keyboard", inside a running action.
    void writeBackup(const std::string& folder);
    // A list read failed part-way: the keyboard list no longer stands for
    // the keyboard.
    void forgetKbdListAfterFailure();
    // Files `attribute` under `type` in `lists`, in place of any record of
    // the same file.
    static void fileRecord(VdfDataAttributeLists& lists, type::id type,
                           VdfDataAttributePtr attribute);

    DataManagerView& view_;
    KbdActionFrame frame_;
    std::string dataDirectory_;
    std::string cardDrive_;

    type::id currentType_ = type::UserTone;
    KbdDataAttributeLists kbdLists_;
    bool kbdListed_ = false;
    std::int32_t kbdModel_ = 0;
    std::int32_t usedDataMemory_ = 0;
    std::int32_t usedSongMemory_ = 0;
    VdfDataAttributeLists pcLists_;
    VdfDataAttributeLists cardLists_;
    FreeSpaceQuery freeSpace_;
    KbdTab activeTab_ = KbdTab::Keyboard;
    int progressPosition_ = 0;
    std::string replacedFolder_;
    // True from the start of a list read to its successful end.
    bool listing_ = false;

    // The items behind the rows on screen, row by row.
    std::vector<KbdDataAttributePtr> kbdRows_;
    std::vector<VdfDataAttributePtr> pcRows_;
};

} // namespace qel
