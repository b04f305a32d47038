#include "workflows/DataManager.h"

#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "model/VdfData.h"
#include "platform/files/FreeSpace.h"
#include "platform/files/WildcardSearch.h"
#include "workflows/FileDateText.h"

#include <filesystem>

namespace qel {

DataManager::DataManager(DataManagerView& view, KbdActionFrame::DialogMaker makeDialog,
                         const Settings& settings)
    : view_(view), frame_(std::move(makeDialog)), dataDirectory_(settings.dataDirectory),
      cardDrive_(settings.cardDrive), freeSpace_(platform::freeSpace) {}

bool DataManager::deletable(type::id type) {
    return command::deleteParameter(type).has_value();
}

void DataManager::start() {
    view_.showMemoryBar(false, 0, 0);
    view_.enableSendReceive(false, false);
    view_.enableKbdDelete(false);
    updatePcList();
}

// ---- actions ----

void DataManager::runKbdAction(const std::function<void()>& body, bool lockButtons) {
    if (busy())
        return;
    if (lockButtons)
        beginKbdOperation();
    {
        KbdActionFrame::Action action(frame_);
        bool failed = true;
        std::string failure;
        std::string step;
        try {
            body();
            failed = false;
        } catch (const Exception& error) {
            failure = error.message();
            step = error.step();
        } catch (const std::exception& error) {
            failure = error.what();
        }
        if (failed) {
            view_.hideProgress();
            if (listing_)
                forgetKbdListAfterFailure();
            // The list shows what the lists now hold, so that no row is
            // left without an item behind it.
            showKbdList();
            view_.showKbdError(failure, step);
        }
    }
    if (lockButtons)
        endKbdOperation();
}

void DataManager::updateKbdList() {
    runKbdAction([this] {
        listing_ = true;
        {
            const KbdSession session(frame_, false);
            identifyKeyboard();
            refreshKbdData();
        }
        kbdListed_ = true;
    });
}

void DataManager::forgetKbdList() {
    if (busy())
        return;
    forgetKbdListAfterFailure();
    enableTabButtons();
}

void DataManager::identifyKbd() {
    runKbdAction([this] {
        const KbdSession session(frame_, false);
        identifyKeyboard();
    });
}

void DataManager::updateThisType() {
    if (currentType_ >= type::Package)
        return; // packages are never listed from the keyboard
    runKbdAction([this] {
        listing_ = true;
        const KbdSession session(frame_, false);
        identifyKeyboard();
        listKbdType(currentType_);
        queryFreeMemory();
        listing_ = false;
        kbdListed_ = true;
        showKbdList();
        showMemoryBar();
    });
}

void DataManager::deleteKbdData(int row) {
    const KbdDataAttributePtr attribute = kbdRowItem(row);
    if (!attribute)
        return; // no row selected, or none with an item behind it
    runKbdAction([this, attribute] {
        const type::id t = currentType_;
        if (deletable(t) && occupied(t, *attribute)) {
            const std::string slot = describeSlot(t, *attribute);
            if (!confirmDestroying({DestroyQuestion::Action::Delete,
                                    "Delete " + slot + " from the keyboard?",
                                    {slot},
                                    true,
                                    false},
                                   t, attribute))
                return;
        }
        const KbdSession session(frame_, true);
        dialog().setCaption("Deleting..");
        deleteKbdItem(currentType_, attribute);
        waitKbdReady(100);
        dialog().setCaption("");
        listKbdType(currentType_);
        showKbdList();
        queryFreeMemory();
        showMemoryBar();
    });
}

void DataManager::deleteKbdItem(type::id type, const KbdDataAttributePtr& attribute) {
    const auto parameter = command::deleteParameter(type);
    if (!parameter || !attribute)
        return;
    // A song slot is cleared whatever size it reads.
    if (type != type::Song && attribute->size == 0)
        return;
    const KbdActionFrame::Step step(frame_, "clearing " + slotName(type, *attribute));
    static const ByteVector firstIndex{0x00};
    dialog().sendCommand(category::Command, 0, firstIndex, *parameter, attribute->number);
    checkMidiError();
}

void DataManager::deleteLastKbdItems(type::id type, std::uint16_t count) {
    const KbdDataAttributeList* listed = listedSlots(type);
    if (!listed)
        throw Exception(std::string("The keyboard list of ") + typeLabels[type] +
                        " was not read: nothing was deleted");
    // Copies: a refresh of the type during the polls must not pull the
    // records from under the loop.
    const KbdDataAttributeList items = *listed;
    for (std::size_t k = 0; k < count && k < items.size(); ++k) {
        const KbdDataAttributePtr& attribute = items[items.size() - 1 - k];
        if (attribute->size != 0) {
            deleteKbdItem(type, attribute);
            waitKbdReady(100);
        }
        stepProgress(1);
    }
}

void DataManager::initializeKbd(command::InitKind kind) {
    runKbdAction(
        [this, kind] {
            static const ByteVector firstIndex{0x00};
            const char* settings = kind == command::InitKind::Mixer       ? "mixer settings"
                                   : kind == command::InitKind::Parameter ? "parameters"
                                                                          : "system settings";
            if (!confirmDestroying(
                    {DestroyQuestion::Action::Initialize,
                     std::string("Reset the keyboard's ") + settings + " to their factory values?",
                     {std::string("the keyboard's ") + settings},
                     false,
                     false}))
                return;
            const KbdActionFrame::Step step(frame_,
                                            std::string("resetting the keyboard's ") + settings);
            const KbdSession session(frame_, false);
            dialog().sendCommand(category::Command, 0, firstIndex, command::initialize,
                                 static_cast<std::int32_t>(kind));
            checkMidiError();
        },
        false);
}

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

void DataManager::updatePcList() {
    scanAndShow(&DataManager::scanPcFiles, &DataManager::showPcList);
}

void DataManager::scanAndShow(void (DataManager::*scan)(), void (DataManager::*show)()) {
    if (busy())
        return;
    try {
        (this->*scan)();
    } catch (const std::exception& error) {
        // The files before the failing one stay listed; the list shows them
        // so that it agrees with its lists.
        (this->*show)();
        view_.showDefaultError(error.what());
        return;
    }
    (this->*show)();
}

void DataManager::changeDataType(type::id type) {
    if (busy() || type >= type::selectableCount)
        return;
    currentType_ = type;
    showPcList();
    showKbdList();
    showCardList();
    showMemoryBar();
    view_.enableKbdDelete(deletable(currentType_));
}

void DataManager::kbdPageControlChange(KbdTab tab) {
    activeTab_ = tab;
    enableTabButtons();
    if (tab == KbdTab::Card)
        updateCardList();
}

void DataManager::enableTabButtons() {
    switch (activeTab_) {
    case KbdTab::Keyboard:
        view_.enableSendReceive(kbdListed_, kbdListed_);
        break;
    case KbdTab::Card:
    case KbdTab::Disk:
        view_.enableSendReceive(true, false);
        break;
    }
}

// ---- the frame ----

void DataManager::beginKbdOperation() {
    view_.enableSendReceive(false, false);
    view_.enableKbdUpdate(false);
    view_.enableKbdDelete(false);
    view_.lockForKbdOperation(true);
}

void DataManager::endKbdOperation() {
    view_.lockForKbdOperation(false);
    enableTabButtons();
    view_.enableKbdUpdate(true);
    view_.enableKbdDelete(deletable(currentType_));
}

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

} // namespace qel
