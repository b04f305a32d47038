#pragma once

// One keyboard action against the in-process virtual keyboard: a MIDI dialog
// opened on it by the device names of its environment, which the keyboard
// data items are handed, and a temporary data directory.

#include "kbdsim/KeyboardSimulator.h"
#include "link/MidiDialog.h"

#include <QTemporaryDir>
#include <memory>
#include <string>

namespace qel::test {

class KeyboardSession {
public:
    KeyboardSession();
    ~KeyboardSession();
    KeyboardSession(const KeyboardSession&) = delete;
    KeyboardSession& operator=(const KeyboardSession&) = delete;

    kbdsim::KeyboardSimulator& keyboard() { return *simulator_; }
    MidiDialog& dialog() { return *dialog_; }
    // The data directory, ending with '/'.
    const std::string& directory() const { return directory_; }

private:
    QTemporaryDir folder_;
    std::string directory_;
    std::shared_ptr<kbdsim::KeyboardSimulator> simulator_;
    std::unique_ptr<MidiDialog> dialog_;
};

} // namespace qel::test
