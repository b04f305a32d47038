// End to end: the MIDI dialog, made by createMidiDialog(), against the
// in-process "TQ-7400 Virtual Keyboard" hosting the keyboard simulator.

#include "core/Exception.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/device/VirtualKeyboard.h"
#include "link/DialogBench.h"
#include "link/MidiDialogFactory.h"
#include "support/EventPump.h"
#include "support/Hex.h"
#include "support/SentMessages.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace qel;
using namespace std::chrono_literals;
using qel::test::DialogBench;
using qel::test::toHex;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t smf = 16;
constexpr std::uint16_t waveData = 8;

class VirtualKeyboard : public testing::Test {
protected:
    VirtualKeyboard() : simulator(makeSimulator()), bench(makeDriver()) {
        bench.useDevices(kbdsim::virtualKeyboardName, kbdsim::virtualKeyboardName);
    }

    static std::shared_ptr<kbdsim::KeyboardSimulator> makeSimulator() {
        kbdsim::Options options;
        options.content = kbdsim::StartContent::Blank;
        return std::make_shared<kbdsim::KeyboardSimulator>(options);
    }

    std::shared_ptr<midi::Driver> makeDriver() {
        std::vector<std::unique_ptr<midi::Backend>> backends;
        auto backend = kbdsim::makeVirtualKeyboardBackend(
            simulator, [this](const Bytes& message) { sent.push_back(message); });
        device = backend.get();
        backends.push_back(std::move(backend));
        return std::make_shared<midi::Driver>(std::move(backends));
    }

    void setFaults(const kbdsim::Faults& faults) {
        kbdsim::Options options = simulator->options();
        options.faults = faults;
        simulator->setOptions(options);
    }

    // Messages of one type among those the keyboard received.
    std::size_t sentOfType(std::uint8_t type) const { return test::countOfType(sent, type); }

    std::vector<Bytes> sent;
    std::shared_ptr<kbdsim::KeyboardSimulator> simulator;
    midi::VirtualDeviceBackend* device = nullptr; // owned by the bench's driver; before it
    DialogBench bench;
};

Bytes pattern(std::size_t size) {
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF);
    return data;
}

TEST_F(VirtualKeyboard, BeginCommunicationAndGetModelSendTheirExactBytes) {
    auto dialog = bench.create();
    ASSERT_EQ(dialog->getErrorCode(), 0);
    dialog->beginCommunication();
    EXPECT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(dialog->getModel(), 3);
    EXPECT_EQ(dialog->getErrorCode(), 0);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(toHex(sent[0]), "F0 44 11 02 7F 00 00 20 06 00 00 00 00 F7");
    EXPECT_EQ(toHex(sent[1]), "F0 44 11 02 7F 01 00 00 0D 00 00 00 F7");
}

class RoundTrip : public VirtualKeyboard, public testing::WithParamInterface<std::size_t> {};

TEST_P(RoundTrip, ItemComesBackByteForByte) {
    const std::size_t size = GetParam();
    const Bytes data = pattern(size);
    auto dialog = bench.create();
    dialog->sendData(smf, 3, data);
    ASSERT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(sentOfType(4), (size + 127) / 128) << "data blocks sent";
    ASSERT_TRUE(simulator->memory().data(smf, 3));
    EXPECT_EQ(*simulator->memory().data(smf, 3), data);

    sent.clear();
    EXPECT_EQ(dialog->getDataSize(smf, 3), static_cast<std::int32_t>(size));
    EXPECT_EQ(sent.size(), 1u) << "SMF sizes are asked from the keyboard";
    Bytes back(size + 64, 0xEE);
    const std::size_t received = dialog->receiveData(smf, 3, back);
    EXPECT_EQ(dialog->getErrorCode(), 0);
    ASSERT_EQ(received, size);
    back.resize(received);
    EXPECT_EQ(back, data);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RoundTrip, testing::Values(0u, 128u, 130u, 256u));

