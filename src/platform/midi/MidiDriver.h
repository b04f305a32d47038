#pragma once

// The MIDI driver of the program: all MIDI systems behind one input and one
// output device list, as the operating system's MIDI interface would show them.
// A device's position in its list is the index that opens it.

#include "platform/midi/MidiBackend.h"

#include <memory>
#include <string>
#include <vector>

namespace qel::midi {

class Driver {
public:
    // The backends in list order: the devices of the first come first.
    explicit Driver(std::vector<std::unique_ptr<Backend>> backends);
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    // Product names of all input / output devices.
    std::vector<std::string> inputNames();
    std::vector<std::string> outputNames();

    // Opens the device at `index` of the current list (see Backend). Fails with
    // BadDeviceId for an index outside the list.
    Result openInput(int index, std::size_t bufferSize, LongDataHandler onData,
                     std::unique_ptr<InputDevice>& device);
    Result openOutput(int index, DoneHandler onDone, std::unique_ptr<OutputDevice>& device);

    // Whether the device at `index` of the current input / output list lives
    // inside the program (see Backend::inProcess); false for an index outside
    // the list.
    bool inputInProcess(int index);
    bool outputInProcess(int index);

private:
    // The backend that holds list position `index`, and the position inside it.
    struct Location {
        Backend* backend = nullptr;
        std::size_t index = 0;
    };
    Location locate(int index, bool input);

    std::vector<std::unique_ptr<Backend>> backends_;
};

// A driver with the operating system's MIDI devices only (see RtMidiBackend),
// without the virtual keyboard. The program does not use this: it makes its
// one driver for the whole run with makeProgramMidiDriver() of the workflow
// layer, which adds the virtual keyboard.
std::shared_ptr<Driver> makeSystemDevicesOnlyDriver();

} // namespace qel::midi
