#pragma once

// Result codes of the MIDI driver layer. They keep the numbers of the Windows
// multimedia API, so that the MIDI dialog can pass them on as its error codes
// (1-20 general, 64 up MIDI-specific); the texts are our own.

#include <cstdint>
#include <string>

namespace qel::midi {

using Result = std::uint32_t;

namespace result {
inline constexpr Result NoError = 0;
inline constexpr Result Error = 1;             // unspecified failure of the MIDI system
inline constexpr Result BadDeviceId = 2;       // no device at that list index
inline constexpr Result NotEnabled = 3;        // the MIDI system is not available
inline constexpr Result Allocated = 4;         // the device is already in use
inline constexpr Result InvalidHandle = 5;     // the device is not open
inline constexpr Result NoDriver = 6;          // no MIDI system could be reached
inline constexpr Result NoMemory = 7;          // out of memory
inline constexpr Result NotSupported = 8;      // the device cannot do that
inline constexpr Result InvalidParameter = 11; // e.g. a message longer than the port buffer
inline constexpr Result HandleBusy = 12;       // the device is in the middle of another operation
inline constexpr Result Unprepared = 64;       // no message to send
inline constexpr Result StillPlaying = 65;     // a message is still being sent
inline constexpr Result NotReady = 67;         // the device cannot take data now
inline constexpr Result NoDevice = 68;         // the device has gone away
} // namespace result

// A text for a result code, for display after "MIDI SYSTEM ERROR: ". Never empty:
// codes without a text of their own get "Unknown MIDI error <code>".
std::string errorText(Result code);

} // namespace qel::midi
