#include "workflows/KbdListing.h"

#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "model/VdfData.h"
#include "platform/files/WildcardSearch.h"

#include <filesystem>

namespace qel {

// The lists of the keyboard, the memory figures and the PC's files.

const command::Model& KbdListing::identifyKeyboard() {
    const KbdActionFrame::Step step(state_.frame, "asking the keyboard its model");
    dialog().beginCommunication();
    checkMidiError();
    const std::uint16_t code = dialog().getModel();
    checkMidiError();
    const command::Model* model = command::findModel(code);
    if (model == nullptr)
        throw Exception("Unknown Keyboard");
    state_.kbdModel = model->code;
    state_.view.setKeyboardCaption(std::string(model->caption));
    if (model->card)
        state_.view.showCardTab();
    if (model->disk)
        state_.view.showDiskTab();
    return *model;
}

// ---- the frame ----

// ---- the keyboard list ----

void KbdListing::updateKbdList() {
    state_.listing = true;
    {
        const KbdSession session(state_.frame, false);
        identifyKeyboard();
        refreshKbdData();
    }
    state_.kbdListed = true;
}

void KbdListing::identifyKbd() {
    const KbdSession session(state_.frame, false);
    identifyKeyboard();
}

void KbdListing::updateThisType() {
    state_.listing = true;
    const KbdSession session(state_.frame, false);
    identifyKeyboard();
    listKbdType(state_.currentType);
    queryFreeMemory();
    state_.listing = false;
    state_.kbdListed = true;
    showKbdList();
    showMemoryBar();
}

void KbdListing::refreshKbdData(double until) {
    state_.listing = true;
    state_.kbdLists.clear();
    // Every slot a unit, and the two memory figures.
    state_.progress.beginPhase(until, 2 + kbdSlots::totalCount(), false);
    for (int t = 0; t <= type::Smf; ++t) {
        const auto listed = static_cast<type::id>(t);
        listKbdType(listed);
        // The rows of the type on screen appear as soon as it is read.
        if (listed == state_.currentType)
            showKbdList();
    }
    state_.progress.showItem({});
    queryFreeMemory();
    checkMidiError();
    stepProgress(2);
    state_.progress.finishPhase();
    state_.listing = false;
    state_.kbdListed = true;
    showKbdList();
    showMemoryBar();
}

void KbdListing::listKbdType(type::id type) {
    const kbdSlots::TypeRow& row = kbdSlots::of(type);
    // Nested in a refresh, the refresh ends the list read.
    const bool outer = !state_.listing;
    state_.listing = true;
    const KbdActionFrame::Step step(state_.frame,
                                    std::string("reading the list of ") + typeLabels[type]);
    state_.progress.showItem(typeLabels[type]);
    queryKbdItems(categoryOf(type), type, true, state_.kbdLists[type], row.count, row.firstNumber,
                  row.firstPosition);
    if (outer)
        state_.listing = false;
}

void KbdListing::forgetKbdListAfterFailure() {
    state_.listing = false;
    state_.kbdLists.clear();
    state_.kbdListed = false;
    state_.usedDataMemory = 0;
    state_.usedSongMemory = 0;
    showKbdList();
    showMemoryBar();
}

void KbdListing::queryKbdItems(category::id category, type::id type, bool step,
                               KbdDataAttributeList& records, std::uint16_t count,
                               std::uint16_t firstNumber, std::uint16_t firstPosition) {
    records.clear();
    for (std::uint16_t i = 0; i < count; ++i) {
        const auto number = static_cast<std::uint16_t>(firstNumber + i);
        const KbdData item(dialog(), category, type, number);
        auto attribute = std::make_shared<KbdDataAttribute>();
        attribute->category = category;
        attribute->name = item.name();
        attribute->size = item.size();
        attribute->number = number;
        attribute->position = static_cast<std::uint16_t>(firstPosition + i);
        records.push_back(std::move(attribute));
        if (step)
            stepProgress(1);
        // Between two slots is a safe point: nothing is half-written.
        if (state_.progress.cancelRequested())
            throw Exception("Cancelled");
    }
}

void KbdListing::queryFreeMemory() {
    const KbdActionFrame::Step step(state_.frame, "reading the free memory");
    static const ByteVector firstIndex{0x00};
    std::int32_t free = 0;
    dialog().requestValue(category::Command, 0, firstIndex, command::freeDataMemory, free);
    checkMidiError();
    state_.usedDataMemory = command::dataMemorySize - free;
    dialog().requestValue(category::Command, 0, firstIndex, command::freeSongMemory, free);
    checkMidiError();
    state_.usedSongMemory = command::songMemorySize - free;
}

void KbdListing::showMemoryBar() {
    // Figures that were never read, or no longer stand for the keyboard, are
    // not shown as an empty memory.
    if (!state_.kbdListed) {
        state_.view.showMemoryBar(false, 0, 0);
        return;
    }
    switch (state_.currentType) {
    case type::UserToneWithWave:
    case type::UserDrumWithWave:
    case type::UserRhythm:
    case type::Smf:
    case type::Package:
        state_.view.showMemoryBar(true, command::dataMemorySize, state_.usedDataMemory);
        break;
    case type::Song:
        state_.view.showMemoryBar(true, command::songMemorySize, state_.usedSongMemory);
        break;
    default:
        state_.view.showMemoryBar(false, 0, 0);
        break;
    }
}

void KbdListing::showKbdList() {
    static const KbdDataAttributeList none;
    const auto listed = state_.kbdLists.find(state_.currentType);
    state_.kbdSlots.setRows(state_.currentType,
                            listed == state_.kbdLists.end() ? none : listed->second);
}

// ---- the PC list ----

void KbdListing::scanPcFiles() {
    for (VdfDataAttributeList& list : state_.pcLists)
        list.clear();
    const std::string directory = getDataDirectory();
    // An empty setting searches the current directory.
    const std::string folder = directory.empty() ? "." : directory;
    for (const char* pattern : {"*.vdf", "*.mid"})
        for (const std::string& path : platform::findFiles(folder, pattern))
            addPcFile(std::filesystem::path(path).filename().string());
}

void KbdListing::addPcFile(const std::string& fileName) {
    const std::string path = getDataDirectory() + fileName;
    const VdfData item(path);
    state_.pcLists[item.type()].push_back(std::make_shared<VdfDataAttribute>(item));
}

void KbdListing::showPcList() {
    state_.pcFiles.setRows(state_.currentType, state_.pcLists[state_.currentType]);
}

const KbdDataAttributeList* KbdListing::listedSlots(type::id type) const {
    const auto found = state_.kbdLists.find(type);
    return found == state_.kbdLists.end() ? nullptr : &found->second;
}

void KbdListing::ensureListed(std::initializer_list<type::id> types) {
    std::vector<type::id> missing;
    int slotCount = 0;
    for (type::id t : types)
        if (!listedSlots(t)) {
            missing.push_back(t);
            slotCount += kbdSlots::of(t).count;
        }
    if (missing.empty())
        return;
    KbdSession session(state_.frame, false);
    // Reading the lists is the first part of the action that needs them.
    state_.progress.beginPhase(0.3, slotCount, false);
    for (type::id t : missing)
        listKbdType(t);
    state_.progress.finishPhase();
    state_.progress.showItem({});
    session.close();
    showKbdList();
}

void KbdListing::checkFits(const KeyboardMemoryNeed& need, const KeyboardMemoryNeed& freed) {
    queryFreeMemory();
    const std::int64_t freeData = std::int64_t{command::dataMemorySize} - state_.usedDataMemory +
                                  static_cast<std::int64_t>(freed.data);
    const std::int64_t freeSong = std::int64_t{command::songMemorySize} - state_.usedSongMemory +
                                  static_cast<std::int64_t>(freed.song);
    if (!fitsInto(need, freeData, freeSong))
        throw Exception("Memory Full");
}

} // namespace qel
