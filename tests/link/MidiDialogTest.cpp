// The MIDI dialog against a scripted device: the request/reply cycle, its
// time-outs, the guards that keep it from hanging, nesting or writing out of
// bounds, creation from the stored device names, and the error texts.

#include "core/Exception.h"
#include "link/DialogBench.h"
#include "link/MidiDialogFactory.h"
#include "link/SysExEncoder.h"
#include "link/SysExFrame.h"
#include "platform/midi/VirtualDevice.h"
#include "support/EventPump.h"
#include "support/Hex.h"
#include "support/RemoteCancel.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace qel;
using namespace std::chrono_literals;
using qel::test::DialogBench;
using qel::test::hex;
using qel::test::toHex;
using Bytes = std::vector<std::uint8_t>;

Bytes handshake(std::uint8_t command) {
    return sysex::encodeHandshake(16, 3, command);
}

Bytes dataBlock(std::uint16_t block, const Bytes& data) {
    return sysex::encodeDataBlock(16, 3, block, data);
}

Bytes valueReply(std::uint16_t category, std::uint16_t parameter, std::uint32_t value) {
    return sysex::encodeParameterValue(category, 0, parameter, Bytes{0x00}, value);
}

// A keyboard whose answers the test scripts: each message it gets is passed
// to `script`, which returns the answers (with their delays).
class ScriptedKeyboard : public testing::Test {
protected:
    ScriptedKeyboard() : bench(makeDriver()) {
        bench.useDevices("Scripted Keyboard", "Scripted Keyboard");
    }

    std::shared_ptr<midi::Driver> makeDriver() {
        std::vector<std::unique_ptr<midi::Backend>> backends;
        auto backend = std::make_unique<midi::VirtualDeviceBackend>(
            "Scripted Keyboard", [this](const Bytes& message) {
                received.push_back(message);
                return script ? script(message) : std::vector<midi::TimedMessage>{};
            });
        device = backend.get();
        backends.push_back(std::move(backend));
        return std::make_shared<midi::Driver>(std::move(backends));
    }

    // Answers every message with the same message, at once.
    void answerAlways(const Bytes& answer) {
        script = [answer](const Bytes&) { return std::vector<midi::TimedMessage>{{answer, {}}}; };
    }
    // Answers the n-th message (from 0) with answers[n].
    void answerInTurn(std::vector<Bytes> answers) {
        script = [this, answers](const Bytes&) {
            const std::size_t n = received.size() - 1;
            return n < answers.size() ? std::vector<midi::TimedMessage>{{answers[n], {}}}
                                      : std::vector<midi::TimedMessage>{};
        };
    }

    std::vector<Bytes> received;
    std::function<std::vector<midi::TimedMessage>(const Bytes&)> script;
    midi::VirtualDeviceBackend* device = nullptr; // owned by the bench's driver; before it
    DialogBench bench;
};

TEST_F(ScriptedKeyboard, GetModelSendsTheRequestAndReadsTheValue) {
    answerAlways(hex("F0 44 11 02 7F 00 00 00 0D 00 00 00 03 00 F7"));
    auto dialog = bench.create();
    ASSERT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(dialog->getModel(), 3);
    EXPECT_EQ(dialog->getErrorCode(), 0);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(toHex(received[0]), "F0 44 11 02 7F 01 00 00 0D 00 00 00 F7");
    EXPECT_FALSE(bench.view->visible);
    EXPECT_EQ(bench.view->shows, 1);
}

