#pragma once

// The program's settings as one plain value. The window program and the
// command line read it once from the per-user registry (SettingsReader.h) and
// hand it down; no layer below them reads the registry.

#include <string>

namespace qel {

struct Settings {
    // The product names of the MIDI devices that lead to the keyboard.
    std::string inputDevice;
    std::string outputDevice;
    // The data directory, ending with a path separator; empty: the current directory.
    std::string dataDirectory;
    // The root folder of the memory card's drive; empty when none was chosen.
    std::string cardDrive;
    // Whether the MIDI devices' key exists: without it the window program
    // starts with the preferences.
    bool midiKeyExists = false;
};

} // namespace qel
