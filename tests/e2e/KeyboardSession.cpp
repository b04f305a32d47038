#include "e2e/KeyboardSession.h"

#include "core/Exception.h"
#include "kbdsim/device/VirtualKeyboard.h"
#include "link/MidiDialogFactory.h"
#include "model/CurrentMidiDialog.h"
#include "platform/registry/Registry.h"

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
    environment.registryLocation = folder_.filePath("registry.json");
    environment.replyTimeout = std::chrono::milliseconds(2000);
    registry::Registry settings(environment.registryLocation);
    const std::string key = "Software\\Vorla\\TQ-7400\\MIDI";
    settings.writeString(key, "InputDevice", kbdsim::virtualKeyboardName);
    settings.writeString(key, "OutputDevice", kbdsim::virtualKeyboardName);

    dialog_ = createMidiDialog(environment);
    if (dialog_->getErrorCode() != 0)
        throw Exception("the virtual keyboard did not open: " +
                        dialog_->getErrorText(dialog_->getErrorCode()));
    setCurrentMidiDialog(dialog_.get());
}

KeyboardSession::~KeyboardSession() {
    setCurrentMidiDialog(nullptr);
    destroyMidiDialog(dialog_);
}

} // namespace qel::test