TEST_F(ScriptedKeyboard, UnansweredRequestTimesOutAndItsLateReplyIsIgnored) {
    // The first request is answered a minute late (long after the 300 ms
    // time-out), every later one at once with its own value.
    bench.environment.replyTimeout = 300ms;
    script = [this](const Bytes&) {
        if (received.size() == 1)
            return std::vector<midi::TimedMessage>{{valueReply(0, 0, 1), 60s}};
        return std::vector<midi::TimedMessage>{{valueReply(0, 0, 2), {}}};
    };
    auto dialog = bench.create();
    std::int32_t value = -7;
    QElapsedTimer clock;
    clock.start();
    dialog->requestValue(0, 0, Bytes{0x00}, 0, value);
    EXPECT_EQ(dialog->getErrorCode(), 22);
    EXPECT_EQ(value, -7) << "a failed request leaves the value alone";
    EXPECT_GE(clock.elapsed(), 290);
    EXPECT_LT(clock.elapsed(), 30000) << "ended by the time-out, not by the reply";
    EXPECT_FALSE(bench.view->visible);

    // The late reply arrives now, while no operation waits.
    ASSERT_TRUE(device->settle());
    EXPECT_EQ(dialog->getErrorCode(), 22);
    EXPECT_EQ(dialog->getModel(), 2);
    EXPECT_EQ(dialog->getErrorCode(), 0);
}

// A device whose output takes messages and never reports them done.
class StuckOutputBackend : public midi::Backend {
    struct Input : midi::InputDevice {
        midi::Result start() override { return 0; }
        midi::Result stop() override { return 0; }
        midi::Result reset() override { return 0; }
        midi::Result close() override { return 0; }
    };
    struct Output : midi::OutputDevice {
        midi::Result send(std::span<const std::uint8_t>) override { return 0; }
        midi::Result reset() override { return 0; }
        midi::Result close() override { return 0; }
    };

public:
    std::vector<std::string> inputNames() override { return {"Stuck"}; }
    std::vector<std::string> outputNames() override { return {"Stuck"}; }
    midi::Result openInput(std::size_t, std::size_t, midi::LongDataHandler,
                           std::unique_ptr<midi::InputDevice>& device) override {
        device = std::make_unique<Input>();
        return 0;
    }
    midi::Result openOutput(std::size_t, midi::DoneHandler,
                            std::unique_ptr<midi::OutputDevice>& device) override {
        device = std::make_unique<Output>();
        return 0;
    }
};

TEST(StuckOutput, EveryWaitForTheOutputEndsWithTheTimeOut) {
    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(std::make_unique<StuckOutputBackend>());
    DialogBench bench(std::make_shared<midi::Driver>(std::move(backends)), 200ms);
    bench.useDevices("Stuck", "Stuck");
    auto dialog = bench.create();
    ASSERT_EQ(dialog->getErrorCode(), 0);
    std::int32_t value = 0;
    dialog->requestValue(0, 0, Bytes{0x00}, 0, value);
    EXPECT_EQ(dialog->getErrorCode(), 22);
    dialog->sendData(16, 3, Bytes{}); // only the end-of-data command, never done
    EXPECT_EQ(dialog->getErrorCode(), 22);
}

TEST_F(ScriptedKeyboard, CallsDuringAWaitAreRefusedWithoutDisturbingIt) {
    // The order is made by events, not by two clocks: the request's arrival at
    // the keyboard (so getModel is waiting) posts the nested calls, and the
    // reply, held back an hour, is let through only at the end of their handler.
    std::int32_t nestedCode = -1;
    std::uint16_t nestedModel = 99;
    bool destroyed = true;
    bool nestedRan = false;
    std::unique_ptr<MidiDialog> dialog;
    bench.environment.replyTimeout = 30s; // only a failing run waits for it
    script = [&](const Bytes&) {
        QTimer::singleShot(0, [&] {
            // As a click on another window would, while getModel waits.
            nestedModel = dialog->getModel();
            nestedCode = dialog->getErrorCode();
            destroyed = destroyMidiDialog(dialog);
            nestedRan = true;
            ASSERT_TRUE(device->settle());
        });
        return std::vector<midi::TimedMessage>{{valueReply(0, 0, 3), 1h}};
    };
    dialog = bench.create();
    EXPECT_EQ(dialog->getModel(), 3);
    EXPECT_EQ(dialog->getErrorCode(), 0);
    EXPECT_TRUE(nestedRan);
    EXPECT_EQ(nestedCode, 12);
    EXPECT_EQ(nestedModel, 0);
    EXPECT_FALSE(destroyed);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->getErrorText(12),
              "MIDI SYSTEM ERROR: The MIDI device is busy with another operation.");
    EXPECT_EQ(received.size(), 1u) << "the refused call sent nothing";
    EXPECT_TRUE(destroyMidiDialog(dialog));
    EXPECT_EQ(dialog, nullptr);
}

