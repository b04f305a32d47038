#include "cli/CommandLine.h"

#include <QString>
#include <array>
#include <charconv>
#include <map>

namespace qel::cli {

namespace {

constexpr std::array<const char*, type::selectableCount> shortNames{
    "tone",   "dsp",          "organ", "tone-wave", "drum-wave",
    "rhythm", "registration", "song",  "smf",       "package"};

// The arguments each command takes: at least, at most.
struct Arity {
    std::size_t least, most;
};
const std::map<std::string, Arity>& commands() {
    static const std::map<std::string, Arity> table{
        {"devices", {0, 0}}, {"model", {0, 0}},  {"list", {0, 1}}, {"get", {2, 3}},
        {"put", {1, 2}},     {"delete", {2, 2}}, {"init", {1, 1}}, {"backup", {1, 1}},
        {"restore", {1, 1}}, {"card", {1, 2}},   {"info", {1, 1}}};
    return table;
}

} // namespace

std::optional<type::id> parseType(const std::string& text) {
    if (const auto number = parseNumber(text); number && *number < type::selectableCount)
        return static_cast<type::id>(*number);
    const QString wanted = QString::fromStdString(text).trimmed();
    for (int t = 0; t < type::selectableCount; ++t)
        if (wanted.compare(QString::fromLatin1(typeLabels[t]), Qt::CaseInsensitive) == 0 ||
            wanted.compare(QString::fromLatin1(shortNames[static_cast<std::size_t>(t)]),
                           Qt::CaseInsensitive) == 0)
            return static_cast<type::id>(t);
    return std::nullopt;
}

std::optional<int> parseNumber(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || last != end || value < 0)
        return std::nullopt;
    return value;
}

CliOptions parseCommandLine(const std::vector<std::string>& arguments) {
    CliOptions options;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= arguments.size())
                throw UsageError("option '" + word + "' needs a value");
            return arguments[++i];
        };
        if (word == "--in")
            options.input = value();
        else if (word == "--out")
            options.output = value();
        else if (word == "--virtual")
            options.virtualKeyboard = true;
        else if (word == "--paced")
            options.virtualKeyboard = options.paced = true;
        else if (word == "--data-dir")
            options.dataDirectory = value();
        else if (word == "--card")
            options.cardDrive = value();
        else if (word == "--keep-copy")
            options.keepCopy = value();
        else if (word == "--json")
            options.json = true;
        else if (word == "--quiet")
            options.quiet = true;
        else if (word.size() > 1 && word[0] == '-' && word != "-")
            throw UsageError("unknown option '" + word + "'");
        else
            words.push_back(word);
    }
    if (words.empty())
        throw UsageError("no command given");
    options.command = words.front();
    options.arguments.assign(words.begin() + 1, words.end());
    const auto found = commands().find(options.command);
    if (found == commands().end())
        throw UsageError("unknown command '" + options.command + "'");
    const Arity arity = found->second;
    if (options.arguments.size() < arity.least || options.arguments.size() > arity.most)
        throw UsageError("wrong number of arguments for '" + options.command + "'");
    return options;
}

std::string usageText() {
    return R"(usage: tq7400 [options] COMMAND [ARGUMENTS]

commands:
  devices                 MIDI input and output devices, the virtual keyboard included
  model                   the keyboard's model code and name
  list [TYPE]             slots of every type 0-8 (or one type): No, name, size; then memory
  get TYPE NO [DIR]       receive the item shown as NO into DIR (default: the data directory)
  put FILE [NO]           send a PC file; its type comes from its content
  delete TYPE NO          delete the item shown as NO (types 3, 4, 5, 7, 8)
  init mixer|parameter|system
  backup DIR              every non-empty item of types 0-8 into DIR, with a manifest
  restore DIR             every item of a backup back into its own slot
  card list [TYPE]        the files of the memory card folder
  card put FILE           write a PC file onto the memory card
  info FILE               what a PC file holds

options:
  --in NAME, --out NAME   MIDI devices by name (letter case ignored); default: the settings
  --virtual               the built-in virtual keyboard for both
  --paced                 the virtual keyboard, answering at MIDI speed as a real one would
  --data-dir DIR          the data directory; --card DIR the card drive (a mount root)
  --keep-copy DIR          receive what put or delete replaces into DIR first
  --json                  machine-readable output (see README: no, number, nameBytes)
  --quiet                 no progress bar, and no line saying what a command did

put, delete and restore never ask: they print what they replace or clear.

TYPE: 0-9, a label ("USER TONE") or tone, dsp, organ, tone-wave, drum-wave, rhythm,
registration, song, smf, package.
exit status: 0 success, 1 failure, 2 usage error, 130 Ctrl+C (143 SIGTERM),
141 the output was closed early (as by `| head`: the run stops as Ctrl+C stops it)
)";
}

} // namespace qel::cli
