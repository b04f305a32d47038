#pragma once

// The MIDI environment of one run of the program. The program makes its one
// driver here at start and keeps it until it ends: the system's MIDI devices
// first, then the built-in "TQ-7400 Virtual Keyboard", whose memory therefore
// lives as long as the program, so what one action sends the next one finds.

#include "link/MidiDialogEnvironment.h"
#include "platform/midi/MidiDriver.h"

#include <memory>

namespace qel {

// Whether a driver has the operating system's MIDI devices besides the
// virtual keyboard. Left out, no MIDI system of the machine is reached at all:
// in particular no JACK client is opened, so libjack never touches its
// per-user files in shared memory, which JACK servers dying beside the
// program can leave in a state that kills any JACK client (JackSharedFiles.h).
enum class SystemDevices { Included, LeftOut };

// The program's driver: the operating system's MIDI devices (unless left
// out), then the virtual keyboard (model 3, demo content, no faults; answering
// at once, or at the MIDI wire's speed of 31250 baud when `paced`, as a real
// keyboard would). Make it once per run.
std::shared_ptr<midi::Driver> makeProgramMidiDriver(bool paced = false,
                                                    SystemDevices system = SystemDevices::Included);

// The environment every MIDI dialog of the run is made in: `driver`, the
// devices named yet (the caller names them from its settings), and the window
// `makeView` makes (headless when empty).
MidiDialogEnvironment
makeProgramMidiEnvironment(std::shared_ptr<midi::Driver> driver,
                           std::function<std::unique_ptr<MidiDialogView>()> makeView = {});

} // namespace qel