TEST_F(ScriptedKeyboard, ReceiveDataNeverWritesPastTheDestination) {
    const Bytes block(128, 0x5A);
    answerInTurn({valueReply(16, 3, 256), dataBlock(0, block), dataBlock(1, block),
                  dataBlock(2, block), handshake(0)});
    auto dialog = bench.create();
    // 200 bytes of room, with guard bytes on both sides.
    Bytes memory(8 + 200 + 8, 0xEE);
    const std::size_t written =
        dialog->receiveData(16, 3, std::span<std::uint8_t>(memory.data() + 8, 200));
    EXPECT_EQ(dialog->getErrorCode(), 24);
    EXPECT_EQ(written, 128u);
    EXPECT_EQ(Bytes(memory.begin() + 8, memory.begin() + 136), block);
    for (std::size_t i : {0u, 7u, 136u, 207u, 208u, 215u})
        EXPECT_EQ(memory[i], 0xEE) << i;
    // The data request and one next-block command; the third block never asked.
    EXPECT_EQ(received.size(), 3u);
    EXPECT_FALSE(bench.view->visible);
}

struct ReplyCase {
    const char* name;
    Bytes reply;
    std::int32_t code;
};

void PrintTo(const ReplyCase& c, std::ostream* out) {
    *out << c.name;
}

class ReceiveEnd : public ScriptedKeyboard, public testing::WithParamInterface<ReplyCase> {};

TEST_P(ReceiveEnd, ReplyDecidesHowTheTransferEnds) {
    answerInTurn({valueReply(16, 3, 2), dataBlock(0, Bytes{1, 2}), GetParam().reply});
    auto dialog = bench.create();
    Bytes destination(16, 0);
    const std::size_t written = dialog->receiveData(16, 3, destination);
    EXPECT_EQ(dialog->getErrorCode(), GetParam().code);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(destination[0], 1);
    EXPECT_EQ(destination[1], 2);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReceiveEnd,
    testing::Values(ReplyCase{"EndOfData", handshake(0), 0},
                    ReplyCase{"SysExError", handshake(3), 24},
                    ReplyCase{"EmptyDataBlock", dataBlock(1, Bytes{}), 24},
                    ReplyCase{"Rejected", handshake(5), 23},
                    ReplyCase{"Acknowledge", handshake(2), 23},            // no meaning here
                    ReplyCase{"NextBlock", handshake(1), 23},              // no meaning here
                    ReplyCase{"ParameterValue", valueReply(16, 3, 0), 23}, // wrong type
                    ReplyCase{"DataRequest", hex("F0 44 11 02 7F 05 10 00 00 03 00 F7"), 23}),
    [](const testing::TestParamInfo<ReplyCase>& info) { return info.param.name; });

class SendAnswer : public ScriptedKeyboard,
                   public testing::WithParamInterface<std::pair<std::uint8_t, std::int32_t>> {};

// Block 2 of 4 is answered with the command under test, the others acknowledged.
TEST_P(SendAnswer, AnswerToABlockDecidesWhetherTheTransferGoesOn) {
    const auto [command, code] = GetParam();
    answerInTurn({handshake(2), handshake(2), handshake(command), handshake(2)});
    auto dialog = bench.create();
    dialog->sendData(16, 3, Bytes(4 * 128, 0x11));
    EXPECT_EQ(dialog->getErrorCode(), code);
    // All four blocks and the end-of-data command, or blocks 0-2 only.
    ASSERT_EQ(received.size(), code == 0 ? 5u : 3u);
    EXPECT_EQ(toHex(received.back()), code == 0 ? "F0 44 11 02 7F 07 10 00 00 03 00 00 F7"
                                                : toHex(dataBlock(2, Bytes(128, 0x11))));
    EXPECT_FALSE(bench.view->visible);
}

