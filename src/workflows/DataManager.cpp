#include "workflows/DataManager.h"

#include "core/Exception.h"
#include "platform/files/FreeSpace.h"

namespace qel {

DataManager::DataManager(DataManagerView& view, KbdActionFrame::DialogMaker makeDialog,
                         QString registryLocation)
    : view_(view), frame_(std::move(makeDialog)), registryLocation_(std::move(registryLocation)),
      freeSpace_(platform::freeSpace) {}

bool DataManager::deletable(type::id type) {
    return command::deleteParameter(type).has_value();
}

void DataManager::start() {
    view_.showMemoryBar(false, 0, 0);
    view_.enableSendReceive(false, false);
    view_.enableKbdDelete(false);
    updatePcList();
}

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
            closeMidiDialog();
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
        openMidiDialog(false);
        identifyKeyboard();
        refreshKbdData();
        closeMidiDialog();
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
        openMidiDialog(false);
        identifyKeyboard();
        closeMidiDialog();
    });
}

void DataManager::updateThisType() {
    if (currentType_ >= type::Package)
        return; // packages are never listed from the keyboard
    runKbdAction([this] {
        listing_ = true;
        openMidiDialog(false);
        identifyKeyboard();
        listKbdType(currentType_);
        queryFreeMemory();
        listing_ = false;
        kbdListed_ = true;
        showKbdList();
        showMemoryBar();
        closeMidiDialog();
    });
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

} // namespace qel
