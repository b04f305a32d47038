#include "platform/midi/MidiDriver.h"

#include "platform/midi/RtMidiBackend.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using namespace qel::midi;

// A MIDI system that only lists names and remembers what was opened.
class ListingBackend : public Backend {
public:
    ListingBackend(std::vector<std::string> inputs, std::vector<std::string> outputs,
                   std::vector<std::string>& log)
        : inputs_(std::move(inputs)), outputs_(std::move(outputs)), log_(log) {}

    std::vector<std::string> inputNames() override { return inputs_; }
    std::vector<std::string> outputNames() override { return outputs_; }
    Result openInput(std::size_t index, std::size_t, LongDataHandler,
                     std::unique_ptr<InputDevice>&) override {
        log_.push_back("in " + inputs_.at(index));
        return result::NoError;
    }
    Result openOutput(std::size_t index, DoneHandler, std::unique_ptr<OutputDevice>&) override {
        log_.push_back("out " + outputs_.at(index));
        return result::NoError;
    }

private:
    std::vector<std::string> inputs_;
    std::vector<std::string> outputs_;
    std::vector<std::string>& log_;
};

struct NameCase {
    const char* system;
    const char* stable;
};

void PrintTo(const NameCase& c, std::ostream* out) {
    *out << '"' << c.system << '"';
}

class StableDeviceName : public testing::TestWithParam<NameCase> {};

TEST_P(StableDeviceName, DropsOnlyTheTrailingClientAndPortNumbers) {
    EXPECT_EQ(stableDeviceName(GetParam().system), GetParam().stable);
}

INSTANTIATE_TEST_SUITE_P(Names, StableDeviceName,
                         testing::Values(NameCase{"Synth:Synth MIDI 1 24:0", "Synth:Synth MIDI 1"},
                                         NameCase{"Midi Through:Midi Through Port-0 14:0",
                                                  "Midi Through:Midi Through Port-0"},
                                         NameCase{"USB Keyboard 128:12", "USB Keyboard"},
                                         NameCase{"system:midi_capture_1",
                                                  "system:midi_capture_1"}, // JACK: already stable
                                         NameCase{"Port 24:", "Port 24:"},
                                         NameCase{"Port :0", "Port :0"},
                                         NameCase{"Port 2a:0", "Port 2a:0"},
                                         NameCase{"24:0", "24:0"}, NameCase{"", ""},
                                         NameCase{"Keyboard 12:34:56", "Keyboard 12:34:56"}));

TEST(MidiDriver, ListsEveryBackendInOrderAndOpensByPositionInTheWholeList) {
    std::vector<std::string> log;
    std::vector<std::unique_ptr<Backend>> backends;
    backends.push_back(std::make_unique<ListingBackend>(std::vector<std::string>{"A in", "B in"},
                                                        std::vector<std::string>{"A out"}, log));
    backends.push_back(std::make_unique<ListingBackend>(std::vector<std::string>{"V"},
                                                        std::vector<std::string>{"V"}, log));
    Driver driver(std::move(backends));
    EXPECT_EQ(driver.inputNames(), (std::vector<std::string>{"A in", "B in", "V"}));
    EXPECT_EQ(driver.outputNames(), (std::vector<std::string>{"A out", "V"}));

    std::unique_ptr<InputDevice> input;
    std::unique_ptr<OutputDevice> output;
    EXPECT_EQ(driver.openInput(2, 256, {}, input), result::NoError);
    EXPECT_EQ(driver.openInput(1, 256, {}, input), result::NoError);
    EXPECT_EQ(driver.openOutput(1, {}, output), result::NoError);
    EXPECT_EQ(driver.openOutput(0, {}, output), result::NoError);
    EXPECT_EQ(log, (std::vector<std::string>{"in V", "in B in", "out V", "out A out"}));
}

TEST(MidiDriver, IndexOutsideTheListIsABadDeviceId) {
    std::vector<std::string> log;
    std::vector<std::unique_ptr<Backend>> backends;
    backends.push_back(std::make_unique<ListingBackend>(std::vector<std::string>{"A"},
                                                        std::vector<std::string>{"A"}, log));
    Driver driver(std::move(backends));
    std::unique_ptr<InputDevice> input;
    std::unique_ptr<OutputDevice> output;
    for (int index : {-1, 1, 1000}) {
        EXPECT_EQ(driver.openInput(index, 256, {}, input), result::BadDeviceId) << index;
        EXPECT_EQ(driver.openOutput(index, {}, output), result::BadDeviceId) << index;
    }
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
}

TEST(MidiResultText, EveryCodeHasATextAndUnknownCodesSayTheirNumber) {
    for (Result code : {1u, 2u, 4u, 5u, 6u, 7u, 11u, 12u, 64u, 65u, 67u, 68u})
        EXPECT_FALSE(errorText(code).empty()) << code;
    EXPECT_EQ(errorText(5), "The MIDI device is not open.");
    EXPECT_EQ(errorText(19), "Unknown MIDI error 19.");
}

// With no MIDI system chosen, the system backend lists nothing and opens nothing.
TEST(RtMidiBackend, NoSystemChosenListsNothingAndRefusesToOpen) {
    ::setenv("QEL_MIDI_API", "none", 1);
    auto backend = makeRtMidiBackend();
    ::unsetenv("QEL_MIDI_API");
    EXPECT_TRUE(backend->inputNames().empty());
    EXPECT_TRUE(backend->outputNames().empty());
    std::unique_ptr<InputDevice> input;
    std::unique_ptr<OutputDevice> output;
    EXPECT_EQ(backend->openInput(0, 256, {}, input), result::BadDeviceId);
    EXPECT_EQ(backend->openOutput(0, {}, output), result::BadDeviceId);
}

// The machine this runs on may have neither an ALSA sequencer nor a JACK
// server: the backend must then list nothing rather than fail.
TEST(RtMidiBackend, MissingSystemsNeverThrow) {
    for (const char* api : {"alsa", "jack", ""}) {
        ::setenv("QEL_MIDI_API", api, 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
        ::setenv("JACK_DEFAULT_SERVER", "qel-test-no-such-server", 1);
        std::unique_ptr<Backend> backend;
        ASSERT_NO_THROW(backend = makeRtMidiBackend()) << api;
        std::unique_ptr<OutputDevice> output;
        EXPECT_NO_THROW(backend->inputNames()) << api;
        EXPECT_NO_THROW(backend->outputNames()) << api;
        const auto count = backend->outputNames().size();
        EXPECT_NE(backend->openOutput(count, {}, output), result::NoError) << api;
        ::unsetenv("QEL_MIDI_API");
        ::unsetenv("JACK_DEFAULT_SERVER");
    }
}

} // namespace