INSTANTIATE_TEST_SUITE_P(Commands, SendAnswer,
                         testing::Values(std::pair<std::uint8_t, std::int32_t>{2, 0},
                                         std::pair<std::uint8_t, std::int32_t>{1, 0},
                                         std::pair<std::uint8_t, std::int32_t>{5, 23},
                                         std::pair<std::uint8_t, std::int32_t>{3, 24}));

TEST_F(ScriptedKeyboard, MalformedReplyRaisesTheFormatCheckText) {
    answerAlways(hex("F0 44 11 02 7F 00 00 00 0D 00 00 00 03 00"));
    auto dialog = bench.create();
    try {
        dialog->getModel();
        FAIL() << "no exception";
    } catch (const Exception& error) {
        EXPECT_EQ(error.message(), "EOX error");
    }
    EXPECT_EQ(dialog->getErrorCode(), 0);
    // The dialog is still usable afterwards.
    answerAlways(valueReply(0, 0, 1));
    EXPECT_EQ(dialog->getModel(), 1);
}

TEST_F(ScriptedKeyboard, NoNamedDevicesLeavesThePortsClosed) {
    DialogBench empty(bench.environment.driver); // an environment naming no devices
    auto dialog = empty.create();
    EXPECT_EQ(empty.view->errors, std::vector<std::string>{"No Such MIDI Device: "});
    EXPECT_EQ(dialog->getErrorCode(), 0);
    dialog->beginCommunication();
    EXPECT_EQ(dialog->getErrorCode(), 0);
    std::int32_t value = 5;
    dialog->requestValue(0, 0, Bytes{0x00}, 0, value);
    EXPECT_EQ(dialog->getErrorCode(), 5);
    EXPECT_EQ(value, 5);
    dialog->sendData(16, 3, Bytes(4, 0));
    EXPECT_EQ(dialog->getErrorCode(), 5);
    ASSERT_TRUE(device->settle());
    EXPECT_TRUE(received.empty());
}

TEST_F(ScriptedKeyboard, UnknownDeviceNameIsShownInputFirst) {
    bench.useDevices("Gone In", "Gone Out");
    auto dialog = bench.create();
    EXPECT_EQ(bench.view->errors, std::vector<std::string>{"No Such MIDI Device: Gone In"});
    bench.useDevices("scripted keyboard", "Gone Out");
    auto second = bench.create();
    EXPECT_EQ(bench.view->errors.back(), "No Such MIDI Device: Gone Out");
}

TEST_F(ScriptedKeyboard, DeviceNamesMatchWhateverTheirLetterCase) {
    bench.useDevices("SCRIPTED keyboard", "scripted KEYBOARD");
    answerAlways(valueReply(0, 0, 2));
    auto dialog = bench.create();
    EXPECT_TRUE(bench.view->errors.empty());
    EXPECT_EQ(dialog->getModel(), 2);
    EXPECT_EQ(dialog->getErrorCode(), 0);
}

TEST_F(ScriptedKeyboard, InputThatFailsToOpenClosesTheOutputAgain) {
    std::unique_ptr<midi::InputDevice> taken;
    ASSERT_EQ(bench.environment.driver->openInput(0, 256, {}, taken), 0u);
    auto dialog = bench.create();
    EXPECT_EQ(dialog->getErrorCode(), static_cast<std::int32_t>(midi::result::Allocated));
    std::unique_ptr<midi::OutputDevice> output;
    EXPECT_EQ(bench.environment.driver->openOutput(0, {}, output), 0u)
        << "the dialog must have closed its output";
}

TEST_F(ScriptedKeyboard, ErrorTexts) {
    auto dialog = bench.create();
    EXPECT_EQ(dialog->getErrorText(22), "MIDI TIMEOUT");
    EXPECT_EQ(dialog->getErrorText(23), "MESSAGE REJECTED");
    EXPECT_EQ(dialog->getErrorText(24), "SYSEX ERROR");
    EXPECT_EQ(dialog->getErrorText(65), "");
    EXPECT_EQ(dialog->getErrorText(21), "");
    EXPECT_EQ(dialog->getErrorText(2),
              "MIDI SYSTEM ERROR: There is no MIDI device with this number.");
    EXPECT_EQ(dialog->getErrorText(20), "MIDI SYSTEM ERROR: Unknown MIDI error 20.");
    EXPECT_EQ(dialog->getErrorCode(), 0);
}

