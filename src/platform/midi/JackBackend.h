#pragma once

// The MIDI ports of a JACK server as a backend of the driver layer, written on
// libjack through JackClient. One JACK client serves the backend for its whole
// life: listing devices asks the server for its ports through that client, and
// opening a device registers a port on it and connects it (or takes the port
// that the last close of the same device left connected), so a MIDI dialog
// opens and closes without making a JACK client of its own. The client is made
// on first use, and made again when the server it knew has shut down.
//
// Devices are the MIDI ports of other JACK clients by full name
// ("client:port"): input devices are the ports that send MIDI, output devices
// the ports that take it. An output's done notification comes only after the
// message has been written into a process cycle's buffer; closing an output
// lets its queued messages leave first (see JackClient). Once the server has
// shut down, sends fail with NoDevice and the devices close at once.

#include "platform/midi/JackClient.h"
#include "platform/midi/MidiBackend.h"

#include <memory>
#include <string>

namespace qel::midi {

struct JackBackendOptions {
    // The JACK client's name (the server adds a number when it is taken).
    std::string clientName = "TQ-7400 Data Manager";
    // Bounds and test seams of the client.
    JackClient::Options client;
};

// A JACK backend; nothing is connected until a list or an open needs it, and
// nothing here throws. Must be made on the thread whose event queue delivers
// the notifications (the UI thread).
std::unique_ptr<Backend> makeJackBackend(JackBackendOptions options = {});

} // namespace qel::midi
