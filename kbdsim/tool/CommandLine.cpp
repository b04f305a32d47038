#include "kbdsim/tool/CommandLine.h"

#include "core/Exception.h"

#include <charconv>
#include <map>

namespace kbdsim::tool {
namespace {

std::uint64_t number(const std::string& option, const std::string& text, std::uint64_t maximum) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || at != end || value > maximum)
        throw qel::Exception(option + ": expected a number from 0 to " + std::to_string(maximum) +
                             ", got \"" + text + "\"");
    return value;
}

MessageKind kind(const std::string& option, const std::string& text) {
    static const std::map<std::string, MessageKind> kinds = {
        {"model", MessageKind::ModelRequest},    {"parameter", MessageKind::ParameterRequest},
        {"value", MessageKind::ParameterValue},  {"data-request", MessageKind::DataRequest},
        {"next-block", MessageKind::NextBlock},  {"block", MessageKind::DataBlock},
        {"end-of-data", MessageKind::EndOfData},
    };
    const auto it = kinds.find(text);
    if (it == kinds.end())
        throw qel::Exception(option + ": unknown message kind \"" + text + "\"");
    return it->second;
}

Malformation malformation(const std::string& option, const std::string& text) {
    if (text == "short")
        return Malformation::Short;
    if (text == "manufacturer")
        return Malformation::WrongManufacturer;
    if (text == "end")
        return Malformation::MissingEnd;
    throw qel::Exception(option + ": expected short, manufacturer or end, got \"" + text + "\"");
}

BlockCorruption corruption(const std::string& option, const std::string& text) {
    if (text == "checksum")
        return BlockCorruption::Checksum;
    if (text == "pairs")
        return BlockCorruption::PairCount;
    if (text == "number")
        return BlockCorruption::BlockNumber;
    if (text == "bit")
        return BlockCorruption::FlippedBit;
    throw qel::Exception(option + ": expected checksum, pairs, number or bit, got \"" + text +
                         "\"");
}

constexpr std::uint64_t maxOrdinal = 1'000'000'000;
constexpr std::uint64_t maxBlock = 16383;
constexpr std::uint64_t maxMilliseconds = 3'600'000;

} // namespace

Settings parseCommandLine(const std::vector<std::string>& arguments) {
    Settings settings;
    Faults& faults = settings.options.faults;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size())
                throw qel::Exception(option + ": value missing");
            return arguments[++i];
        };
        const auto milliseconds = [&] {
            return std::chrono::microseconds(1000 * number(option, value(), maxMilliseconds));
        };
        if (option == "--help" || option == "-h")
            settings.help = true;
        else if (option == "--model")
            settings.options.modelCode = static_cast<std::uint16_t>(number(option, value(), 16383));
        else if (option == "--memory")
            settings.memoryFile = value();
        else if (option == "--blank")
            settings.options.content = StartContent::Blank;
        else if (option == "--api") {
            const std::string& api = value();
            if (api == "jack")
                settings.api = MidiApi::Jack;
            else if (api == "alsa")
                settings.api = MidiApi::Alsa;
            else
                throw qel::Exception(option + ": expected jack or alsa, got \"" + api + "\"");
        } else if (option == "--name") {
            settings.portName = value();
            if (settings.portName.empty() || settings.portName.find(':') != std::string::npos)
                throw qel::Exception(option + ": a name must be non-empty and hold no ':'");
        } else if (option == "--trace")
            settings.trace = true;
        else if (option == "--pace")
            settings.options.pacing.enabled = true;
        else if (option == "--processing-delay")
            settings.options.pacing.processingDelay = milliseconds();
        else if (option == "--no-reply-to")
            faults.noReply.ordinal = number(option, value(), maxOrdinal);
        else if (option == "--no-reply-kind")
            faults.noReply.kind = kind(option, value());
        else if (option == "--reject-at-block")
            faults.rejectAtBlock = static_cast<std::uint32_t>(number(option, value(), maxBlock));
        else if (option == "--sysex-error-at-block")
            faults.sysExErrorAtBlock =
                static_cast<std::uint32_t>(number(option, value(), maxBlock));
        else if (option == "--malformed")
            faults.malformation = malformation(option, value());
        else if (option == "--malformed-at")
            faults.malformedReply.ordinal = number(option, value(), maxOrdinal);
        else if (option == "--malformed-kind")
            faults.malformedReply.kind = kind(option, value());
        else if (option == "--late-at")
            faults.lateReply.ordinal = number(option, value(), maxOrdinal);
        else if (option == "--late-kind")
            faults.lateReply.kind = kind(option, value());
        else if (option == "--late-by")
            faults.lateBy = milliseconds();
        else if (option == "--busy-after-delete")
            faults.busyPollsAfterDelete = static_cast<unsigned>(number(option, value(), 100000));
        else if (option == "--corrupt-block")
            faults.corruptAtBlock = static_cast<std::uint32_t>(number(option, value(), maxBlock));
        else if (option == "--corruption")
            faults.blockCorruption = corruption(option, value());
        else if (option == "--silent-after-block")
            faults.silentAfterBlock = static_cast<std::uint32_t>(number(option, value(), maxBlock));
        else
            throw qel::Exception("unknown option \"" + option + "\" (see --help)");
    }
    return settings;
}

std::string usage() {
    return R"(Usage: tq7400-kbdsim [options]

A simulated TQ-7400 keyboard on its own MIDI ports. It answers the data
manager's SysEx requests from a memory of user slots until it is stopped with
Ctrl+C (SIGINT) or SIGTERM.

Ports and content:
  --api jack|alsa          MIDI system (default: ALSA where a sequencer exists,
                           else JACK)
  --name NAME              port client name (default "TQ-7400 Simulator"): the
                           ports are "NAME In:MIDI In" and "NAME Out:MIDI Out"
  --memory FILE            load the memory from FILE when it exists and save it
                           there after every change and at exit
  --blank                  start with an empty memory instead of the demo content
                           (when no memory file is loaded)
  --model CODE             model code reported (default 3; 1-3 are known models,
                           any other value plays an unknown keyboard)
  --trace                  log every message in and out to standard error

Pacing:
  --pace                   every message takes its MIDI wire time (31250 baud,
                           320 microseconds a byte)
  --processing-delay MS    extra delay before each answer, with --pace

Faults (message ordinals count every incoming message from 1; KIND is one of
model, parameter, value, data-request, next-block, block, end-of-data):
  --no-reply-to N          lose the N-th message (no reply, no effect)
  --no-reply-kind KIND     lose every message of a kind
  --reject-at-block K      answer block K of each received item with 5 (reject)
  --sysex-error-at-block K answer block K of each received item with 3
  --malformed short|manufacturer|end
                           spoil the replies picked by --malformed-at/-kind
  --malformed-at N         ... the reply to the N-th message
  --malformed-kind KIND    ... the replies to a kind of message
  --late-at N / --late-kind KIND
                           delay the picked replies by --late-by MS
  --late-by MS
  --busy-after-delete N    leave N model requests unanswered after each delete
  --silent-after-block K   answer nothing once block K of a transfer is done
  --corrupt-block K        spoil block K of each item sent, as --corruption says
  --corruption checksum|pairs|number|bit
                           a wrong checksum, pair count or block number, or one
                           flipped bit in the data
  --help                   show this text
)";
}

std::string inputClientName(const Settings& settings) {
    return settings.portName + " In";
}

std::string outputClientName(const Settings& settings) {
    return settings.portName + " Out";
}

} // namespace kbdsim::tool
