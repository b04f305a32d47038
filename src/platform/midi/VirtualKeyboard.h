#pragma once

// The "TQ-7400 Virtual Keyboard": the keyboard simulator as an in-process MIDI
// device, listed in both device lists. It keeps its memory for as long as the
// driver lives, so what one keyboard action sends the next one finds.

#include "kbdsim/KeyboardSimulator.h"
#include "platform/midi/MidiDriver.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace qel::midi {

inline constexpr const char* virtualKeyboardName = "TQ-7400 Virtual Keyboard";

// A backend hosting `simulator`. The simulator is used on the UI thread only;
// its caller may change its options or inspect its memory between operations.
// Pacing on in its options also paces the messages the program sends to it.
// `tap`, when set, sees every message the program sends to the keyboard, as
// the keyboard receives it (tests, monitoring).
using MessageTap = std::function<void(const std::vector<std::uint8_t>&)>;
std::unique_ptr<Backend>
makeVirtualKeyboardBackend(std::shared_ptr<kbdsim::KeyboardSimulator> simulator,
                           MessageTap tap = {});

// The driver of the program: the operating system's MIDI devices, then the
// virtual keyboard (model 3, demo content, no pacing, no faults).
std::shared_ptr<Driver> makeStandardDriver();

} // namespace qel::midi
