#include "platform/midi/VirtualKeyboard.h"

#include "platform/midi/RtMidiBackend.h"
#include "platform/midi/VirtualDevice.h"

namespace qel::midi {

std::unique_ptr<Backend>
makeVirtualKeyboardBackend(std::shared_ptr<kbdsim::KeyboardSimulator> simulator, MessageTap tap) {
    Responder responder = [simulator, tap](const std::vector<std::uint8_t>& message) {
        if (tap)
            tap(message);
        std::vector<TimedMessage> answers;
        for (auto& reply : simulator->handle(message))
            answers.push_back(TimedMessage{std::move(reply.message), reply.delay});
        return answers;
    };
    WireTime wireTime = [simulator](std::size_t bytes) {
        return simulator->options().pacing.enabled ? kbdsim::Pacing::wireTime(bytes)
                                                   : std::chrono::microseconds{0};
    };
    return std::make_unique<VirtualDeviceBackend>(virtualKeyboardName, std::move(responder),
                                                  std::move(wireTime));
}

std::shared_ptr<Driver> makeStandardDriver() {
    std::vector<std::unique_ptr<Backend>> backends;
    backends.push_back(makeRtMidiBackend());
    backends.push_back(makeVirtualKeyboardBackend(std::make_shared<kbdsim::KeyboardSimulator>()));
    return std::make_shared<Driver>(std::move(backends));
}

} // namespace qel::midi
