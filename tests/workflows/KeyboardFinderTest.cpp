// Finding the MIDI pair that leads to the keyboard: the order pairs are tried
// in, the pair that answers among silent and misleading devices, none, cancel.

#include "workflows/KeyboardFinder.h"

#include "kbdsim/device/VirtualKeyboard.h"
#include "platform/midi/VirtualDevice.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using namespace std::chrono_literals;
using Outcome = KeyboardSearch::Outcome;

// ---- the order of the pairs ----

struct OrderCase {
    const char* name;
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
    std::vector<MidiPair> order;
};

void PrintTo(const OrderCase& c, std::ostream* out) {
    *out << c.name;
}

class SearchOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(SearchOrder, TriesSameNamedPairsFirstThenEveryOtherPairOnceThenTheVirtualKeyboard) {
    EXPECT_EQ(keyboardSearchOrder(GetParam().inputs, GetParam().outputs), GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, SearchOrder,
    testing::Values(OrderCase{"no devices", {}, {}, {}}, OrderCase{"inputs only", {"A"}, {}, {}},
                    OrderCase{"one pair", {"A"}, {"A"}, {{"A", "A"}}},
                    OrderCase{"same names first, in input order",
                              {"Thru", "Cable", "Kbd"},
                              {"Kbd", "Cable"},
                              {{"Cable", "Cable"},
                               {"Kbd", "Kbd"},
                               {"Thru", "Kbd"},
                               {"Thru", "Cable"},
                               {"Cable", "Kbd"},
                               {"Kbd", "Cable"}}},
                    OrderCase{"letter case does not part a pair",
                              {"usb midi"},
                              {"Other", "USB MIDI"},
                              {{"usb midi", "USB MIDI"}, {"usb midi", "Other"}}},
                    OrderCase{"a name listed twice is tried once",
                              {"A", "a", "B"},
                              {"B", "B"},
                              {{"B", "B"}, {"A", "B"}}},
                    OrderCase{"the virtual keyboard last, alone",
                              {kbdsim::virtualKeyboardName, "Cable"},
                              {kbdsim::virtualKeyboardName, "Cable", "Synth"},
                              {{"Cable", "Cable"},
                               {"Cable", "Synth"},
                               {kbdsim::virtualKeyboardName, kbdsim::virtualKeyboardName}}},
                    OrderCase{"the virtual keyboard only",
                              {kbdsim::virtualKeyboardName},
                              {kbdsim::virtualKeyboardName},
                              {{kbdsim::virtualKeyboardName, kbdsim::virtualKeyboardName}}}));

// ---- the search over devices ----

// A device that never answers.
std::unique_ptr<midi::Backend> silentDevice(const std::string& name) {
    return std::make_unique<midi::VirtualDeviceBackend>(
        name, [](const std::vector<std::uint8_t>&) { return std::vector<midi::TimedMessage>{}; });
}

// A loop-back port: every message comes straight back, as through a MIDI
// "through" port or a cable from the PC's output to its own input.
std::unique_ptr<midi::Backend> echoDevice(const std::string& name) {
    return std::make_unique<midi::VirtualDeviceBackend>(
        name, [](const std::vector<std::uint8_t>& message) {
            return std::vector<midi::TimedMessage>{{message, 0us}};
        });
}

// The virtual keyboard with these options.
std::unique_ptr<midi::Backend> keyboard(const kbdsim::Options& options = {}) {
    return kbdsim::makeVirtualKeyboardBackend(std::make_shared<kbdsim::KeyboardSimulator>(options));
}

// A keyboard connected through a device of another name (a USB cable).
std::unique_ptr<midi::Backend> connectedKeyboard(const std::string& name,
                                                 const kbdsim::Options& options = {}) {
    auto simulator = std::make_shared<kbdsim::KeyboardSimulator>(options);
    return std::make_unique<midi::VirtualDeviceBackend>(
        name, [simulator](const std::vector<std::uint8_t>& message) {
            std::vector<midi::TimedMessage> answers;
            for (auto& reply : simulator->handle(message))
                answers.push_back({std::move(reply.message), reply.delay});
            return answers;
        });
}

std::shared_ptr<midi::Driver> driverOf(std::vector<std::unique_ptr<midi::Backend>> backends) {
    return std::make_shared<midi::Driver>(std::move(backends));
}

template <typename... Backends> std::shared_ptr<midi::Driver> driverOf(Backends... backends) {
    std::vector<std::unique_ptr<midi::Backend>> list;
    (list.push_back(std::move(backends)), ...);
    return driverOf(std::move(list));
}

// Time enough for the virtual keyboard to answer on a loaded machine; silent
// pairs cost this much each, so the tests keep few of them before an answer.
constexpr auto answerTimeout = 1500ms;
// Where no pair can answer, waiting longer proves nothing more.
constexpr auto silenceTimeout = 100ms;

const std::string keyboardName = kbdsim::virtualKeyboardName;

TEST(FindKeyboard, TakesTheVirtualKeyboardOnlyWhenNoOtherDeviceAnswers) {
    auto driver = driverOf(keyboard(), silentDevice("Port A"));
    const KeyboardSearch found = findKeyboard(driver, answerTimeout);
    ASSERT_EQ(found.outcome, Outcome::Found);
    EXPECT_EQ(found.pair, (MidiPair{keyboardName, keyboardName}));
    EXPECT_EQ(found.model, 3);
    EXPECT_EQ(found.pairsTried, 2) << "the silent device was asked first";
    EXPECT_EQ(found.pairsTotal, 2) << "no pair of the virtual keyboard with another device";
}

TEST(FindKeyboard, TakesAConnectedKeyboardBeforeTheVirtualOne) {
    kbdsim::Options connected;
    connected.modelCode = 1;
    // Listed after the virtual keyboard, and under one name as a USB cable.
    auto driver = driverOf(keyboard(), connectedKeyboard("USB MIDI Cable", connected));
    const KeyboardSearch found = findKeyboard(driver, answerTimeout);
    ASSERT_EQ(found.outcome, Outcome::Found);
    EXPECT_EQ(found.pair, (MidiPair{"USB MIDI Cable", "USB MIDI Cable"}));
    EXPECT_EQ(found.model, 1);
    EXPECT_EQ(found.pairsTried, 1) << "the virtual keyboard was not asked";
}

TEST(FindKeyboard, ReportsTheModelTheKeyboardAnswers) {
    kbdsim::Options options;
    options.modelCode = 2;
    const KeyboardSearch found = findKeyboard(driverOf(keyboard(options)), answerTimeout);
    ASSERT_EQ(found.outcome, Outcome::Found);
    EXPECT_EQ(found.model, 2);
}

// Answers that do not make a pair the keyboard's.
struct MisleadingCase {
    const char* name;
    std::function<std::unique_ptr<midi::Backend>()> device;
};

void PrintTo(const MisleadingCase& c, std::ostream* out) {
    *out << c.name;
}

class MisleadingDevice : public testing::TestWithParam<MisleadingCase> {};

TEST_P(MisleadingDevice, IsNotTakenForTheKeyboard) {
    const KeyboardSearch search = findKeyboard(driverOf(GetParam().device()), answerTimeout);
    EXPECT_EQ(search.outcome, Outcome::NoneAnswered);
    EXPECT_EQ(search.pairsTried, 1);
}

kbdsim::Options withModel(std::uint16_t code) {
    kbdsim::Options options;
    options.modelCode = code;
    return options;
}

kbdsim::Options answeringOnce() {
    // The second message the keyboard gets is lost: the pair's confirming
    // request stays unanswered, as for a reply that strayed from another pair.
    kbdsim::Options options;
    options.faults.noReply.ordinal = 2;
    return options;
}

kbdsim::Options answeringMalformed() {
    kbdsim::Options options;
    options.faults.malformation = kbdsim::Malformation::WrongManufacturer;
    options.faults.malformedReply.kind = kbdsim::MessageKind::ModelRequest;
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Devices, MisleadingDevice,
    testing::Values(
        MisleadingCase{"an echo of the request", [] { return echoDevice("Midi Through"); }},
        MisleadingCase{"a keyboard of no known model", [] { return keyboard(withModel(0x1234)); }},
        MisleadingCase{"an answer that comes once only", [] { return keyboard(answeringOnce()); }},
        MisleadingCase{"a malformed answer", [] { return keyboard(answeringMalformed()); }}),
    [](const testing::TestParamInfo<MisleadingCase>& info) {
        std::string name;
        for (const char* c = info.param.name; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST(FindKeyboard, ReportsNoneWhenNoPairAnswers) {
    auto driver = driverOf(silentDevice("Port A"), silentDevice("Port B"));
    const KeyboardSearch search = findKeyboard(driver, silenceTimeout);
    EXPECT_EQ(search.outcome, Outcome::NoneAnswered);
    EXPECT_EQ(search.pairsTried, 4);
    EXPECT_EQ(search.pairsTotal, 4);
}

TEST(FindKeyboard, ReportsNoneWithoutDevices) {
    const KeyboardSearch search = findKeyboard(driverOf(), silenceTimeout);
    EXPECT_EQ(search.outcome, Outcome::NoneAnswered);
    EXPECT_EQ(search.pairsTotal, 0);
    EXPECT_EQ(findKeyboard(nullptr, silenceTimeout).outcome, Outcome::NoneAnswered);
}

// Records the progress; asks to stop once `stopAfter` pairs are done.
class RecordingProgress : public ProgressReporter {
public:
    void setCaption(const std::string& text) override { captions.push_back(text); }
    void setRange(int maximum) override { this->maximum = maximum; }
    void setPosition(int position) override { positions.push_back(position); }
    bool cancelRequested() const override {
        return stopAfter >= 0 && !positions.empty() && positions.back() >= stopAfter;
    }

    std::vector<std::string> captions;
    std::vector<int> positions;
    int maximum = -1;
    int stopAfter = -1;
};

TEST(FindKeyboard, CountsThePairsAndNamesEachOneAsked) {
    auto driver = driverOf(silentDevice("Port A"), keyboard());
    RecordingProgress progress;
    const KeyboardSearch found = findKeyboard(driver, answerTimeout, &progress);
    ASSERT_EQ(found.outcome, Outcome::Found);
    EXPECT_EQ(progress.maximum, 2);
    EXPECT_EQ(progress.positions, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(progress.captions,
              (std::vector<std::string>{"Asking Port A / Port A",
                                        "Asking " + keyboardName + " / " + keyboardName}));
}

TEST(FindKeyboard, StopsBeforeTheNextPairWhenAskedTo) {
    auto driver = driverOf(silentDevice("Port A"), keyboard());
    RecordingProgress progress;
    progress.stopAfter = 1;
    const KeyboardSearch search = findKeyboard(driver, silenceTimeout, &progress);
    EXPECT_EQ(search.outcome, Outcome::Cancelled);
    EXPECT_EQ(search.pairsTried, 1) << "the keyboard's pair came next and was not asked";
}

TEST(FindKeyboard, LeavesTheDevicesFreeForTheNextDialog) {
    auto driver = driverOf(silentDevice("Port A"), keyboard());
    ASSERT_EQ(findKeyboard(driver, answerTimeout).outcome, Outcome::Found);
    // Every port of the search is closed again: a second search opens them all anew.
    const KeyboardSearch again = findKeyboard(driver, answerTimeout);
    ASSERT_EQ(again.outcome, Outcome::Found);
    EXPECT_EQ(again.pair, (MidiPair{keyboardName, keyboardName}));
}

} // namespace
} // namespace qel
