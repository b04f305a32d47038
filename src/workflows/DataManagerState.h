#pragma once

// What the data manager's parts share: the view, the keyboard action frame,
// the data type chosen, the lists read from the keyboard, the PC and the card
// with the models that show them, and the memory figures. Each part
// (KbdListing, Transfers, KbdBackup, CardFiles) works on this state; the
// DataManager facade owns it.

#include "core/Catalogue.h"
#include "core/Settings.h"
#include "model/KbdData.h"
#include "model/VdfDataAttribute.h"
#include "workflows/ActionProgress.h"
#include "workflows/DataManagerView.h"
#include "workflows/ItemListModels.h"
#include "workflows/KbdActionFrame.h"
#include "workflows/KbdSession.h"

#include <cstdint>
#include <map>
#include <string>

namespace qel {

using KbdDataAttributeLists = std::map<type::id, KbdDataAttributeList>;

struct DataManagerState {
    DataManagerState(DataManagerView& view, KbdActionFrame::DialogMaker makeDialog,
                     const Settings& settings)
        : view(view), frame(std::move(makeDialog)), dataDirectory(settings.dataDirectory),
          cardDrive(settings.cardDrive) {
        frame.setActionProgress(&progress.dialogReporter());
    }

    DataManagerView& view;
    // The running action's one progress window.
    ActionProgress progress{view};
    KbdActionFrame frame;
    // The "Directory" setting, used as a prefix, and the "Drive" setting;
    // empty when not set.
    std::string dataDirectory;
    std::string cardDrive;

    type::id currentType = type::UserTone;
    // The slots of each type read from the keyboard; a type missing was not
    // read since the list was last emptied.
    KbdDataAttributeLists kbdLists;
    bool kbdListed = false;
    std::int32_t kbdModel = 0;
    std::int32_t usedDataMemory = 0;
    std::int32_t usedSongMemory = 0;
    VdfDataAttributeLists pcLists;
    VdfDataAttributeLists cardLists;
    // True from the start of a list read to its successful end.
    bool listing = false;

    // What the lists show of the current type, row by row.
    KbdSlotModel kbdSlots;
    FileListModel pcFiles;
    FileListModel cardFiles{cardRowsMimeType};
};

// The steps that talk to the keyboard inside a running action: the MIDI
// dialog of the action frame, and the action's progress.
class KbdSteps {
protected:
    explicit KbdSteps(DataManagerState& state) : state_(state) {}

    void checkMidiError() const { state_.frame.checkMidiError(); }
    void waitKbdReady(int limit) { state_.frame.waitKbdReady(limit); }
    // The open dialog; throws when none is open.
    MidiDialog& dialog();
    // `steps` units of the action's current progress phase done.
    void stepProgress(int steps) { state_.progress.advance(steps); }

    DataManagerState& state_;
};

// Files `attribute` under `type` in `lists`, in place of any record of the
// same file.
void fileRecord(VdfDataAttributeLists& lists, type::id type, VdfDataAttributePtr attribute);

} // namespace qel
