#pragma once

// The virtual keyboard on a MIDI driver of its own, chosen as both devices:
// what the window, workflow and round-trip tests talk to. Each message the
// keyboard receives can be watched.

#include "kbdsim/KeyboardSimulator.h"
#include "kbdsim/device/VirtualKeyboard.h"
#include "link/MidiDialogEnvironment.h"
#include "platform/midi/MidiDriver.h"

#include <chrono>
#include <memory>
#include <utility>
#include <vector>

namespace qel::test {

struct VirtualKeyboardBench {
    // `received` sees each message the keyboard receives; empty: nothing watches.
    explicit VirtualKeyboardBench(kbdsim::MessageTap received = {},
                                  std::shared_ptr<kbdsim::KeyboardSimulator> keyboard =
                                      std::make_shared<kbdsim::KeyboardSimulator>())
        : simulator(std::move(keyboard)) {
        std::vector<std::unique_ptr<midi::Backend>> backends;
        backends.push_back(kbdsim::makeVirtualKeyboardBackend(simulator, std::move(received)));
        driver = std::make_shared<midi::Driver>(std::move(backends));
    }

    // Dialogs made in this environment open the virtual keyboard and wait 2 s
    // for a reply.
    MidiDialogEnvironment environment() const {
        MidiDialogEnvironment made;
        made.driver = driver;
        made.inputDevice = kbdsim::virtualKeyboardName;
        made.outputDevice = kbdsim::virtualKeyboardName;
        made.replyTimeout = std::chrono::milliseconds(2000);
        return made;
    }

    std::shared_ptr<kbdsim::KeyboardSimulator> simulator;
    std::shared_ptr<midi::Driver> driver;
};

} // namespace qel::test
