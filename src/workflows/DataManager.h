#pragma once

// The data manager: what the main window and the command line call. It holds
// the lasting state of the window (the data type chosen, what the keyboard
// holds, the PC's files, the memory figures, the lists as models) apart from
// any widget, and runs the actions on it through its parts: KbdListing (the
// lists), Transfers (receive, send, delete, initialise), KbdBackup (backup
// and restore) and CardFiles (the memory card). The window, the command line
// and the tests each show it through a view of their own (DataManagerView.h).
//
// Every action runs to its end on the UI thread. Keyboard actions run inside
// the keyboard action frame: while one waits for the keyboard, the event loop
// runs, and every action, data type change and list update that would start
// meanwhile is refused (busy() is true). A failed keyboard action shows its
// failure under "ERROR" (DataManagerView::showKbdError); a failed file list
// update goes to the default error display. A cancel by the user is no
// failure: it shows "Cancelled" as the action's result (showResult).

#include "core/Catalogue.h"
#include "core/KeyboardTables.h"
#include "workflows/CardFiles.h"
#include "workflows/DataManagerState.h"
#include "workflows/DataManagerView.h"
#include "workflows/ItemListModels.h"
#include "workflows/KbdActionFrame.h"
#include "workflows/KbdBackup.h"
#include "workflows/KbdListing.h"
#include "workflows/Transfers.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qel {

class DataManager {
public:
    // `makeDialog` makes the MIDI dialog of each keyboard action; the data
    // directory and the card drive are those of `settings`.
    DataManager(DataManagerView& view, KbdActionFrame::DialogMaker makeDialog,
                const Settings& settings);
    DataManager(const DataManager&) = delete;
    DataManager& operator=(const DataManager&) = delete;

    // ---- the window ----

    // The start: buttons and memory bar as at start, then the PC list is
    // scanned and shown. No MIDI traffic.
    void start();
    // The data type selector's choice changed to `type` (0 to 9): every list
    // and the memory bar show that type.
    void changeDataType(type::id type);
    // The right-hand tab `tab` became the active one; the card tab reads the
    // card list again.
    void kbdPageControlChange(KbdTab tab);

    // ---- the keyboard list ----

    // "Update List": identifies the model, reads every slot of types 0 to 8
    // and the memory figures. True when the list was read (the window then
    // says listedText(); the command line prints the list instead).
    bool updateKbdList();
    // "Update This Type": identifies the model, then reads the current type's
    // slots and the memory figures only. True when they were read.
    bool updateThisType();
    // "Listed 233 items": the items the keyboard lists hold.
    std::string listedText() const;
    // Asks the keyboard its model only: the caption and tabs follow it, and
    // kbdModel() gives its code (0 until a keyboard was identified).
    void identifyKbd();
    // The keyboard list no longer stands for what a keyboard holds (other MIDI
    // devices were chosen): it is emptied, with the memory figures, and the
    // actions that need it wait for the next successful "Update List".
    void forgetKbdList();

    // ---- the PC list ----

    // The PC list read again from the data directory.
    void updatePcList();
    // The "Directory" setting, used as a prefix; empty when it is not set.
    std::string getDataDirectory() const { return kbdListing_.getDataDirectory(); }
    // Takes a new "Directory" setting (the preferences changed it). Lists nothing again.
    void setDataDirectory(std::string directory) { state_.dataDirectory = std::move(directory); }

    // ---- transfers ----

