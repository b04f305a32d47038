#pragma once

// The MIDI devices of the operating system: the ALSA sequencer on Linux,
// reached through RtMidi, or a JACK server where no sequencer exists
// (containers, test machines) or where the environment variable QEL_MIDI_API
// says so ("alsa", "jack" or "none"). JACK is served by the JACK backend of
// JackBackend.h, not by RtMidi; in a build without JACK (JackClient::builtIn()
// false) it is never chosen. Without any reachable MIDI system the device
// lists are empty; nothing here throws. An RtMidi output device refuses
// messages over 8 KB with InvalidParameter.

#include "platform/midi/MidiBackend.h"

#include <memory>
#include <string>

namespace qel::midi {

// The backend for the MIDI system chosen as above.
std::unique_ptr<Backend> makeRtMidiBackend();

// A device name that stays the same across sessions: ALSA appends the
// client:port numbers it gave out this time ("Synth:Synth MIDI 1 24:0"),
// which are dropped here ("Synth:Synth MIDI 1").
std::string stableDeviceName(const std::string& systemName);

// The version of the RtMidi library the program is built with ("5.0.0").
std::string rtMidiVersion();

} // namespace qel::midi
