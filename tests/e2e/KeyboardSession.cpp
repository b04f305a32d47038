#include "e2e/KeyboardSession.h"

#include "core/Exception.h"
#include "kbdsim/device/VirtualKeyboard.h"
#include "link/MidiDialogFactory.h"

#include <vector>

namespace qel::test {

KeyboardSession::KeyboardSession() : simulator_(std::make_shared<kbdsim::KeyboardSimulator>()) {
    if (!folder_.isValid())
        throw Exception("no temporary folder");
    directory_ = folder_.path().toStdString() + "/";

    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(kbdsim::makeVirtualKeyboardBackend(simulator_));
    MidiDialogEnvironment environment;
    environment.driver = std::make_shared<midi::Driver>(std::move(backends));
    environment.inputDevice = kbdsim::virtualKeyboardName;
    environment.outputDevice = kbdsim::virtualKeyboardName;
    environment.replyTimeout = std::chrono::milliseconds(2000);

    dialog_ = createMidiDialog(environment);
    if (dialog_->getErrorCode() != 0)
        throw Exception("the virtual keyboard did not open: " +
                        dialog_->getErrorText(dialog_->getErrorCode()));
}

KeyboardSession::~KeyboardSession() {
    destroyMidiDialog(dialog_);
}

} // namespace qel::test
