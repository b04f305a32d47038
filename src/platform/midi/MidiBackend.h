#pragma once

// The shape every MIDI system of the driver layer has: a list of input and of
// output devices by product name, opened by list index. An open output device
// takes one whole message at a time and reports when it is through with it; an
// open input device delivers each received System Exclusive message.
//
// Notifications never run on a driver thread and never inside the call that
// caused them: a backend posts them to the event queue of the thread that opened
// the device (the UI thread), where they run like any other event. Destroying a
// device object drops its notifications that have not run yet.

#include "platform/midi/MidiResult.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qel::midi {

// Called when an output device is through with the message given to send().
using DoneHandler = std::function<void()>;
// Called with one received message (or one buffer-sized piece of a longer one).
using LongDataHandler = std::function<void(std::span<const std::uint8_t>)>;

class OutputDevice {
public:
    virtual ~OutputDevice() = default;

    // Takes a copy of one complete System Exclusive message to send and returns
    // at once; the done handler runs once per message when it has left, in
    // order (a message sent while another is on its way follows it). "Left"
    // means handed to the MIDI system in full, never merely queued for it.
    // Fails with Unprepared for an empty message, or with the system's code.
    virtual Result send(std::span<const std::uint8_t> message) = 0;
    // Does nothing but check that the device is open (InvalidHandle if not): no
    // MIDI system here can call back a message once taken, and a System
    // Exclusive message cut short would leave the receiver waiting for its end.
    virtual Result reset() = 0;
    // Closes the device after what was sent has left, waiting a bounded time
    // for it; on failure (StillPlaying when that time passed) it stays open.
    // Returns the system's code.
    virtual Result close() = 0;
};

class InputDevice {
public:
    virtual ~InputDevice() = default;

    // Input flows only between start() and stop(); messages arriving outside
    // are dropped. Both return the system's code.
    virtual Result start() = 0;
    virtual Result stop() = 0;
    // Stops input and drops everything received but not yet delivered.
    virtual Result reset() = 0;
    // Closes the device; on failure it stays open.
    virtual Result close() = 0;
};

// One MIDI system (RtMidi, the in-process virtual keyboard, ...).
class Backend {
public:
    virtual ~Backend() = default;

    // Product names of the devices, in the system's order; names stay the same
    // from one session to the next.
    virtual std::vector<std::string> inputNames() = 0;
    virtual std::vector<std::string> outputNames() = 0;

    // Opens input device `index` of inputNames(). Each received message is
    // delivered to `onData` in pieces of at most `bufferSize` bytes. On success
    // `device` holds the open device; on failure it is left empty.
    virtual Result openInput(std::size_t index, std::size_t bufferSize, LongDataHandler onData,
                             std::unique_ptr<InputDevice>& device) = 0;
    // Opens output device `index` of outputNames().
    virtual Result openOutput(std::size_t index, DoneHandler onDone,
                              std::unique_ptr<OutputDevice>& device) = 0;

    // Whether this system's devices live inside the program itself (the
    // built-in virtual keyboard): no other program can reach them, so they need
    // no lock against other programs. Devices of the operating system's MIDI
    // systems (ALSA, JACK, ...) are shared and answer false.
    virtual bool inProcess() const { return false; }
};

} // namespace qel::midi
