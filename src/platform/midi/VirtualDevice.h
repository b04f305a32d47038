#pragma once

// An in-process MIDI device: one input and one output device of the same name,
// behind which a responder answers each message the program sends. It behaves
// like a device at the end of a cable: a sent message is done after its wire
// time, the responder gets it then, and each answer arrives after its own delay,
// always through the event queue of the thread that made the backend, never
// inside the call that sent the message.

#include "platform/midi/MidiBackend.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qel::midi {

// One answer of the device; `delay` counts from the moment the message it
// answers was fully received.
struct TimedMessage {
    std::vector<std::uint8_t> message;
    std::chrono::microseconds delay{0};
};

// Answers one message the program sent.
using Responder = std::function<std::vector<TimedMessage>(const std::vector<std::uint8_t>&)>;
// The time a message of that many bytes takes on the wire to the device (0: no pacing).
using WireTime = std::function<std::chrono::microseconds(std::size_t)>;

class VirtualDeviceCore;

class VirtualDeviceBackend : public Backend {
public:
    // A device listed as `name` in both lists. Must be made on the thread whose
    // event queue delivers its notifications (the UI thread).
    VirtualDeviceBackend(std::string name, Responder responder, WireTime wireTime = {});
    ~VirtualDeviceBackend() override;

    // Runs at once, on the calling (UI) thread, everything the device has
    // scheduled and what that in turn schedules: done notifications, arrivals
    // and answers, without waiting for their times. After it, nothing more
    // arrives unless the program sends again, so a test can check that
    // something did not happen without waiting "long enough". Returns false
    // if work was still being scheduled after many rounds.
    bool settle();

    std::vector<std::string> inputNames() override;
    std::vector<std::string> outputNames() override;
    // Each direction can be open once at a time; a second open fails with Allocated.
    Result openInput(std::size_t index, std::size_t bufferSize, LongDataHandler onData,
                     std::unique_ptr<InputDevice>& device) override;
    Result openOutput(std::size_t index, DoneHandler onDone,
                      std::unique_ptr<OutputDevice>& device) override;
    // The device lives in this program: true.
    bool inProcess() const override { return true; }

private:
    std::shared_ptr<VirtualDeviceCore> core_;
};

} // namespace qel::midi
