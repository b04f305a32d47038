#pragma once

// What a MIDI dialog is made with: the MIDI driver, the devices it opens,
// how long it waits for the keyboard, and its window. The program keeps one
// environment, and so one driver, for its whole run (the driver holds the
// virtual keyboard's memory and the system's MIDI clients); tests make their own.

#include "core/ByteVector.h"
#include "link/MidiDialogView.h"
#include "platform/midi/MidiDriver.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace qel {

struct MidiDialogEnvironment {
    // The devices to open. Left empty, the dialog sees no devices at all: a
    // dialog made that way fails at its first operation that needs a port.
    std::shared_ptr<midi::Driver> driver;
    // The product names of the input and output device that lead to the
    // keyboard, matched without regard to letter case. A name the driver does
    // not list leaves both ports closed.
    std::string inputDevice;
    std::string outputDevice;
    // How long the dialog waits for a reply, and for a sent message to leave.
    std::chrono::milliseconds replyTimeout{10000};
    // Sees each message the dialog has handed to its output port (sent true)
    // and each reply it has taken from its input port, on the UI thread. Empty:
    // nothing watches, and nothing is copied.
    std::function<void(bool sent, const ByteVector& message)> monitor;
    // The folder of the locks that keep other programs off the devices a
    // dialog has open. Default: platform::defaultDeviceLockFolder().
    std::string deviceLockFolder;
    // Makes the dialog's window. Default: a headless one.
    std::function<std::unique_ptr<MidiDialogView>()> makeView;

    // This environment with the defaults in place of what it leaves empty: a
    // driver without devices, the current user's lock folder, a headless
    // window.
    MidiDialogEnvironment completed() const;
};

} // namespace qel
