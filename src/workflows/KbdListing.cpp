#include "workflows/DataManager.h"

#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "core/SettingsKeys.h"
#include "model/VdfData.h"
#include "platform/files/FreeSpace.h"
#include "platform/files/WildcardSearch.h"
#include "platform/registry/Registry.h"
#include "workflows/FileDateText.h"

#include <filesystem>

namespace qel {

// ---- actions ----

const command::Model& DataManager::identifyKeyboard() {
    const KbdActionFrame::Step step(frame_, "asking the keyboard its model");
    dialog().beginCommunication();
    checkMidiError();
    const std::uint16_t code = dialog().getModel();
    checkMidiError();
    const command::Model* model = command::findModel(code);
    if (model == nullptr)
        throw Exception("Unknown Keyboard");
    kbdModel_ = model->code;
    view_.setKeyboardCaption(std::string(model->caption));
    if (model->card)
        view_.showCardTab();
    if (model->disk)
        view_.showDiskTab();
    return *model;
}

// ---- the frame ----

MidiDialog& DataManager::dialog() {
    MidiDialog* open = frame_.dialog();
    if (open == nullptr)
        throw Exception("The MIDI connection to the keyboard is not open");
    return *open;
}

// ---- the keyboard list ----

void DataManager::refreshKbdData() {
    listing_ = true;
    kbdLists_.clear();
    view_.progress().setRange(2 + kbdSlots::totalCount());
    progressPosition_ = 0;
    view_.progress().setPosition(progressPosition_);
    view_.showProgress();
    for (int t = 0; t <= type::Smf; ++t)
        listKbdType(static_cast<type::id>(t));
    queryFreeMemory();
    checkMidiError();
    stepProgress(2);
    view_.hideProgress();
    listing_ = false;
    kbdListed_ = true;
    showKbdList();
    showMemoryBar();
}

void DataManager::listKbdType(type::id type) {
    const kbdSlots::TypeRow& row = kbdSlots::of(type);
    // Nested in a refresh, the refresh ends the list read.
    const bool outer = !listing_;
    listing_ = true;
    const KbdActionFrame::Step step(frame_, std::string("reading the list of ") + typeLabels[type]);
    queryKbdItems(categoryOf(type), type, true, kbdLists_[type], row.count, row.firstNumber,
                  row.firstPosition);
    if (outer)
        listing_ = false;
}

void DataManager::forgetKbdListAfterFailure() {
    listing_ = false;
    kbdLists_.clear();
    kbdListed_ = false;
    usedDataMemory_ = 0;
    usedSongMemory_ = 0;
    showKbdList();
    showMemoryBar();
}

void DataManager::queryKbdItems(category::id category, type::id type, bool step,
                                KbdDataAttributeList& records, std::uint16_t count,
                                std::uint16_t firstNumber, std::uint16_t firstPosition) {
    records.clear();
    for (std::uint16_t i = 0; i < count; ++i) {
        const auto number = static_cast<std::uint16_t>(firstNumber + i);
        const KbdData item(category, type, number);
        auto attribute = std::make_shared<KbdDataAttribute>();
        attribute->category = category;
        attribute->name = item.name();
        attribute->size = item.size();
        attribute->number = number;
        attribute->position = static_cast<std::uint16_t>(firstPosition + i);
        records.push_back(std::move(attribute));
        if (step)
            stepProgress(1);
    }
}

void DataManager::queryFreeMemory() {
    const KbdActionFrame::Step step(frame_, "reading the free memory");
    static const ByteVector firstIndex{0x00};
    std::int32_t free = 0;
    dialog().requestValue(category::Command, 0, firstIndex, command::freeDataMemory, free);
    checkMidiError();
    usedDataMemory_ = command::dataMemorySize - free;
    dialog().requestValue(category::Command, 0, firstIndex, command::freeSongMemory, free);
    checkMidiError();
    usedSongMemory_ = command::songMemorySize - free;
}

void DataManager::showMemoryBar() {
    // Figures that were never read, or no longer stand for the keyboard, are
    // not shown as an empty memory.
    if (!kbdListed_) {
        view_.showMemoryBar(false, 0, 0);
        return;
    }
    switch (currentType_) {
    case type::UserToneWithWave:
    case type::UserDrumWithWave:
    case type::UserRhythm:
    case type::Smf:
    case type::Package:
        view_.showMemoryBar(true, command::dataMemorySize, usedDataMemory_);
        break;
    case type::Song:
        view_.showMemoryBar(true, command::songMemorySize, usedSongMemory_);
        break;
    default:
        view_.showMemoryBar(false, 0, 0);
        break;
    }
}

void DataManager::showKbdList() {
    kbdRows_.clear();
    std::vector<KbdRow> rows;
    const bool smf = currentType_ == type::Smf;
    static const KbdDataAttributeList none;
    const auto listed = kbdLists_.find(currentType_);
    for (const KbdDataAttributePtr& item : listed == kbdLists_.end() ? none : listed->second) {
        // The SMF list leaves out empty slots, and numbers none of its rows.
        if (smf && item->known && item->size == 0)
            continue;
        // A slot that could not be read after a failed change is not shown
        // as holding anything in particular.
        rows.push_back({smf ? std::string() : std::to_string(item->position),
                        item->known ? item->name : "?",
                        item->known ? std::to_string(item->size) : "?"});
        kbdRows_.push_back(item);
    }
    view_.showKbdRows(currentType_, rows);
}

void DataManager::stepProgress(int steps) {
    progressPosition_ += steps;
    view_.progress().setPosition(progressPosition_);
}

KbdDataAttributePtr DataManager::kbdRowItem(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= kbdRows_.size())
        return nullptr;
    return kbdRows_[static_cast<std::size_t>(row)];
}

