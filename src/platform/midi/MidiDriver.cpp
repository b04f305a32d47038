#include "platform/midi/MidiDriver.h"

#include "platform/midi/RtMidiBackend.h"

namespace qel::midi {

Driver::Driver(std::vector<std::unique_ptr<Backend>> backends) : backends_(std::move(backends)) {}

Driver::~Driver() = default;

std::vector<std::string> Driver::inputNames() {
    std::vector<std::string> names;
    for (auto& backend : backends_)
        for (auto& name : backend->inputNames())
            names.push_back(std::move(name));
    return names;
}

std::vector<std::string> Driver::outputNames() {
    std::vector<std::string> names;
    for (auto& backend : backends_)
        for (auto& name : backend->outputNames())
            names.push_back(std::move(name));
    return names;
}

Driver::Location Driver::locate(int index, bool input) {
    if (index < 0)
        return {};
    auto remaining = static_cast<std::size_t>(index);
    for (auto& backend : backends_) {
        // Lists are taken afresh, as the system would: devices may come and go.
        const std::size_t count =
            input ? backend->inputNames().size() : backend->outputNames().size();
        if (remaining < count)
            return {backend.get(), remaining};
        remaining -= count;
    }
    return {};
}

Result Driver::openInput(int index, std::size_t bufferSize, LongDataHandler onData,
                         std::unique_ptr<InputDevice>& device) {
    const Location location = locate(index, true);
    if (!location.backend)
        return result::BadDeviceId;
    return location.backend->openInput(location.index, bufferSize, std::move(onData), device);
}

Result Driver::openOutput(int index, DoneHandler onDone, std::unique_ptr<OutputDevice>& device) {
    const Location location = locate(index, false);
    if (!location.backend)
        return result::BadDeviceId;
    return location.backend->openOutput(location.index, std::move(onDone), device);
}

bool Driver::inputInProcess(int index) {
    const Location location = locate(index, true);
    return location.backend && location.backend->inProcess();
}

bool Driver::outputInProcess(int index) {
    const Location location = locate(index, false);
    return location.backend && location.backend->inProcess();
}

std::shared_ptr<Driver> makeSystemDevicesOnlyDriver() {
    std::vector<std::unique_ptr<Backend>> backends;
    backends.push_back(makeRtMidiBackend());
    return std::make_shared<Driver>(std::move(backends));
}

} // namespace qel::midi
