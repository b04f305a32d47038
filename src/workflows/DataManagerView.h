#pragma once

// What the data manager shows, and where, apart from the lists (which are
// models the views follow, ItemListModels.h): the main window implements it with
// widgets, the command line with a terminal, and the tests with a recording.
// The data manager calls it on the UI thread only.

#include "core/Catalogue.h"
#include "core/ProgressReporter.h"

#include <string>
#include <vector>

namespace qel {

// The right-hand tabs.
enum class KbdTab { Keyboard, Card, Disk };

// What an action is about to destroy on the keyboard. It is asked once the
// action knows that it can succeed (the file read, the memory enough) and
// before the first item on the keyboard changes.
struct DestroyQuestion {
    enum class Action { Replace, Delete, SendPackage, Restore, Initialize };
    Action action = Action::Delete;
    // The question, one sentence naming what will be lost.
    std::string text;
    // What will be lost, one line per item (type, slot, name, size), or the
    // settings that Initialize resets. Text in UTF-8, names escaped.
    std::vector<std::string> lost;
    // One item: the user may keep a copy of it on the PC first.
    bool offerCopy = false;
    // Many items: the user may back the keyboard up first.
    bool offerBackUp = false;
};

struct DestroyAnswer {
    enum class Choice { Proceed, Cancel, BackUpFirst };
    Choice choice = Choice::Cancel;
    // With offerCopy: receive the item into the folder of replaced items
    // before it is destroyed.
    bool keepCopy = false;
    // With BackUpFirst: the folder the backup goes into; the action goes on
    // once the backup is complete.
    std::string backupFolder;
};

class DataManagerView {
public:
    virtual ~DataManagerView() = default;

    // Selects row `row` of the keyboard list (a send into the first slot when
    // no row was chosen shows which slot it used).
    virtual void selectKbdRow(int row) = 0;

    // The memory bar: hidden, or visible with the used part `position` of `maximum`.
    virtual void showMemoryBar(bool visible, int maximum, int position) = 0;

    // The caption of the "Keyboard" tab, and the "Card" and "Disk" tabs made
    // visible (never hidden again).
    virtual void setKeyboardCaption(const std::string& caption) = 0;
    virtual void showCardTab() = 0;
    virtual void showDiskTab() = 0;

    // Whether the Send and Receive buttons, the keyboard's "Update List" and
    // its Delete button can be used.
    virtual void enableSendReceive(bool send, bool receive) = 0;
    virtual void enableKbdUpdate(bool enabled) = 0;
    virtual void enableKbdDelete(bool enabled) = 0;
    // While a keyboard action runs, everything else that could start a second
    // one, change the data type, or touch what the action uses is locked too:
    // the Initialize and Preference menu items, the data type selector, the PC
    // update, the list selections and closing the window.
    virtual void lockForKbdOperation(bool locked) = 0;

    // The progress window: shown without modality, its bar, hidden again.
    virtual ProgressReporter& progress() = 0;
    virtual void showProgress() = 0;
    virtual void hideProgress() = 0;

    // One line of a long action's account: an item of a backup or restore
    // done or kept. Text in UTF-8; item names in it have their control bytes
    // escaped (terminalName()).
    virtual void showBackupStep(const std::string& line) = 0;

    // What an action ended with, one line in UTF-8, names escaped: "Received
    // DEMO RH1 into DEMO RH1.vdf", "Cancelled". The window's status bar; a
    // line on the terminal.
    virtual void showResult(const std::string& text) = 0;

    // The summary of a long action (a backup, a restore), after its result
    // line: one line per figure. The window shows it in a box; a view that
    // has no place for it leaves it out (the default).
    virtual void showSummary(const std::string& /*title*/,
                             const std::vector<std::string>& /*lines*/) {}

    // Asked before an action destroys anything on the keyboard: the window
    // asks the user; the command line never asks, says what it replaces or
    // clears, and goes on. Cancel ends the action quietly, with nothing changed.
    virtual DestroyAnswer askBeforeDestroying(const DestroyQuestion& question) = 0;

    // The message box of keyboard actions: caption "ERROR", the text as it
    // is, one OK button, no icon. `step` says where the action failed
    // ("receiving USER RHYTHM 140, block 3 of 5"), apart from the text; empty
    // when no step is known.
    virtual void showKbdError(const std::string& text, const std::string& step) = 0;
    void showKbdError(const std::string& text) { showKbdError(text, {}); }
    // The application's default error display (caption the application
    // title, an error icon; a full stop appended by the display's rule).
    virtual void showDefaultError(const std::string& text) = 0;
};

} // namespace qel
