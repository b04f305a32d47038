#include "workflows/DataManager.h"

#include "core/Exception.h"

#include <algorithm>
#include <optional>

namespace qel {

DataManager::DataManager(DataManagerView& view, KbdActionFrame::DialogMaker makeDialog,
                         const Settings& settings)
    : state_(view, std::move(makeDialog), settings) {
    transfers_.setBackUp([this](const std::string& folder) { backup_.writeBackup(folder); });
}

bool DataManager::deletable(type::id type) {
    return Transfers::deletable(type);
}

void DataManager::start() {
    state_.view.showMemoryBar(false, 0, 0);
    state_.view.enableSendReceive(false, false);
    state_.view.enableKbdDelete(false);
    updatePcList();
}

bool DataManager::runKbdAction(const std::string& title, const std::function<void()>& body,
                               bool lockButtons) {
    if (busy())
        return false;
    if (lockButtons)
        beginKbdOperation();
    bool failed = true;
    {
        KbdActionFrame::Action action(state_.frame);
        std::string failure;
        std::string step;
        {
            // An action without a title (Initialize) shows no window.
            std::optional<ActionProgress::Scope> progress;
            if (!title.empty())
                progress.emplace(state_.progress, title);
            try {
                body();
                failed = false;
            } catch (const Exception& error) {
                failure = error.message();
                step = error.step();
            } catch (const std::exception& error) {
                failure = error.what();
            }
        }
        if (failed) {
            state_.view.hideProgress();
            if (state_.listing)
                kbdListing_.forgetKbdListAfterFailure();
            // The list shows what the lists now hold, so that no row is
            // left without an item behind it.
            kbdListing_.showKbdList();
            // The user's own cancel is no error: it is said as the result.
            if (failure == cancelledText)
                state_.view.showResult(failure);
            else
                state_.view.showKbdError(failure, step);
        }
    }
    if (lockButtons)
        endKbdOperation();
    return !failed;
}

// ---- the keyboard list ----

bool DataManager::updateKbdList() {
    return runKbdAction("Update List", [this] { kbdListing_.updateKbdList(); });
}

std::string DataManager::listedText() const {
    std::size_t items = 0;
    for (const auto& listed : state_.kbdLists)
        items += static_cast<std::size_t>(
            std::count_if(listed.second.begin(), listed.second.end(),
                          [](const KbdDataAttributePtr& slot) { return slot->size != 0; }));
    return "Listed " + std::to_string(items) + (items == 1 ? " item" : " items");
}

void DataManager::forgetKbdList() {
    if (busy())
        return;
    kbdListing_.forgetKbdListAfterFailure();
    enableTabButtons();
}

void DataManager::identifyKbd() {
    runKbdAction("Asking the keyboard its model", [this] { kbdListing_.identifyKbd(); });
}

bool DataManager::updateThisType() {
    if (state_.currentType >= type::Package)
        return false; // packages are never listed from the keyboard
    return runKbdAction("Update This Type", [this] { kbdListing_.updateThisType(); });
}

// ---- the file lists ----

void DataManager::updatePcList() {
    scanAndShow([this] { kbdListing_.scanPcFiles(); }, [this] { kbdListing_.showPcList(); });
}

void DataManager::updateCardList() {
    scanAndShow([this] { card_.scanCardFiles(); }, [this] { card_.showCardList(); });
}

void DataManager::scanAndShow(const std::function<void()>& scan,
                              const std::function<void()>& show) {
    if (busy())
        return;
    try {
        scan();
    } catch (const std::exception& error) {
        // The files before the failing one stay listed; the list shows them
        // so that it agrees with its lists.
        show();
        state_.view.showDefaultError(error.what());
        return;
    }
    show();
}

// ---- the window ----

void DataManager::changeDataType(type::id type) {
    if (busy() || type >= type::selectableCount)
        return;
    state_.currentType = type;
    kbdListing_.showPcList();
    kbdListing_.showKbdList();
    card_.showCardList();
    kbdListing_.showMemoryBar();
    state_.view.enableKbdDelete(deletable(state_.currentType));
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
        state_.view.enableSendReceive(state_.kbdListed, state_.kbdListed);
        break;
    case KbdTab::Card:
    case KbdTab::Disk:
        state_.view.enableSendReceive(true, false);
        break;
    }
}

void DataManager::beginKbdOperation() {
    state_.view.enableSendReceive(false, false);
    state_.view.enableKbdUpdate(false);
    state_.view.enableKbdDelete(false);
    state_.view.lockForKbdOperation(true);
}

void DataManager::endKbdOperation() {
    state_.view.lockForKbdOperation(false);
    enableTabButtons();
    state_.view.enableKbdUpdate(true);
    state_.view.enableKbdDelete(deletable(state_.currentType));
}

// ---- transfers ----

void DataManager::getFromKbd(int row) {
    const KbdDataAttributePtr attribute = kbdRowItem(row);
    if (!attribute || attribute->size == 0)
        return; // no row, a row without an item, or an empty slot
    runKbdAction("Receiving", [this, attribute] { transfers_.receiveIntoPcList(*attribute); });
}

void DataManager::putToKbd(int pcRow, int kbdRow) {
    const VdfDataAttributePtr source = pcRowItem(pcRow);
    if (!source)
        return; // no row, or a row without a file
    putFileToKbd(source->path, kbdRow);
}

void DataManager::putFileToKbd(const std::string& path, int kbdRow) {
    runKbdAction("Sending", [this, path, kbdRow] { transfers_.sendFile(path, kbdRow); });
}

void DataManager::deleteKbdData(int row) {
    const KbdDataAttributePtr attribute = kbdRowItem(row);
    if (!attribute)
        return; // no row selected, or none with an item behind it
    runKbdAction("Deleting", [this, attribute] { transfers_.deleteSlot(attribute); });
}

void DataManager::initializeKbd(command::InitKind kind) {
    runKbdAction(
        {}, [this, kind] { transfers_.initializeKbd(kind); }, false);
}

// ---- backup ----

void DataManager::backupKbd(const std::string& folder) {
    runKbdAction("Backing up the keyboard", [this, folder] { backup_.writeBackup(folder); });
}

void DataManager::restoreKbd(const std::string& folder) {
    runKbdAction("Restoring the keyboard", [this, folder] { backup_.restore(folder); });
}

// ---- the memory card ----

void DataManager::putToCard(int pcRow) {
    const VdfDataAttributePtr source = pcRowItem(pcRow);
    if (!source || source->size == 0)
        return;
    putFileToCard(source->path);
}

void DataManager::putFileToCard(const std::string& path) {
    if (busy())
        return;
    card_.putFileToCard(path);
}

} // namespace qel
