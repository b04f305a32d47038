#include "platform/midi/MidiResult.h"

namespace qel::midi {

std::string errorText(Result code) {
    switch (code) {
    case result::NoError:
        return "The operation completed successfully.";
    case result::Error:
        return "The MIDI system reported an unspecified error.";
    case result::BadDeviceId:
        return "There is no MIDI device with this number.";
    case result::NotEnabled:
        return "The MIDI system is not available.";
    case result::Allocated:
        return "The MIDI device is already in use by another program or port.";
    case result::InvalidHandle:
        return "The MIDI device is not open.";
    case result::NoDriver:
        return "No MIDI system could be reached.";
    case result::NoMemory:
        return "Not enough memory for the MIDI operation.";
    case result::NotSupported:
        return "The MIDI device does not support this operation.";
    case result::InvalidParameter:
        return "The MIDI message does not fit the port buffer.";
    case result::HandleBusy:
        return "The MIDI device is busy with another operation.";
    case result::Unprepared:
        return "There is no MIDI message to send.";
    case result::StillPlaying:
        return "A MIDI message is still being sent.";
    case result::NotReady:
        return "The MIDI device cannot take data now.";
    case result::NoDevice:
        return "The MIDI device is no longer connected.";
    default:
        return "Unknown MIDI error " + std::to_string(code) + ".";
    }
}

} // namespace qel::midi
