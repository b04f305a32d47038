#pragma once

// What a MIDI dialog is made with: the MIDI driver, where the settings are,
// how long it waits for the keyboard, and its window. The application keeps
// one environment for its whole run (the driver holds the virtual keyboard's
// memory); tests make their own.

#include "link/MidiDialogView.h"
#include "platform/midi/MidiDriver.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace qel {

struct MidiDialogEnvironment {
    // The devices to open. Default: the operating system's MIDI devices.
    std::shared_ptr<midi::Driver> driver;
    // The registry document holding the device names. Default: the current user's.
    QString registryLocation;
    // How long the dialog waits for a reply, and for a sent message to leave.
    std::chrono::milliseconds replyTimeout{10000};
    // Makes the dialog's window. Default: a headless one.
    std::function<std::unique_ptr<MidiDialogView>()> makeView;

    // An environment with every default filled in.
    static MidiDialogEnvironment standard();
    // This environment with the defaults in place of what it leaves empty.
    MidiDialogEnvironment completed() const;
};

} // namespace qel
