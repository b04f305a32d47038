#pragma once

// What the command line asks for: the options, the command and its
// arguments, read from argv. Nothing here talks to a keyboard.

#include "core/Catalogue.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qel::cli {

// A command line that does not say what to do (exit status 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct CliOptions {
    std::optional<std::string> input;         // --in NAME
    std::optional<std::string> output;        // --out NAME
    bool virtualKeyboard = false;             // --virtual
    bool paced = false;                       // --paced: the virtual keyboard at wire speed
    std::optional<std::string> dataDirectory; // --data-dir DIR
    std::optional<std::string> cardDrive;     // --card DIR
    std::optional<std::string> keepCopy;      // --keep-copy DIR: what put and delete replace
    bool json = false;
    bool quiet = false;
    std::string command;
    std::vector<std::string> arguments;
};

// Reads argv (without the program name). Throws UsageError for an unknown
// option, an option without its value, an unknown command, or a command with
// too few or too many arguments.
CliOptions parseCommandLine(const std::vector<std::string>& arguments);

// A data type from its index ("0" to "9"), its label in any letter case
// ("user tone") or its short name ("tone", "tone-wave", "smf", ...).
std::optional<type::id> parseType(const std::string& text);

// A slot position as the keyboard list shows it.
std::optional<int> parseNumber(const std::string& text);

// The help text.
std::string usageText();

} // namespace qel::cli
