#pragma once

// The "TQ-7400 Virtual Keyboard": the keyboard simulator as an in-process MIDI
// device of the driver layer, listed in both device lists. It keeps its memory
// for as long as the backend lives, so what one keyboard action sends the next
// one finds. The program assembles it into its one driver (see the workflow
// layer's ProgramMidi.h); the driver layer itself knows nothing of it.

#include "kbdsim/KeyboardSimulator.h"
#include "platform/midi/VirtualDevice.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kbdsim {

inline constexpr const char* virtualKeyboardName = "TQ-7400 Virtual Keyboard";

// Sees every message the program sends to the keyboard, as the keyboard
// receives it (tests, monitoring).
using MessageTap = std::function<void(const std::vector<std::uint8_t>&)>;

// A backend hosting `simulator`. The simulator is used on the UI thread only;
// its caller may change its options or inspect its memory between operations.
// Pacing on in its options also paces the messages the program sends to it.
std::unique_ptr<qel::midi::VirtualDeviceBackend>
makeVirtualKeyboardBackend(std::shared_ptr<KeyboardSimulator> simulator, MessageTap tap = {});

} // namespace kbdsim
