#include "workflows/DataManager.h"

#include "core/Exception.h"
#include "workflows/PcFileImport.h"

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

std::vector<KbdDataAttributePtr>
DataManager::kbdRowItems(const std::vector<int>& rows, bool withoutEmpty, bool receivable) const {
    std::vector<KbdDataAttributePtr> chosen;
    for (int row : rows) {
        KbdDataAttributePtr slot = kbdRowItem(row);
        if (!slot || (withoutEmpty && emptySlot(state_.currentType, *slot)))
            continue;
        if (receivable && slot->size == 0)
            continue;
        if (std::find(chosen.begin(), chosen.end(), slot) == chosen.end())
            chosen.push_back(std::move(slot));
    }
    return chosen;
}

void DataManager::getFromKbd(const std::vector<int>& rows) {
    getFromKbdInto(rows, getDataDirectory());
}

std::vector<std::string> DataManager::getFromKbdInto(const std::vector<int>& rows,
                                                     const std::string& folder) {
    const std::vector<KbdDataAttributePtr> chosen = kbdRowItems(rows, rows.size() > 1, true);
    if (chosen.empty())
        return {};
    const bool intoPcList = folder == getDataDirectory();
    const std::string directory = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    std::vector<std::string> paths;
    runKbdAction("Receiving", [&] {
        for (const VdfDataAttributePtr& file :
             transfers_.receiveItems(chosen, directory, intoPcList))
            paths.push_back(file->path);
    });
    return paths;
}

void DataManager::putToKbd(const std::vector<int>& pcRows, int kbdRow) {
    std::vector<std::string> paths;
    for (int row : pcRows)
        if (const VdfDataAttributePtr source = pcRowItem(row))
            if (std::find(paths.begin(), paths.end(), source->path) == paths.end())
                paths.push_back(source->path);
    if (paths.empty())
        return; // no row, or rows without a file
    runKbdAction("Sending", [this, &paths, kbdRow] { transfers_.sendFiles(paths, kbdRow, true); });
}

void DataManager::putFileToKbd(const std::string& path, int kbdRow) {
    runKbdAction("Sending", [this, path, kbdRow] { transfers_.sendFile(path, kbdRow); });
}

void DataManager::putFilesToKbd(const std::vector<std::string>& paths, int kbdRow) {
    if (paths.empty())
        return;
    runKbdAction("Sending", [this, &paths, kbdRow] { transfers_.sendFiles(paths, kbdRow, false); });
}

void DataManager::deleteKbdData(const std::vector<int>& rows) {
    const std::vector<KbdDataAttributePtr> chosen = kbdRowItems(rows, rows.size() > 1, false);
    if (chosen.empty())
        return; // no row selected, or none with an item behind it
    runKbdAction("Deleting", [this, &chosen] { transfers_.deleteSlots(chosen); });
}

void DataManager::copyFilesToDataDirectory(const std::vector<std::string>& paths) {
    if (busy() || paths.empty())
        return;
    PcFileImport::Outcome outcome;
    try {
        outcome = PcFileImport(getDataDirectory()).copy(paths);
    } catch (const std::exception& error) {
        state_.view.showDefaultError(error.what());
        return;
    }
    updatePcList();
    if (!outcome.refused.empty())
        state_.view.showDefaultError(outcome.refusalText());
    if (const std::string text = outcome.resultText(getDataDirectory()); !text.empty())
        state_.view.showResult(text);
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
