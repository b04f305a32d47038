#pragma once

// The command line of the stand-alone keyboard simulator `tq7400-kbdsim`.

#include "kbdsim/SimulatorOptions.h"

#include <string>
#include <vector>

namespace kbdsim::tool {

// Which MIDI system the ports are opened with.
enum class MidiApi { Automatic, Jack, Alsa };

struct Settings {
    Options options;
    std::string memoryFile;           // empty: content is not kept between runs
    MidiApi api = MidiApi::Automatic; // ALSA where a sequencer exists, else JACK
    std::string portName = "TQ-7400 Simulator";
    bool trace = false; // log every message in and out to stderr
    bool help = false;
};

// Reads the arguments (without the program name). Throws qel::Exception with a
// one-line text naming the offending argument for an unknown option, a missing
// or malformed value, or a value out of range.
Settings parseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
std::string usage();

// Names of the MIDI ports the program opens: `portName` + " In" / " Out" as
// client names, with the ports "MIDI In" and "MIDI Out".
std::string inputClientName(const Settings& settings);
std::string outputClientName(const Settings& settings);

} // namespace kbdsim::tool