// ---- the PC list ----

std::string DataManager::getDataDirectory() const {
    // Read without creating the key: settings are written by the preferences only.
    const registry::Registry settings(registryLocation_);
    return settings.readString(settings::programKey, settings::directoryValue).value_or("");
}

void DataManager::scanPcFiles() {
    for (VdfDataAttributeList& list : pcLists_)
        list.clear();
    const std::string directory = getDataDirectory();
    // An empty setting searches the current directory.
    const std::string folder = directory.empty() ? "." : directory;
    for (const char* pattern : {"*.vdf", "*.mid"})
        for (const std::string& path : platform::findFiles(folder, pattern))
            addPcFile(std::filesystem::path(path).filename().string());
}

void DataManager::addPcFile(const std::string& fileName) {
    const std::string path = getDataDirectory() + fileName;
    const VdfData item(path);
    pcLists_[item.type()].push_back(std::make_shared<VdfDataAttribute>(item));
}

void DataManager::showPcList() {
    pcRows_.clear();
    std::vector<FileRow> rows;
    for (const VdfDataAttributePtr& item : pcLists_[currentType_]) {
        rows.push_back({item->name, std::to_string(item->size), formatDosDateTime(item->date)});
        pcRows_.push_back(item);
    }
    view_.showPcRows(currentType_, rows);
}

VdfDataAttributePtr DataManager::pcRowItem(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= pcRows_.size())
        return nullptr;
    return pcRows_[static_cast<std::size_t>(row)];
}

const KbdDataAttributeList* DataManager::listedSlots(type::id type) const {
    const auto found = kbdLists_.find(type);
    return found == kbdLists_.end() ? nullptr : &found->second;
}

void DataManager::ensureListed(std::initializer_list<type::id> types) {
    std::vector<type::id> missing;
    int slotCount = 0;
    for (type::id t : types)
        if (!listedSlots(t)) {
            missing.push_back(t);
            slotCount += kbdSlots::of(t).count;
        }
    if (missing.empty())
        return;
    openMidiDialog(false);
    ProgressReporter& progress = view_.progress();
    progress.setCaption("Reading the keyboard list...");
    progress.setRange(slotCount);
    progressPosition_ = 0;
    progress.setPosition(progressPosition_);
    view_.showProgress();
    for (type::id t : missing)
        listKbdType(t);
    progress.setCaption("");
    view_.hideProgress();
    closeMidiDialog();
    showKbdList();
}

void DataManager::checkFits(const KeyboardMemoryNeed& need, const KeyboardMemoryNeed& freed) {
    queryFreeMemory();
    const std::int64_t freeData = std::int64_t{command::dataMemorySize} - usedDataMemory_ +
                                  static_cast<std::int64_t>(freed.data);
    const std::int64_t freeSong = std::int64_t{command::songMemorySize} - usedSongMemory_ +
                                  static_cast<std::int64_t>(freed.song);
    if (!fitsInto(need, freeData, freeSong))
        throw Exception("Memory Full");
}

} // namespace qel