    // "Receive": reads the item behind keyboard list row `row` and saves it
    // as a file in the data directory (made when missing), replacing a file
    // of that name as a whole, and lists it in the PC list once. Nothing for
    // a row without an item or an empty slot. The MIDI dialog shows its
    // progress and Cancel; a failed or cancelled receive writes no file.
    void getFromKbd(int row) { getFromKbd(std::vector<int>{row}); }
    // Receive the items behind keyboard rows `rows` (the model's own rows)
    // into the data directory, in one action, in the order of the rows.
    // Rows without an item, slots of size 0 and, of several rows, empty
    // slots are left out. A failure stops the
    // batch and says which items were received; those stay.
    void getFromKbd(const std::vector<int>& rows);
    // Receive them into `folder` (a drag onto a file manager): the paths of
    // the files written, all of them, or none when the action failed or was
    // cancelled. Files there keep their names ("NAME (2).vdf" when taken).
    std::vector<std::string> getFromKbdInto(const std::vector<int>& rows,
                                            const std::string& folder);
    // "Send": sends the file behind PC list row `pcRow` into the keyboard:
    // into the slot behind keyboard row `kbdRow` (the first row when it is
    // negative) for types 0 to 7, into the first free SMF slot outside the
    // last ten, or as a package after clearing the package slots. Nothing for
    // a PC row without a file, or a file of size 0. Memory checks compare
    // the bytes the send will really move; "Memory Full" otherwise.
    void putToKbd(int pcRow, int kbdRow) { putToKbd(std::vector<int>{pcRow}, kbdRow); }
    // Send the files behind PC rows `pcRows`: one file as above; several
    // with `kbdRow` >= 0 into the slots of rows kbdRow, kbdRow+1, ... (one
    // slot each; what they replace is asked once), with `kbdRow` < 0 into
    // the free slots in order (nothing replaced). SMF go into free slots
    // whatever `kbdRow`; a package goes alone. The memory for all of it is
    // checked before any slot changes.
    void putToKbd(const std::vector<int>& pcRows, int kbdRow);
    // "Send" of the PC file at `path`, which must hold an item of the current
    // type (the command line's way in).
    void putFileToKbd(const std::string& path, int kbdRow);
    // The same as putToKbd() for files by path (files dropped from the
    // desktop onto a keyboard slot); each must hold an item of the current type.
    void putFilesToKbd(const std::vector<std::string>& paths, int kbdRow);
    // "Delete": empties the slot behind keyboard list row `row` (nothing for
    // a row without an item), waits until the keyboard is ready, and reads
    // the type again with the memory figures.
    void deleteKbdData(int row) { deleteKbdData(std::vector<int>{row}); }
    // Delete the items behind keyboard rows `rows`, in one action, with one
    // question naming them all; of several rows, empty slots are left out.
    void deleteKbdData(const std::vector<int>& rows);
    // Files dropped from the desktop onto the PC list: copied into the data
    // directory (PcFileImport.h), then the PC list is read again.
    void copyFilesToDataDirectory(const std::vector<std::string>& paths);
    // The Initialize menu: resets the keyboard's mixer, parameters or system
    // settings. Locks no button and reads no list again.
    void initMixer() { initializeKbd(command::InitKind::Mixer); }
    void initParameter() { initializeKbd(command::InitKind::Parameter); }
    void initSystem() { initializeKbd(command::InitKind::System); }
    // Where copies of items are kept before they are replaced or deleted:
    // empty (the default) for "Replaced/<date time>/" in the data directory,
    // a new folder for each action.
    void setReplacedFolder(std::string folder) { transfers_.setReplacedFolder(std::move(folder)); }

    // ---- backup ----

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

    // "Update Card List": the card folder read again and shown.
    void updateCardList();
    // "Send" on the "Card" tab: writes the file behind PC row `pcRow` to the
    // card folder as a whole, or shows "Memory Full" under "ERROR" when the
    // card's free space is smaller than the bytes to write (or unknown). A
    // file of that name on the card is replaced, and listed once.
    void putToCard(int pcRow);
    // "Send" on the "Card" tab of the PC file at `path` (the command line's way in).
    void putFileToCard(const std::string& path);
    // The "Drive" setting (empty when not set), and the card folder on it
    // (empty without a drive).
    std::string getCardDrive() const { return card_.getCardDrive(); }
    // Takes a new "Drive" setting (the preferences changed it). Lists nothing again.
    void setCardDrive(std::string drive) { state_.cardDrive = std::move(drive); }
    std::string getCardFolder() const { return card_.getCardFolder(); }
    // Whether a drive is set and holds the card folder; makes that folder
    // (see CardFiles::createCardFolder).
    CardFiles::FolderState cardFolderState() const { return card_.folderState(); }
    void createCardFolder() { card_.createCardFolder(); }
    // How the card's free space is asked; tests put a card of a chosen size
    // in its place.
    void setFreeSpaceQuery(CardFiles::FreeSpaceQuery query) {
        card_.setFreeSpaceQuery(std::move(query));
    }

