#pragma once

// The data manager: the lasting state of the main window (the data type
// chosen, what the keyboard holds, the PC's files, the memory figures) and the
// workflows that fill it, apart from any widget. The window, the command line
// and the tests drive it the same way, each through a view of its own
// (DataManagerView.h).
//
// Operations named like "UpdateKbdListExecute" are the window's actions and
// steps; each runs to its end on the UI thread. Keyboard actions run inside
// the keyboard action frame: while one waits for the keyboard, the event loop
// runs, and every action, data type change and list update that would start
// meanwhile is refused (busy() is true).

#include "core/Catalogue.h"
#include "core/KeyboardTables.h"
#include "model/KbdData.h"
#include "model/VdfDataAttribute.h"
#include "workflows/DataManagerView.h"
#include "workflows/KbdActionFrame.h"

#include <QString>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qel {

using KbdDataAttributeFolders = std::map<type::id, KbdDataAttributeFolder>;

class DataManager {
public:
    // `makeDialog` makes the MIDI dialog of each keyboard action;
    // `registryLocation` is the settings document.
    DataManager(DataManagerView& view, KbdActionFrame::DialogMaker makeDialog,
                QString registryLocation);
    DataManager(const DataManager&) = delete;
    DataManager& operator=(const DataManager&) = delete;

    // The start: buttons and memory bar as at start, then the PC list is
    // scanned and shown. No MIDI traffic.
    void start();

    // ---- actions ----

    // "Update List": identifies the model, reads every slot of types 0 to 8
    // and the memory figures. Failures show under "ERROR".
    void UpdateKbdListExecute();
    // "Update This Type": identifies the model, then reads the current type's
    // slots and the memory figures only.
    void UpdateThisTypeExecute();
    // The PC list read again from the data directory.
    void UpdatePCListExecute();
    // The data type selector's choice changed to `type` (0 to 9).
    void ChangeDataTypeExecute(type::id type);
    // The right-hand tab `tab` became the active one.
    void KbdPageControlChange(KbdTab tab);
    // "Delete": empties the slot behind keyboard list row `row` (nothing for
    // a row without an item), waits until the keyboard is ready, and reads
    // the type again with the memory figures.
    void DeleteKbdDataExecute(int row);
    // The Initialize menu: resets the keyboard's mixer, parameters or system
    // settings. Locks no button and reads no list again.
    void InitMixerExecute() { InitializeKbd(command::InitKind::Mixer); }
    void InitParameterExecute() { InitializeKbd(command::InitKind::Parameter); }
    void InitSystemExecute() { InitializeKbd(command::InitKind::System); }

    // ---- deleting and initialising ----

    // Sends the delete command of `type` for one item: nothing for a type that
    // has none, nor for an empty slot but a song's.
    void DeleteKbdItem(type::id type, const KbdDataAttributePtr& attribute);
    // Deletes the last `count` items of a type, last first, stopping at the
    // folder's start, with a readiness poll after each delete.
    void DeleteLastKbdItems(type::id type, std::uint16_t count);
    void InitializeKbd(command::InitKind kind);

    // ---- the keyboard action frame ----

    void OpenMidiDialog(bool showProgress) { frame_.openMidiDialog(showProgress); }
    void CloseMidiDialog() { frame_.closeMidiDialog(); }
    void CheckMidiError() const { frame_.checkMidiError(); }
    void BeginKbdOperation();
    void EndKbdOperation();
    void WaitKbdReady(int limit) { frame_.waitKbdReady(limit); }

    // ---- the keyboard list ----

    void RefreshKbdData();
    void ListKbdType(type::id type);
    void QueryKbdItems(category::id category, type::id type, bool stepProgress,
                       KbdDataAttributeFolder& folder, std::uint16_t count,
                       std::uint16_t firstNumber, std::uint16_t firstPosition);
    void QueryFreeMemory();
    void ShowMemoryBar();
    void ShowKbdList();

    // ---- the PC list ----

    // The "Directory" setting, used as a prefix; empty when it is not set.
    std::string GetDataDirectory() const;
    // Rebuilds pcFolders from the data directory. Throws the first file's
    // failure; the files before it stay listed.
    void ScanPCFiles();
    void AddPCFile(const std::string& fileName);
    void ShowPCList();

    // ---- state ----

    type::id currentType() const { return currentType_; }
    const KbdDataAttributeFolders& kbdFolders() const { return kbdFolders_; }
    bool kbdListed() const { return kbdListed_; }
    std::int32_t usedDataMemory() const { return usedDataMemory_; }
    std::int32_t usedSongMemory() const { return usedSongMemory_; }
    const VdfDataAttributeFolders& pcFolders() const { return pcFolders_; }
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
    template <typename Body> void runKbdAction(Body&& body, bool lockButtons = true);
    // Identifies the keyboard: caption and tabs; "Unknown Keyboard" otherwise.
    void identifyKeyboard();
    IQelMidiDialog& dialog();
    void stepProgress(int steps);

    DataManagerView& view_;
    KbdActionFrame frame_;
    QString registryLocation_;

    type::id currentType_ = type::UserTone;
    KbdDataAttributeFolders kbdFolders_;
    bool kbdListed_ = false;
    std::int32_t usedDataMemory_ = 0;
    std::int32_t usedSongMemory_ = 0;
    VdfDataAttributeFolders pcFolders_;
    KbdTab activeTab_ = KbdTab::Keyboard;
    int progressPosition_ = 0;

    // The items behind the rows on screen, row by row.
    std::vector<KbdDataAttributePtr> kbdRows_;
    std::vector<VdfDataAttributePtr> pcRows_;
};

} // namespace qel