TEST_F(ScriptedKeyboard, WindowShowsOnlyWhenAskedAndFollowsTheTransfer) {
    answerInTurn({valueReply(16, 3, 130), dataBlock(0, Bytes(128, 1)), dataBlock(1, Bytes(2, 2)),
                  handshake(0)});
    auto dialog = bench.create();
    dialog->setCaption("Receiving");
    EXPECT_EQ(bench.view->caption, "Receiving");
    Bytes destination(130);
    bool visibleDuring = false;
    QTimer::singleShot(0, [&] { visibleDuring = bench.view->visible; });
    dialog->receiveData(16, 3, destination);
    EXPECT_EQ(dialog->getErrorCode(), 0);
    EXPECT_TRUE(visibleDuring);
    EXPECT_FALSE(bench.view->visible);
    EXPECT_EQ(bench.view->maximum, 130);
    EXPECT_EQ(bench.view->position, 130);

    dialog->setShowProgress(false);
    EXPECT_FALSE(dialog->getShowProgress());
    const int shows = bench.view->shows;
    answerAlways(valueReply(0, 0, 3));
    dialog->getModel();
    EXPECT_EQ(bench.view->shows, shows);
}

TEST_F(ScriptedKeyboard, NameShorterThanEightCharactersIsPaddedWithSpaces) {
    auto dialog = bench.create();
    dialog->sendDataName(16, 3, "AB");
    EXPECT_EQ(dialog->getErrorCode(), 0);
    dialog->sendDataName(12, 3, "ABCDEFGH"); // Registration: no name
    ASSERT_TRUE(device->settle());
    ASSERT_EQ(received.size(), 2u);
    // "AB  " and "    " as 32-bit values in 7-bit groups.
    EXPECT_EQ(received[0], sysex::encodeParameterValue(16, 3, 4, Bytes{0x00}, 0x41422020u));
    EXPECT_EQ(received[1], sysex::encodeParameterValue(16, 3, 5, Bytes{0x00}, 0x20202020u));
}

TEST_F(ScriptedKeyboard, EnvironmentLeftPartlyEmptyGetsTheDefaults) {
    MidiDialogEnvironment partial;
    partial.driver = bench.environment.driver;
    partial.inputDevice = bench.environment.inputDevice;
    partial.outputDevice = bench.environment.outputDevice;
    answerAlways(valueReply(0, 0, 1)); // no window given: a headless one is used
    auto dialog = createMidiDialog(partial);
    EXPECT_EQ(dialog->getModel(), 1);
    EXPECT_EQ(dialog->getErrorCode(), 0);
}

struct CategoryCase {
    std::uint16_t category;
    std::int32_t fixedSize; // 0: asked from the keyboard
    int nameParameter;      // -1: the category has no names
};

void PrintTo(const CategoryCase& c, std::ostream* out) {
    *out << "category " << c.category;
}

class CategoryTables : public ScriptedKeyboard, public testing::WithParamInterface<CategoryCase> {};

