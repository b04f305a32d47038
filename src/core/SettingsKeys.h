#pragma once

// Where the program's four settings live in the per-user registry: the key
// paths and value names, each written once.

namespace qel::settings {

// The data directory, ending with a path separator.
inline constexpr const char* programKey = "Software\\Vorla\\TQ-7400";
inline constexpr const char* directoryValue = "Directory";
// The product names of the MIDI devices that lead to the keyboard. Whether this
// key exists decides whether the program starts with the preferences.
inline constexpr const char* midiKey = "Software\\Vorla\\TQ-7400\\MIDI";
inline constexpr const char* inputDeviceValue = "InputDevice";
inline constexpr const char* outputDeviceValue = "OutputDevice";
// The root folder of the memory card's drive.
inline constexpr const char* cardKey = "Software\\Vorla\\TQ-7400\\Card";
inline constexpr const char* driveValue = "Drive";

} // namespace qel::settings