TEST_F(VirtualKeyboard, OneMegabyteOfWaveDataComesBackByteForByte) {
    const Bytes data = pattern(1 << 20);
    auto dialog = bench.create();
    dialog->setShowProgress(false);
    dialog->sendData(waveData, 800, data);
    ASSERT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(sentOfType(4), 8192u);
    EXPECT_EQ(dialog->getDataSize(waveData, 800), 1 << 20);
    Bytes back(1 << 20);
    EXPECT_EQ(dialog->receiveData(waveData, 800, back), back.size());
    EXPECT_EQ(dialog->getErrorCode(), 0);
    EXPECT_TRUE(back == data);
}

TEST_F(VirtualKeyboard, CancelEndsASendAtTheBlockBoundaryAndTheKeyboardKeepsItsItem) {
    const Bytes before = pattern(300);
    auto dialog = bench.create();
    dialog->sendData(smf, 5, before);
    ASSERT_EQ(dialog->getErrorCode(), 0);

    sent.clear();
    bench.view->cancelAt = 256; // pressed while the third block is on its way
    dialog->sendData(smf, 5, pattern(1000));
    EXPECT_EQ(dialog->getErrorCode(), 25);
    EXPECT_EQ(dialog->getErrorText(25), "Cancelled");
    EXPECT_EQ(sentOfType(4), 2u) << "no block after the one that reached the position";
    EXPECT_EQ(sentOfType(7), 0u) << "no end-of-data: the keyboard must not store a torn item";
    EXPECT_FALSE(bench.view->visible);
    ASSERT_TRUE(simulator->memory().data(smf, 5));
    EXPECT_EQ(*simulator->memory().data(smf, 5), before);

    // The next transfer runs to its end.
    bench.view->cancelAt = -1;
    const Bytes after = pattern(1000);
    dialog->sendData(smf, 5, after);
    ASSERT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(*simulator->memory().data(smf, 5), after);
}

TEST_F(VirtualKeyboard, CancelEndsAReceiveAtTheBlockBoundaryAndTheNextReceiveIsWhole) {
    const Bytes data = pattern(1000);
    auto dialog = bench.create();
    dialog->sendData(smf, 6, data);
    ASSERT_EQ(dialog->getErrorCode(), 0);

    bench.view->cancelAt = 384;
    Bytes back(1000);
    EXPECT_EQ(dialog->receiveData(smf, 6, back), 384u);
    EXPECT_EQ(dialog->getErrorCode(), 25);
    EXPECT_FALSE(bench.view->visible);

    bench.view->cancelAt = -1;
    Bytes again(1000);
    EXPECT_EQ(dialog->receiveData(smf, 6, again), 1000u);
    EXPECT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(again, data);
}

TEST_F(VirtualKeyboard, SizesAndNamesAskTheKeyboardOnlyWhereTheTablesSaySo) {
    auto dialog = bench.create();
    EXPECT_EQ(dialog->getDataSize(2, 750), 70);  // Tone: fixed
    EXPECT_EQ(dialog->getDataSize(12, 32), 240); // Registration: fixed
    EXPECT_EQ(dialog->getDataName(12, 32), "");  // Registration: no name
    dialog->sendDataName(12, 32, "ABCDEFGH");
    ASSERT_TRUE(device->settle());
    EXPECT_TRUE(sent.empty());

    EXPECT_EQ(dialog->getDataName(2, 750), simulator->memory().name(2, 750));
    EXPECT_EQ(dialog->getErrorCode(), 0);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][7], 96); // the name parameters of a tone
    EXPECT_EQ(sent[1][7], 97);
    EXPECT_EQ(dialog->getDataName(2, 750).size(), 8u);
}

TEST_F(VirtualKeyboard, SmfNameIsSentAsTwoParametersAndReadBack) {
    auto dialog = bench.create();
    dialog->sendDataName(smf, 3, "ABCDEFGH");
    EXPECT_EQ(dialog->getErrorCode(), 0);
    ASSERT_TRUE(qel::test::pumpUntil([&] { return sent.size() == 2; }));
    EXPECT_EQ(toHex(sent[0]), "F0 44 11 02 7F 00 10 04 1F 03 00 00 44 06 09 0A 04 F7");
    EXPECT_EQ(toHex(sent[1]), "F0 44 11 02 7F 00 10 05 1F 03 00 00 48 0E 19 2A 04 F7");
    EXPECT_EQ(dialog->getDataName(smf, 3), "ABCDEFGH");
    EXPECT_EQ(dialog->getErrorCode(), 0);
}

