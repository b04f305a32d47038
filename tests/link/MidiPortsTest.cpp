#include "link/MidiInDev.h"
#include "link/MidiOutDev.h"
#include "platform/midi/VirtualDevice.h"
#include "support/EventPump.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

namespace {

using namespace qel;
using qel::test::hex;
using qel::test::pumpUntil;
using Bytes = std::vector<std::uint8_t>;

// A driver with one in-process device that answers each message with the
// next answer of `answers` (nothing once they run out).
struct Bench {
    std::vector<Bytes> received;
    std::vector<Bytes> answers;
    std::shared_ptr<midi::Driver> driver;
    midi::VirtualDeviceBackend* device = nullptr; // owned by the driver

    Bench() {
        std::vector<std::unique_ptr<midi::Backend>> backends;
        auto backend =
            std::make_unique<midi::VirtualDeviceBackend>("Device", [this](const Bytes& message) {
                received.push_back(message);
                std::vector<midi::TimedMessage> out;
                if (!answers.empty()) {
                    out.push_back({answers.front(), {}});
                    answers.erase(answers.begin());
                }
                return out;
            });
        device = backend.get();
        backends.push_back(std::move(backend));
        driver = std::make_shared<midi::Driver>(std::move(backends));
    }
};

TEST(MidiOutDev, ClosedPortPreparesAndSendsNothingAndSucceeds) {
    Bench bench;
    MidiOutDev port(bench.driver);
    EXPECT_EQ(port.prepare(hex("F0 44 11 02 7F 00 00 20 06 00 00 00 00 F7")), 0u);
    EXPECT_EQ(port.send(), 0u);
    ASSERT_TRUE(bench.device->settle());
    EXPECT_TRUE(bench.received.empty());
    EXPECT_EQ(port.close(), 0u);
}

TEST(MidiOutDev, MessageLongerThanTheBufferIsRefusedAndThePreparedOneKept) {
    Bench bench;
    MidiOutDev port(bench.driver);
    ASSERT_EQ(port.open(0), 0u);
    const Bytes fits = hex("F0 44 11 02 7F 00 00 20 06 00 00 00 00 F7");
    ASSERT_EQ(port.prepare(fits), 0u);
    Bytes tooLong(MidiDev::bufferSize + 1, 0x00);
    EXPECT_EQ(port.prepare(tooLong), midi::result::InvalidParameter);
    EXPECT_EQ(port.lastError(), midi::result::InvalidParameter);
    Bytes exactlyFull(MidiDev::bufferSize, 0x01);
    exactlyFull.front() = 0xF0;
    exactlyFull.back() = 0xF7;
    ASSERT_EQ(port.send(), 0u);
    ASSERT_EQ(port.prepare(exactlyFull), 0u);
    ASSERT_EQ(port.send(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return bench.received.size() == 2; }));
    EXPECT_EQ(bench.received[0], fits);
    EXPECT_EQ(bench.received[1], exactlyFull);
}

TEST(MidiOutDev, SendWithoutPrepareIsRefused) {
    Bench bench;
    MidiOutDev port(bench.driver);
    ASSERT_EQ(port.open(0), 0u);
    EXPECT_EQ(port.send(), midi::result::Unprepared);
    EXPECT_EQ(port.open(0), midi::result::Allocated);
}

TEST(MidiOutDev, ObserversHearOfTheLastMessageSentInAttachOrder) {
    Bench bench;
    MidiOutDev port(bench.driver);
    std::vector<std::string> calls;
    MidiObserver first, second, cleared;
    first.setCallback([&] { calls.push_back("first"); });
    second.setCallback([&] { calls.push_back("second"); });
    cleared.setCallback([&] { calls.push_back("cleared"); });
    cleared.clearCallback();
    port.attach(first);
    port.attach(cleared);
    port.attach(second);
    ASSERT_EQ(port.open(0), 0u);
    ASSERT_EQ(port.prepare(hex("F0 44 00 00 00 00 00 00 00 00 00 F7")), 0u);
    ASSERT_EQ(port.send(), 0u);
    ASSERT_EQ(port.send(), 0u); // two messages back to back: one notification
    ASSERT_TRUE(bench.device->settle());
    ASSERT_EQ(bench.received.size(), 2u);
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));
}

TEST(MidiInDev, ClosedPortCannotStartOrStop) {
    Bench bench;
    MidiInDev port(bench.driver);
    EXPECT_EQ(port.start(), midi::result::InvalidHandle);
    EXPECT_EQ(port.stop(), midi::result::InvalidHandle);
    EXPECT_EQ(port.close(), 0u);
}

TEST(MidiInDev, EachReceivedMessageReplacesThePreviousOneWhole) {
    Bench bench;
    bench.answers = {hex("F0 44 11 02 7F 00 00 00 0D 00 00 00 03 00 F7"),
                     hex("F0 44 11 02 7F 07 00 00 00 00 00 00 F7")};
    MidiOutDev out(bench.driver);
    MidiInDev in(bench.driver);
    int notified = 0;
    MidiObserver observer;
    observer.setCallback([&] { ++notified; });
    in.attach(observer);
    ASSERT_EQ(out.open(0), 0u);
    ASSERT_EQ(in.open(0), 0u);
    ASSERT_EQ(in.start(), 0u);
    ASSERT_EQ(out.prepare(hex("F0 44 11 02 7F 01 00 00 0D 00 00 00 F7")), 0u);
    ASSERT_EQ(out.send(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return notified == 1; }));
    ByteVector message;
    in.receivedMessage(message);
    EXPECT_EQ(message, hex("F0 44 11 02 7F 00 00 00 0D 00 00 00 03 00 F7"));
    ASSERT_EQ(out.send(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return notified == 2; }));
    in.receivedMessage(message);
    EXPECT_EQ(message, hex("F0 44 11 02 7F 07 00 00 00 00 00 00 F7"));
}

TEST(MidiInDev, ClosingDropsReplyStillOnItsWay) {
    Bench bench;
    bench.answers = {hex("F0 44 11 02 7F 07 00 00 00 00 00 00 F7")};
    MidiOutDev out(bench.driver);
    MidiInDev in(bench.driver);
    int notified = 0;
    MidiObserver observer;
    observer.setCallback([&] { ++notified; });
    in.attach(observer);
    ASSERT_EQ(out.open(0), 0u);
    ASSERT_EQ(in.open(0), 0u);
    ASSERT_EQ(in.start(), 0u);
    ASSERT_EQ(out.prepare(hex("F0 44 11 02 7F 01 00 00 0D 00 00 00 F7")), 0u);
    ASSERT_EQ(out.send(), 0u);
    ASSERT_EQ(in.close(), 0u);
    ASSERT_TRUE(bench.device->settle());
    EXPECT_EQ(bench.received.size(), 1u) << "the message went out and was answered";
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(in.open(0), 0u) << "a closed port frees its device";
}

} // namespace