// Every parameter request is answered with 0x41424344 ("ABCD").
TEST_P(CategoryTables, SizeAndNameAskTheKeyboardOnlyWhereTheCategoryNeedsIt) {
    const CategoryCase c = GetParam();
    script = [this](const Bytes&) {
        return std::vector<midi::TimedMessage>{
            {valueReply(received.back()[6], received.back()[7], 0x41424344), {}}};
    };
    auto dialog = bench.create();
    const std::int32_t size = dialog->getDataSize(c.category, 1);
    EXPECT_EQ(size, c.fixedSize != 0 ? c.fixedSize : 0x41424344);
    ASSERT_EQ(received.size(), c.fixedSize != 0 ? 0u : 1u);
    if (c.fixedSize == 0) {
        EXPECT_EQ(received[0][7], 3) << "the size is parameter 3";
    }
    received.clear();
    const std::string name = dialog->getDataName(c.category, 1);
    EXPECT_EQ(dialog->getErrorCode(), 0);
    if (c.nameParameter < 0) {
        EXPECT_EQ(name, "");
        EXPECT_TRUE(received.empty());
    } else {
        EXPECT_EQ(name, "ABCDABCD");
        ASSERT_EQ(received.size(), 2u);
        EXPECT_EQ(received[0][7], c.nameParameter);
        EXPECT_EQ(received[1][7], c.nameParameter + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Categories, CategoryTables,
                         testing::Values(CategoryCase{0, 216, -1}, CategoryCase{1, 868, -1},
                                         CategoryCase{2, 70, 96}, CategoryCase{3, 40, 0},
                                         CategoryCase{4, 1056, 0}, CategoryCase{5, 266, -1},
                                         CategoryCase{6, 50, -1}, CategoryCase{7, 46, -1},
                                         CategoryCase{8, 0, -1}, CategoryCase{9, 36, 48},
                                         CategoryCase{10, 0, 4}, CategoryCase{11, 0, 4},
                                         CategoryCase{12, 240, -1}, CategoryCase{13, 92, 48},
                                         CategoryCase{14, 128, -1}, CategoryCase{16, 0, 4}));

TEST(MidiDialogEnvironment, TheProductWaitsTenSeconds) {
    EXPECT_EQ(MidiDialogEnvironment{}.replyTimeout, std::chrono::milliseconds(10000));
    EXPECT_EQ(MidiDialogEnvironment{}.completed().replyTimeout, std::chrono::milliseconds(10000));
}

} // namespace

namespace {

// ---- received blocks are checked before they are taken ----

// Block k of a three-block item: 128 bytes of its own pattern.
Bytes blockData(std::uint16_t k) {
    Bytes data(128);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 5 + k * 77 + 3);
    return data;
}

struct CorruptCase {
    const char* name;
    std::uint16_t place;                // which block of the three is spoiled
    Bytes (*make)(std::uint16_t place); // the block sent in its place
};

void PrintTo(const CorruptCase& c, std::ostream* out) {
    *out << c.name;
}

Bytes withByte(std::uint16_t place, std::size_t at, std::uint8_t (*change)(std::uint8_t)) {
    Bytes message = dataBlock(place, blockData(place));
    message.at(at) = change(message.at(at));
    return message;
}

class ReceiveCorrupt : public ScriptedKeyboard, public testing::WithParamInterface<CorruptCase> {};

TEST_P(ReceiveCorrupt, EndsWithSysExErrorAndTakesNothingOfTheBlock) {
    const CorruptCase c = GetParam();
    std::vector<Bytes> answers{valueReply(16, 3, 384)};
    for (std::uint16_t k = 0; k < 3; ++k)
        answers.push_back(k == c.place ? c.make(k) : dataBlock(k, blockData(k)));
    answers.push_back(handshake(0));
    answerInTurn(answers);
    auto dialog = bench.create();
    Bytes destination(384, 0xEE);
    const std::size_t written = dialog->receiveData(16, 3, destination);
    EXPECT_EQ(dialog->getErrorCode(), 24);
    EXPECT_EQ(dialog->getErrorText(24), "SYSEX ERROR");
    EXPECT_EQ(written, 128u * c.place) << "only the blocks before the spoiled one";
    for (std::size_t i = written; i < destination.size(); ++i)
        ASSERT_EQ(destination[i], 0xEE) << "byte " << i << " written from the spoiled block";
    // The size, the data request and a next-block command per good block:
    // nothing is asked after the spoiled block.
    EXPECT_EQ(received.size(), 2u + c.place);
    EXPECT_FALSE(bench.view->visible);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, ReceiveCorrupt,
    testing::Values(CorruptCase{"WrongChecksum", 1,
                                [](std::uint16_t k) {
                                    return withByte(k, 206, [](std::uint8_t b) -> std::uint8_t {
                                        return (b + 1) & 0x7F;
                                    });
                                }},
                    CorruptCase{"PairCountOneTooMany", 1,
                                [](std::uint16_t k) {
                                    return withByte(k, 13, [](std::uint8_t b) -> std::uint8_t {
                                        return b + 1;
                                    });
                                }},
                    CorruptCase{"PairCountOfAShortBlock", 1,
                                [](std::uint16_t k) {
                                    // A whole pair of groups dropped, the count left at 64.
                                    Bytes message = dataBlock(k, blockData(k));
                                    message.erase(message.begin() + 14, message.begin() + 17);
                                    return message;
                                }},
                    CorruptCase{"BlockNumberOutOfSequence", 1,
                                [](std::uint16_t k) { return dataBlock(k + 1, blockData(k)); }},
                    CorruptCase{"RepeatedBlock", 1,
                                [](std::uint16_t k) { return dataBlock(k - 1, blockData(k - 1)); }},
                    CorruptCase{"FirstBlockNotNumberedZero", 0,
                                [](std::uint16_t k) { return dataBlock(k + 1, blockData(k)); }},
                    CorruptCase{"OneBitFlippedInADataGroup", 1,
                                [](std::uint16_t k) {
                                    return withByte(k, 100, [](std::uint8_t b) -> std::uint8_t {
                                        return b ^ 0x08;
                                    });
                                }},
                    CorruptCase{"TopBitSetInADataGroup", 2,
                                [](std::uint16_t k) {
                                    return withByte(k, 14, [](std::uint8_t b) -> std::uint8_t {
                                        return b ^ 0x80;
                                    });
                                }},
                    CorruptCase{"GroupsNotWholePairs", 2,
                                [](std::uint16_t k) {
                                    Bytes message = dataBlock(k, blockData(k));
                                    message.insert(message.begin() + 20, 0x00);
                                    return message;
                                }}),
    [](const testing::TestParamInfo<CorruptCase>& info) { return info.param.name; });

TEST_F(ScriptedKeyboard, ACorrectMultiBlockItemIsReceivedWhole) {
    Bytes item;
    for (std::uint16_t k = 0; k < 3; ++k) {
        const Bytes data = blockData(k);
        item.insert(item.end(), data.begin(), data.end());
    }
    item.resize(300); // blocks of 128, 128 and 44 bytes
    answerInTurn({valueReply(16, 3, 300), dataBlock(0, Bytes(item.begin(), item.begin() + 128)),
                  dataBlock(1, Bytes(item.begin() + 128, item.begin() + 256)),
                  dataBlock(2, Bytes(item.begin() + 256, item.end())), handshake(0)});
    auto dialog = bench.create();
    Bytes destination(300);
    EXPECT_EQ(dialog->receiveData(16, 3, destination), 300u);
    EXPECT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(destination, item);
}

// ---- every wait ends on a cancel request and at the deadline ----

struct CancelCase {
    const char* name;
    std::size_t cancelAtMessage; // the message (from 1) whose answer never comes
    std::int32_t (*run)(MidiDialog& dialog);
};

void PrintTo(const CancelCase& c, std::ostream* out) {
    *out << c.name;
}

class CancelledWait : public ScriptedKeyboard, public testing::WithParamInterface<CancelCase> {};

// The keyboard answers until the chosen message, which it leaves unanswered
// while another thread requests the cancel; the reply time-out is far away.
TEST_P(CancelledWait, EndsSoonAfterTheCancelRequestWithCancelled) {
    const CancelCase c = GetParam();
    test::RemoteCancel cancel;
    bench.environment.replyTimeout = 20s;
    bench.view->cancelCheck = [&cancel] { return cancel.requested(); };
    script = [&](const Bytes& message) -> std::vector<midi::TimedMessage> {
        if (received.size() == c.cancelAtMessage) {
            cancel.fire();
            return {};
        }
        if (message[sysex::typeOffset] == sysex::ParameterRequest) // the size: 300 bytes
            return {
                {valueReply(message[sysex::categoryOffset], message[sysex::parameterOffset], 300),
                 {}}};
        if (message[sysex::typeOffset] == sysex::DataBlock) // a block of the PC's: acknowledged
            return {{handshake(2), {}}};
        const auto k = static_cast<std::uint16_t>(received.size() - 2);
        return {{dataBlock(k, Bytes(128, 0x33)), {}}};
    };
    auto dialog = bench.create();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(c.run(*dialog), 25);
    const auto late = cancel.sinceFired();
    EXPECT_TRUE(cancel.requested());
    EXPECT_GE(late.count(), 0);
    EXPECT_LT(late, test::cancelBound) << "after the cancel request";
    EXPECT_LT(clock.elapsed(), 10000) << "ended by the cancel, not by the time-out";
    EXPECT_EQ(received.size(), c.cancelAtMessage) << "nothing is sent after the cancel";
    EXPECT_EQ(dialog->getErrorText(25), "Cancelled");
    EXPECT_FALSE(bench.view->visible);
}

INSTANTIATE_TEST_SUITE_P(Waits, CancelledWait,
                         testing::Values(CancelCase{"ParameterReply", 1,
                                                    [](MidiDialog& d) {
                                                        std::int32_t value = 0;
                                                        d.requestValue(0, 0, Bytes{0x00}, 0, value);
                                                        return d.getErrorCode();
                                                    }},
                                         CancelCase{"SizeQueryOfAReceive", 1,
                                                    [](MidiDialog& d) {
                                                        Bytes destination(300);
                                                        d.receiveData(16, 3, destination);
                                                        return d.getErrorCode();
                                                    }},
                                         CancelCase{"ReceivedBlock", 3,
                                                    [](MidiDialog& d) {
                                                        Bytes destination(300);
                                                        EXPECT_EQ(d.receiveData(16, 3, destination),
                                                                  128u);
                                                        return d.getErrorCode();
                                                    }},
                                         CancelCase{"AnswerToASentBlock", 2,
                                                    [](MidiDialog& d) {
                                                        d.sendData(16, 3, Bytes(300, 0x44));
                                                        return d.getErrorCode();
                                                    }}),
                         [](const testing::TestParamInfo<CancelCase>& info) {
                             return info.param.name;
                         });

TEST_F(ScriptedKeyboard, CancelInTheWindowEndsTheWaitAtOnce) {
    bench.environment.replyTimeout = 20s;
    auto dialog = bench.create();
    QElapsedTimer clock;
    clock.start();
    // The Cancel button's click, handled by the wait's own event loop.
    QTimer::singleShot(100, [this] { bench.view->cancelAt = 0; });
    std::int32_t value = 0;
    dialog->requestValue(0, 0, Bytes{0x00}, 0, value);
    EXPECT_EQ(dialog->getErrorCode(), 25);
    EXPECT_LT(clock.elapsed(), 100 + test::cancelBound.count());
}

TEST_F(ScriptedKeyboard, NoWaitLastsPastTheDeadlineUntilItIsLifted) {
    bench.environment.replyTimeout = 1500ms;
    auto dialog = bench.create();
    std::int32_t value = 0;
    QElapsedTimer clock;
    clock.start();
    dialog->setDeadline(std::chrono::steady_clock::now() + 200ms);
    dialog->requestValue(0, 0, Bytes{0x00}, 0, value);
    EXPECT_EQ(dialog->getErrorCode(), 22);
    EXPECT_GE(clock.elapsed(), 190);
    EXPECT_LT(clock.elapsed(), 1000) << "the reply time-out is cut short";
    clock.restart();
    dialog->requestValue(0, 0, Bytes{0x00}, 0, value); // the deadline has passed
    EXPECT_EQ(dialog->getErrorCode(), 22);
    EXPECT_LT(clock.elapsed(), 1000);

    dialog->setDeadline(std::chrono::steady_clock::time_point::max());
    clock.restart();
    dialog->requestValue(0, 0, Bytes{0x00}, 0, value);
    EXPECT_EQ(dialog->getErrorCode(), 22);
    EXPECT_GE(clock.elapsed(), 1450) << "the whole reply time-out again";
}

} // namespace