TEST_F(VirtualKeyboard, UnansweredRequestEndsWithTheTimeOut) {
    kbdsim::Faults faults;
    faults.noReply.kind = kbdsim::MessageKind::ModelRequest;
    setFaults(faults);
    bench.environment.replyTimeout = 300ms;
    auto dialog = bench.create();
    dialog->getModel();
    EXPECT_EQ(dialog->getErrorCode(), 22);
    EXPECT_EQ(dialog->getErrorText(22), "MIDI TIMEOUT");
}

TEST_F(VirtualKeyboard, LateReplyIsIgnoredAndTheNextRequestGetsItsOwn) {
    kbdsim::Faults faults;
    faults.lateReply.kind = kbdsim::MessageKind::ModelRequest;
    faults.lateBy = 60s; // long after the 300 ms time-out
    setFaults(faults);
    bench.environment.replyTimeout = 300ms;
    auto dialog = bench.create();
    dialog->getModel();
    EXPECT_EQ(dialog->getErrorCode(), 22);
    ASSERT_TRUE(device->settle()); // the late reply comes now, and goes
    setFaults({});
    kbdsim::Options options = simulator->options();
    options.modelCode = 2;
    simulator->setOptions(options);
    EXPECT_EQ(dialog->getModel(), 2);
    EXPECT_EQ(dialog->getErrorCode(), 0);
}

TEST_F(VirtualKeyboard, RejectedBlockEndsTheTransferWith23AndSysExErrorWith24) {
    auto dialog = bench.create();
    kbdsim::Faults faults;
    faults.rejectAtBlock = 1;
    setFaults(faults);
    dialog->sendData(smf, 4, pattern(3 * 128));
    EXPECT_EQ(dialog->getErrorCode(), 23);
    EXPECT_EQ(dialog->getErrorText(23), "MESSAGE REJECTED");
    EXPECT_EQ(sentOfType(4), 2u);
    EXPECT_EQ(sentOfType(7), 0u) << "no end-of-data after a failed block";

    faults = {};
    faults.sysExErrorAtBlock = 0;
    setFaults(faults);
    dialog->sendData(smf, 4, pattern(3 * 128));
    EXPECT_EQ(dialog->getErrorCode(), 24);
    EXPECT_EQ(dialog->getErrorText(24), "SYSEX ERROR");
    EXPECT_EQ(sentOfType(4), 3u);
}

TEST_F(VirtualKeyboard, KeyboardThatFallsSilentMidTransferTimesOut) {
    const Bytes data = pattern(5 * 128);
    simulator->memory().store(smf, 5, data);
    kbdsim::Faults faults;
    faults.silentAfterBlock = 1;
    setFaults(faults);
    bench.environment.replyTimeout = 300ms;
    auto dialog = bench.create();
    Bytes back(data.size());
    const std::size_t received = dialog->receiveData(smf, 5, back);
    EXPECT_EQ(dialog->getErrorCode(), 22);
    EXPECT_EQ(received, 2u * 128u) << "blocks received so far are kept";
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + 256, data.begin()));
}

// ---- where a transfer failed ----

// A transfer of a 600-byte item (5 blocks) that fails as `faults` say.
struct FailedBlockCase {
    const char* name;
    bool receive; // from the keyboard; to it otherwise
    kbdsim::Faults faults;
    std::int32_t code;
    const char* step; // getErrorStep() with the caller's step "moving SMF 5"
};

void PrintTo(const FailedBlockCase& c, std::ostream* out) {
    *out << c.name;
}

kbdsim::Faults corruptBlock(std::uint32_t k) {
    kbdsim::Faults faults;
    faults.corruptAtBlock = k;
    faults.blockCorruption = kbdsim::BlockCorruption::Checksum;
    return faults;
}