    // ---- what the lists show ----

    // The rows of the keyboard, PC and card lists, with the item behind each.
    KbdSlotModel& kbdSlotModel() { return state_.kbdSlots; }
    FileListModel& pcFileModel() { return state_.pcFiles; }
    FileListModel& cardFileModel() { return state_.cardFiles; }
    // The item behind row `row` of the keyboard / PC list as shown now; null
    // when no item stands behind that row.
    KbdDataAttributePtr kbdRowItem(int row) const { return state_.kbdSlots.item(row); }
    VdfDataAttributePtr pcRowItem(int row) const { return state_.pcFiles.item(row); }

    // ---- state ----

    type::id currentType() const { return state_.currentType; }
    // Every list read from the keyboard, by type; a type missing was not read.
    const KbdDataAttributeLists& kbdLists() const { return state_.kbdLists; }
    // Whether the keyboard list stands for what the keyboard holds.
    bool kbdListed() const { return state_.kbdListed; }
    std::int32_t kbdModel() const { return state_.kbdModel; }
    std::int32_t usedDataMemory() const { return state_.usedDataMemory; }
    std::int32_t usedSongMemory() const { return state_.usedSongMemory; }
    const VdfDataAttributeLists& pcLists() const { return state_.pcLists; }
    const VdfDataAttributeLists& cardLists() const { return state_.cardLists; }

    // True while a keyboard action runs.
    bool busy() const { return state_.frame.busy(); }
    KbdActionFrame& frame() { return state_.frame; }
    // The running action's progress (ActionProgress.h).
    ActionProgress& actionProgress() { return state_.progress; }
    // The transfer steps, for tests that drive one inside an open dialog.
    Transfers& transfers() { return transfers_; }

    // Whether the Delete button serves data type `type` (3, 4, 5, 7, 8).
    static bool deletable(type::id type);

private:
    // Runs a keyboard action's body in the frame, with the buttons locked and
    // one progress window titled `title` (none for an empty title) from its
    // start to its end. A failure closes the window and the dialog and shows
    // "ERROR"; the user's cancel shows "Cancelled" as the result instead.
    // `lockButtons` false: the buttons stay as they are (Initialize), though
    // nothing else can start meanwhile either. True when the body succeeded.
    bool runKbdAction(const std::string& title, const std::function<void()>& body,
                      bool lockButtons = true);
    // The slots behind keyboard rows `rows`, in order, each once; rows
    // without an item left out, slots that read "(empty)" when
    // `withoutEmpty` (a selection of several rows), and slots of size 0 when
    // `receivable` (one chosen row of a fixed-size type is received even
    // when unnamed, as before).
    std::vector<KbdDataAttributePtr> kbdRowItems(const std::vector<int>& rows, bool withoutEmpty,
                                                 bool receivable) const;
    void initializeKbd(command::InitKind kind);
    void beginKbdOperation();
    void endKbdOperation();
    // Send and Receive as the active tab allows them.
    void enableTabButtons();
    // Runs a file list's scan, then shows the list, also after a failure,
    // which goes to the default error display. Nothing while an action runs.
    void scanAndShow(const std::function<void()>& scan, const std::function<void()>& show);

    DataManagerState state_;
    KbdListing kbdListing_{state_};
    Transfers transfers_{state_, kbdListing_};
    KbdBackup backup_{state_, kbdListing_, transfers_};
    CardFiles card_{state_};
    KbdTab activeTab_ = KbdTab::Keyboard;
};

} // namespace qel
