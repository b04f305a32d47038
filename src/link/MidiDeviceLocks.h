#pragma once

// The locks a MIDI dialog holds on its two devices while its ports are open,
// so that no other program talks through either of them at the same time (two
// programs on one keyboard take each other's replies). The input and the
// output are locked each on its own: two programs sharing only one of them are
// kept apart too.

#include "platform/files/DeviceLock.h"

#include <memory>
#include <string>

namespace qel {

class MidiDeviceLocks {
public:
    // What a device is to be locked as; empty for a device that needs no lock
    // (one inside the program, such as the virtual keyboard).
    struct Devices {
        std::string input;
        std::string output;
    };

    // Holds nothing.
    MidiDeviceLocks() = default;
    ~MidiDeviceLocks();
    MidiDeviceLocks(const MidiDeviceLocks&) = delete;
    MidiDeviceLocks& operator=(const MidiDeviceLocks&) = delete;

    // Locks the input, then the output, with lock files in `folder`; always in
    // this order, and never waiting. When one is held by another program,
    // nothing stays locked and the refusal is returned ("The keyboard is in use
    // by tq7400 (process 1234)"). Otherwise returns an empty text, also when no
    // lock could be made at all (see the .cpp).
    std::string lock(const std::string& folder, const Devices& devices);
    // Releases both locks.
    void release();

private:
    std::unique_ptr<platform::DeviceLock> input_;
    std::unique_ptr<platform::DeviceLock> output_;
};

} // namespace qel
