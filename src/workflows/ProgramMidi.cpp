#include "workflows/ProgramMidi.h"

#include "kbdsim/device/VirtualKeyboard.h"
#include "platform/midi/RtMidiBackend.h"

namespace qel {

std::shared_ptr<midi::Driver> makeProgramMidiDriver(bool paced, SystemDevices system) {
    std::vector<std::unique_ptr<midi::Backend>> backends;
    if (system == SystemDevices::Included)
        backends.push_back(midi::makeRtMidiBackend());
    kbdsim::Options options;
    options.pacing.enabled = paced;
    backends.push_back(
        kbdsim::makeVirtualKeyboardBackend(std::make_shared<kbdsim::KeyboardSimulator>(options)));
    return std::make_shared<midi::Driver>(std::move(backends));
}

MidiDialogEnvironment
makeProgramMidiEnvironment(std::shared_ptr<midi::Driver> driver,
                           std::function<std::unique_ptr<MidiDialogView>()> makeView) {
    MidiDialogEnvironment environment;
    environment.driver = std::move(driver);
    environment.makeView = std::move(makeView);
    return environment.completed();
}

} // namespace qel