kbdsim::Faults silentAfter(std::uint32_t k) {
    kbdsim::Faults faults;
    faults.silentAfterBlock = k;
    return faults;
}

kbdsim::Faults sizeUnanswered() {
    // The size request is the first message of the receive; block 3 comes spoiled.
    kbdsim::Faults faults = corruptBlock(2);
    faults.noReply.ordinal = 1;
    return faults;
}

kbdsim::Faults rejectBlock(std::uint32_t k) {
    kbdsim::Faults faults;
    faults.rejectAtBlock = k;
    return faults;
}

kbdsim::Faults sysExErrorAtBlock(std::uint32_t k) {
    kbdsim::Faults faults;
    faults.sysExErrorAtBlock = k;
    return faults;
}

class FailedBlock : public VirtualKeyboard, public testing::WithParamInterface<FailedBlockCase> {};

TEST_P(FailedBlock, TheErrorStepNamesTheCallersStepAndTheBlock) {
    const FailedBlockCase& c = GetParam();
    const Bytes data = pattern(600);
    if (c.receive)
        simulator->memory().store(smf, 5, data);
    setFaults(c.faults);
    bench.environment.replyTimeout = 300ms;
    auto dialog = bench.create();
    dialog->setShowProgress(false);
    dialog->setStep("moving SMF 5");
    if (c.receive) {
        Bytes back(data.size());
        dialog->receiveData(smf, 5, back);
    } else {
        dialog->sendData(smf, 5, data);
    }
    EXPECT_EQ(dialog->getErrorCode(), c.code);
    EXPECT_EQ(dialog->getErrorStep(), c.step);

    // Without a step of the caller's, the block alone.
    dialog->setStep("");
    EXPECT_EQ(dialog->getErrorStep(),
              std::string(c.step).substr(std::string("moving SMF 5, ").size()));
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, FailedBlock,
    testing::Values(FailedBlockCase{"SpoiledThirdBlockIn", true, corruptBlock(2), 24,
                                    "moving SMF 5, block 3 of 5"},
                    FailedBlockCase{"SpoiledFirstBlockIn", true, corruptBlock(0), 24,
                                    "moving SMF 5, block 1 of 5"},
                    FailedBlockCase{"SilentBeforeTheThirdBlockIn", true, silentAfter(1), 22,
                                    "moving SMF 5, block 3 of 5"},
                    FailedBlockCase{"SilentAfterTheLastBlockIn", true, silentAfter(4), 22,
                                    "moving SMF 5, after block 5 of 5"},
                    FailedBlockCase{"SizeUnknown", true, sizeUnanswered(), 24,
                                    "moving SMF 5, block 3"},
                    FailedBlockCase{"ThirdBlockOutRejected", false, rejectBlock(2), 23,
                                    "moving SMF 5, block 3 of 5"},
                    FailedBlockCase{"LastBlockOutSysExError", false, sysExErrorAtBlock(4), 24,
                                    "moving SMF 5, block 5 of 5"}),
    [](const testing::TestParamInfo<FailedBlockCase>& info) { return info.param.name; });

TEST_F(VirtualKeyboard, AFailureOutsideATransferNamesTheStepAloneAndSuccessLeavesNoBlock) {
    setFaults(corruptBlock(1));
    bench.environment.replyTimeout = 300ms;
    auto dialog = bench.create();
    dialog->setShowProgress(false);
    simulator->memory().store(smf, 5, pattern(300));
    Bytes back(300);
    dialog->receiveData(smf, 5, back);
    ASSERT_EQ(dialog->getErrorStep(), "block 2 of 3");

    kbdsim::Faults faults;
    faults.noReply.kind = kbdsim::MessageKind::ModelRequest;
    setFaults(faults);
    dialog->setStep("asking the keyboard its model");
    dialog->getModel();
    EXPECT_EQ(dialog->getErrorCode(), 22);
    EXPECT_EQ(dialog->getErrorStep(), "asking the keyboard its model");
    EXPECT_EQ(dialog->getErrorText(22), "MIDI TIMEOUT") << "the text itself is unchanged";

    setFaults({});
    dialog->setStep("");
    EXPECT_EQ(dialog->receiveData(smf, 5, back), 300u);
    EXPECT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(dialog->getErrorStep(), "");
}

