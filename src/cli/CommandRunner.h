#pragma once

// Runs one command of the command line over the data manager, the same
// workflows the window runs, with a terminal for a view. The stored settings
// are read once; settings given on the command line take the place of theirs
// for this run only, and nothing is written back.

#include "cli/CommandLine.h"
#include "cli/TerminalView.h"
#include "core/Settings.h"
#include "platform/midi/MidiDriver.h"
#include "workflows/DataManager.h"

#include <QString>
#include <iosfwd>
#include <memory>

namespace qel::cli {

class CommandRunner {
public:
    // `out` takes the command's output; failures go to standard error.
    CommandRunner(CliOptions options, std::ostream& out);
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    // Runs the command; returns the exit status: 0 success, 1 failure. Throws
    // OutputClosed when the output was closed before the command ended, and
    // Interrupted when Ctrl+C or SIGTERM stopped it.
    int run();

private:
    void devices();
    void model();
    void list();
    void get();
    void put();
    void remove();
    void initialize();
    void backup();
    void restore();
    void card();
    void info();

    // The stored settings with the command line's choices in their place, and
    // the MIDI driver.
    void prepareSettings();
    // The exact name of the device `wanted` names (letter case aside) among `names`.
    static std::string deviceName(const std::vector<std::string>& names, const std::string& wanted,
                                  const char* kind);
    DataManager& manager();
    // Throws OutputClosed once nobody reads the output, Interrupted after
    // Ctrl+C or SIGTERM, else the first failure the data manager showed.
    void check() const;
    // Fails unless the --keep-copy folder, when given, exists (or can be
    // made) and takes new files.
    void requireKeepCopyFolder() const;
    type::id typeArgument(std::size_t index) const;
    // The keyboard list row of the slot shown as `no` in the current type.
    int rowOfPosition(const std::string& no);
    void printSlots(type::id type);

    CliOptions options_;
    std::ostream& out_;
    TerminalLine line_;
    Settings settings_;
    std::shared_ptr<midi::Driver> driver_;
    std::unique_ptr<TerminalView> view_;
    std::unique_ptr<DataManager> manager_;
};

} // namespace qel::cli
