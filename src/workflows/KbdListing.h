#pragma once

// The lists and what they show: the keyboard's slots and memory figures read
// over MIDI, the PC's data directory scanned, and the data type chosen. The
// steps here run inside an action the DataManager facade started.

#include "core/KeyboardTables.h"
#include "model/KeyboardMemoryNeed.h"
#include "workflows/DataManagerState.h"

#include <initializer_list>
#include <string>

namespace qel {

class KbdListing : KbdSteps {
public:
    explicit KbdListing(DataManagerState& state) : KbdSteps(state) {}

    // Identifies the keyboard: caption and tabs; "Unknown Keyboard" otherwise.
    const command::Model& identifyKeyboard();
    // Every slot of types 0 to 8 and the memory figures, as a phase of the
    // action's progress that ends at `until` (a share of the whole bar).
    // The rows of the type on screen appear as soon as it has been read.
    void refreshKbdData(double until = 1.0);
    // The slots of `type` read again.
    void listKbdType(type::id type);
    // The bodies of "Update List", of the model's identification and of
    // "Update This Type".
    void updateKbdList();
    void identifyKbd();
    void updateThisType();
    void queryFreeMemory();
    void showMemoryBar();
    void showKbdList();
    // A list read failed part-way: the keyboard list no longer stands for
    // the keyboard.
    void forgetKbdListAfterFailure();

    // The slots of `type` as last read from the keyboard; null when the type
    // was not read since the list was last emptied.
    const KbdDataAttributeList* listedSlots(type::id type) const;
    // Reads the lists among `types` that were not read, as the first 30 % of
    // the action's progress, so that no action decides on a list it never saw.
    void ensureListed(std::initializer_list<type::id> types);
    // Asks the keyboard's free memory and throws "Memory Full" unless `need`
    // fits into it together with what the action's own clearing frees.
    void checkFits(const KeyboardMemoryNeed& need, const KeyboardMemoryNeed& freed);

    // The "Directory" setting, used as a prefix; empty when it is not set.
    std::string getDataDirectory() const { return state_.dataDirectory; }
    // Rebuilds pcLists from the data directory. Throws the first file's
    // failure; the files before it stay listed.
    void scanPcFiles();
    void showPcList();

private:
    void queryKbdItems(category::id category, type::id type, bool stepProgress,
                       KbdDataAttributeList& records, std::uint16_t count,
                       std::uint16_t firstNumber, std::uint16_t firstPosition);
    void addPcFile(const std::string& fileName);
};

} // namespace qel
