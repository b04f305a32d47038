#include "kbdsim/device/VirtualKeyboard.h"

namespace kbdsim {

std::unique_ptr<qel::midi::VirtualDeviceBackend>
makeVirtualKeyboardBackend(std::shared_ptr<KeyboardSimulator> simulator, MessageTap tap) {
    using qel::midi::TimedMessage;
    qel::midi::Responder responder = [simulator, tap](const std::vector<std::uint8_t>& message) {
        if (tap)
            tap(message);
        std::vector<TimedMessage> answers;
        for (auto& reply : simulator->handle(message))
            answers.push_back(TimedMessage{std::move(reply.message), reply.delay});
        return answers;
    };
    qel::midi::WireTime wireTime = [simulator](std::size_t bytes) {
        return simulator->options().pacing.enabled ? Pacing::wireTime(bytes)
                                                   : std::chrono::microseconds{0};
    };
    return std::make_unique<qel::midi::VirtualDeviceBackend>(
        virtualKeyboardName, std::move(responder), std::move(wireTime));
}

} // namespace kbdsim