struct MalformedCase {
    kbdsim::Malformation malformation;
    const char* text;
};

void PrintTo(const MalformedCase& c, std::ostream* out) {
    *out << c.text;
}

class MalformedReply : public VirtualKeyboard, public testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedReply, RaisesTheFormatCheckText) {
    kbdsim::Faults faults;
    faults.malformation = GetParam().malformation;
    faults.malformedReply.kind = kbdsim::MessageKind::ModelRequest;
    setFaults(faults);
    auto dialog = bench.create();
    try {
        dialog->getModel();
        FAIL() << "no exception";
    } catch (const Exception& error) {
        EXPECT_EQ(error.message(), GetParam().text);
    }
    EXPECT_EQ(dialog->getErrorCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Malformations, MalformedReply,
    testing::Values(MalformedCase{kbdsim::Malformation::Short, "short message"},
                    MalformedCase{kbdsim::Malformation::WrongManufacturer, "VORLA ID error"},
                    MalformedCase{kbdsim::Malformation::MissingEnd, "EOX error"}));

TEST_F(VirtualKeyboard, ErrorTextsOfTimeOutOfUnnamedCodesAndOfDriverCodes) {
    auto dialog = bench.create();
    EXPECT_EQ(dialog->getErrorText(22), "MIDI TIMEOUT");
    EXPECT_EQ(dialog->getErrorText(65), "");
    EXPECT_EQ(dialog->getErrorText(4),
              "MIDI SYSTEM ERROR: The MIDI device is already in use by another program or port.");
}

TEST_F(VirtualKeyboard, WithoutStoredDevicesTheFirstRequestFailsWithInvalidHandle) {
    DialogBench empty(bench.environment.driver);
    auto dialog = empty.create();
    EXPECT_EQ(empty.view->errors, std::vector<std::string>{"No Such MIDI Device: "});
    EXPECT_EQ(dialog->getErrorCode(), 0);
    dialog->beginCommunication();
    EXPECT_EQ(dialog->getErrorCode(), 0);
    std::int32_t value = 0;
    dialog->requestValue(0, 0, Bytes{0x00}, 0, value);
    EXPECT_EQ(dialog->getErrorCode(), 5);
    EXPECT_TRUE(sent.empty());
}

TEST_F(VirtualKeyboard, StoredNamesMatchInAnyLetterCase) {
    bench.useDevices("tq-7400 VIRTUAL keyboard", "TQ-7400 virtual KEYBOARD");
    auto dialog = bench.create();
    EXPECT_TRUE(bench.view->errors.empty());
    EXPECT_EQ(dialog->getModel(), 3);
    EXPECT_EQ(dialog->getErrorCode(), 0);
}

TEST_F(VirtualKeyboard, InputFailingAfterTheOutputOpenedClosesTheOutput) {
    auto first = bench.create(); // holds both directions of the keyboard
    ASSERT_EQ(first->getErrorCode(), 0);
    auto second = bench.create();
    EXPECT_EQ(second->getErrorCode(), static_cast<std::int32_t>(midi::result::Allocated));
    ASSERT_TRUE(destroyMidiDialog(first));
    std::unique_ptr<midi::OutputDevice> output;
    std::unique_ptr<midi::InputDevice> input;
    EXPECT_EQ(bench.environment.driver->openOutput(0, {}, output), 0u);
    EXPECT_EQ(bench.environment.driver->openInput(0, 256, {}, input), 0u);
}

TEST_F(VirtualKeyboard, MemoryOutlivesTheDialogsOfOneDriver) {
    auto dialog = bench.create();
    dialog->sendData(smf, 7, pattern(300));
    ASSERT_EQ(dialog->getErrorCode(), 0);
    ASSERT_TRUE(destroyMidiDialog(dialog));
    auto next = bench.create();
    EXPECT_EQ(next->getDataSize(smf, 7), 300);
}

} // namespace
