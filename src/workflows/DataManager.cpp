#include "workflows/DataManager.h"

#include "core/Exception.h"

#include <filesystem>
#include <system_error>

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

void DataManager::runKbdAction(const std::function<void()>& body, bool lockButtons) {
    if (busy())
        return;
    if (lockButtons)
        beginKbdOperation();
    {
        KbdActionFrame::Action action(state_.frame);
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
            state_.view.hideProgress();
            if (state_.listing)
                kbdListing_.forgetKbdListAfterFailure();
            // The list shows what the lists now hold, so that no row is
            // left without an item behind it.
            kbdListing_.showKbdList();
            state_.view.showKbdError(failure, step);
        }
    }
    if (lockButtons)
        endKbdOperation();
}

// ---- the keyboard list ----

void DataManager::updateKbdList() {
    runKbdAction([this] { kbdListing_.updateKbdList(); });
}

void DataManager::forgetKbdList() {
    if (busy())
        return;
    kbdListing_.forgetKbdListAfterFailure();
    enableTabButtons();
}

void DataManager::identifyKbd() {
    runKbdAction([this] { kbdListing_.identifyKbd(); });
}

void DataManager::updateThisType() {
    if (state_.currentType >= type::Package)
        return; // packages are never listed from the keyboard
    runKbdAction([this] { kbdListing_.updateThisType(); });
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
    runKbdAction([this, attribute] { transfers_.receiveIntoPcList(*attribute); });
}

void DataManager::putToKbd(int pcRow, int kbdRow) {
    const VdfDataAttributePtr source = pcRowItem(pcRow);
    if (!source)
        return; // no row, or a row without a file
    putFileToKbd(source->path, kbdRow);
}

void DataManager::putFileToKbd(const std::string& path, int kbdRow) {
    runKbdAction([this, path, kbdRow] { transfers_.sendFile(path, kbdRow); });
}

void DataManager::deleteKbdData(int row) {
    const KbdDataAttributePtr attribute = kbdRowItem(row);
    if (!attribute)
        return; // no row selected, or none with an item behind it
    runKbdAction([this, attribute] { transfers_.deleteSlot(attribute); });
}

// Thin versions over the one-row actions.

void DataManager::getFromKbd(const std::vector<int>& rows) {
    for (int row : rows)
        getFromKbd(row);
}

std::vector<std::string> DataManager::getFromKbdInto(const std::vector<int>& rows,
                                                     const std::string& folder) {
    std::vector<KbdDataAttributePtr> items;
    for (int row : rows)
        if (KbdDataAttributePtr item = kbdRowItem(row); item && item->size != 0)
            items.push_back(item);
    std::vector<std::string> written;
    if (items.empty())
        return written;
    runKbdAction([this, &items, &folder, &written] {
        for (const KbdDataAttributePtr& item : items)
            written.push_back(transfers_.receiveKbdItem(state_.currentType, *item, folder)->path);
    });
    return written;
}

void DataManager::putToKbd(const std::vector<int>& pcRows, int kbdRow) {
    for (int row : pcRows)
        putToKbd(row, kbdRow);
}

void DataManager::putFilesToKbd(const std::vector<std::string>& paths, int kbdRow) {
    for (const std::string& path : paths)
        putFileToKbd(path, kbdRow);
}

void DataManager::deleteKbdData(const std::vector<int>& rows) {
    std::vector<KbdDataAttributePtr> items;
    for (int row : rows)
        if (KbdDataAttributePtr item = kbdRowItem(row))
            items.push_back(item);
    for (const KbdDataAttributePtr& item : items)
        runKbdAction([this, item] { transfers_.deleteSlot(item); });
}

void DataManager::copyFilesToDataDirectory(const std::vector<std::string>& paths) {
    if (busy())
        return;
    const std::filesystem::path directory(getDataDirectory());
    std::filesystem::create_directories(directory);
    for (const std::string& path : paths) {
        std::error_code error;
        std::filesystem::copy_file(path, directory / std::filesystem::path(path).filename(),
                                   std::filesystem::copy_options::overwrite_existing, error);
        if (error)
            throw Exception("Can't copy " + path + " (" + error.message() + ")");
    }
    updatePcList();
}

void DataManager::initializeKbd(command::InitKind kind) {
    runKbdAction([this, kind] { transfers_.initializeKbd(kind); }, false);
}

// ---- backup ----

void DataManager::backupKbd(const std::string& folder) {
    runKbdAction([this, folder] { backup_.writeBackup(folder); });
}

void DataManager::restoreKbd(const std::string& folder) {
    runKbdAction([this, folder] { backup_.restore(folder); });
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
