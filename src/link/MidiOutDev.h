#pragma once

// The MIDI output port: sends one whole System Exclusive message at a time from
// its own buffer and tells its observers when the message has left.

#include "core/ByteVector.h"
#include "link/MidiDev.h"

#include <array>
#include <cstdint>

namespace qel {

class MidiOutDev : public MidiDev {
public:
    explicit MidiOutDev(std::shared_ptr<midi::Driver> driver);
    // Closes the device (results ignored).
    ~MidiOutDev() override;

    // Opens output device `deviceIndex`. Fails with Allocated when the port is
    // already open.
    midi::Result open(int deviceIndex) override;
    // Resets and closes the device. Returns 0 at once when the port is closed.
    midi::Result close() override;

    // Copies the message into the port buffer. With the port closed, does
    // nothing and returns 0. A message longer than the buffer is refused with
    // InvalidParameter and the buffer keeps its content.
    midi::Result prepare(const ByteVector& message);
    // Starts sending the prepared message; returns once the driver has it.
    // With the port closed, does nothing and returns 0; with nothing prepared,
    // Unprepared. Observers are told when the last message sent has left.
    midi::Result send();

    bool isOpen() const { return device_ != nullptr; }

private:
    void onDone();

    std::array<std::uint8_t, bufferSize> buffer_{};
    std::size_t length_ = 0;
    bool prepared_ = false;
    // Messages handed to the driver whose done notification has not come:
    // observers hear only of the last one, the one the caller waits for.
    unsigned pending_ = 0;
    std::unique_ptr<midi::OutputDevice> device_; // null while the port is closed
};

} // namespace qel
