#pragma once

// The MIDI input port: while started, takes each System Exclusive message the
// device delivers as the last received message and tells its observers. A
// message longer than the port buffer arrives in buffer-sized pieces, each
// taken as a message of its own.

#include "core/ByteVector.h"
#include "link/MidiDev.h"

namespace qel {

class MidiInDev : public MidiDev {
public:
    explicit MidiInDev(std::shared_ptr<midi::Driver> driver);
    // Closes the device (results ignored).
    ~MidiInDev() override;

    // Opens input device `deviceIndex` and resets it; input is not started.
    // Fails with Allocated when the port is already open. When the reset
    // fails the port is open and the reset's code is returned.
    midi::Result open(int deviceIndex) override;
    // Stops, resets and closes the device, stopping at the first failure with
    // the port still open. Returns 0 at once when the port is closed.
    midi::Result close() override;

    // Start and stop the flow of input. With the port closed both fail with
    // InvalidHandle.
    midi::Result start();
    midi::Result stop();

    // The last message received (empty before the first).
    void receivedMessage(ByteVector& out) const { out = message_; }

    bool isOpen() const { return device_ != nullptr; }

private:
    void onLongData(std::span<const std::uint8_t> bytes);

    ByteVector message_;
    std::unique_ptr<midi::InputDevice> device_; // null while the port is closed
};

} // namespace qel
