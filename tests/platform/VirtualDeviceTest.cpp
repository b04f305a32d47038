#include "platform/midi/VirtualDevice.h"

#include "support/EventPump.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace qel::midi;
using namespace std::chrono_literals;
using qel::test::pumpUntil;
using Bytes = std::vector<std::uint8_t>;

Bytes sysEx(std::size_t length, std::uint8_t fill) {
    Bytes message(length, fill);
    message.front() = 0xF0;
    message.back() = 0xF7;
    return message;
}

// A device that answers every message with `answers`, and records what it got.
struct Device {
    std::vector<Bytes> received;
    std::vector<TimedMessage> answers;
    std::chrono::microseconds perByte{0};

    std::unique_ptr<VirtualDeviceBackend> backend() {
        return std::make_unique<VirtualDeviceBackend>(
            "Test Device",
            [this](const Bytes& message) {
                received.push_back(message);
                return answers;
            },
            [this](std::size_t bytes) { return perByte * static_cast<long>(bytes); });
    }
};

// Opened devices and the log of their notifications.
struct Session {
    std::unique_ptr<InputDevice> input;
    std::unique_ptr<OutputDevice> output;
    std::vector<std::string> log;

    void open(Backend& backend, std::size_t bufferSize = 256) {
        ASSERT_EQ(backend.openInput(
                      0, bufferSize,
                      [this](std::span<const std::uint8_t> bytes) {
                          log.push_back("data " + std::to_string(bytes.size()));
                      },
                      input),
                  result::NoError);
        ASSERT_EQ(backend.openOutput(
                      0, [this] { log.push_back("done"); }, output),
                  result::NoError);
    }
};

TEST(VirtualDevice, ListedOnceInBothListsUnderItsName) {
    Device device;
    auto backend = device.backend();
    EXPECT_EQ(backend->inputNames(), std::vector<std::string>{"Test Device"});
    EXPECT_EQ(backend->outputNames(), std::vector<std::string>{"Test Device"});
    std::unique_ptr<InputDevice> input;
    EXPECT_EQ(backend->openInput(1, 256, {}, input), result::BadDeviceId);
}

TEST(VirtualDevice, NotificationsComeThroughTheEventQueueDoneBeforeTheAnswer) {
    Device device;
    device.answers = {TimedMessage{sysEx(14, 0x01), 0us}};
    auto backend = device.backend();
    Session session;
    session.open(*backend);
    ASSERT_EQ(session.input->start(), result::NoError);
    ASSERT_EQ(session.output->send(sysEx(13, 0x02)), result::NoError);
    EXPECT_TRUE(session.log.empty()) << "nothing may happen inside send()";
    EXPECT_TRUE(device.received.empty());
    ASSERT_TRUE(pumpUntil([&] { return session.log.size() == 2; }));
    EXPECT_EQ(session.log, (std::vector<std::string>{"done", "data 14"}));
    EXPECT_EQ(device.received, std::vector<Bytes>{sysEx(13, 0x02)});
}

TEST(VirtualDevice, InputOnlyFlowsBetweenStartAndStop) {
    Device device;
    device.answers = {TimedMessage{sysEx(14, 0x01), 0us}};
    auto backend = device.backend();
    Session session;
    session.open(*backend);
    ASSERT_EQ(session.output->send(sysEx(13, 0x02)), result::NoError); // not started
    ASSERT_TRUE(backend->settle());
    ASSERT_EQ(device.received.size(), 1u);
    EXPECT_EQ(session.log, std::vector<std::string>{"done"});

    session.input->start();
    session.output->send(sysEx(13, 0x02));
    session.input->stop(); // before the answer arrives: it is dropped
    ASSERT_TRUE(backend->settle());
    ASSERT_EQ(device.received.size(), 2u);
    EXPECT_EQ(session.log, (std::vector<std::string>{"done", "done"}));
}

TEST(VirtualDevice, MessageLongerThanTheBufferArrivesInBufferSizedPieces) {
    Device device;
    device.answers = {TimedMessage{sysEx(600, 0x01), 0us}};
    auto backend = device.backend();
    Session session;
    session.open(*backend, 256);
    session.input->start();
    session.output->send(sysEx(13, 0x02));
    ASSERT_TRUE(pumpUntil([&] { return session.log.size() == 4; }));
    EXPECT_EQ(session.log, (std::vector<std::string>{"done", "data 256", "data 256", "data 88"}));
}

TEST(VirtualDevice, EachDirectionOpensOnceAtATime) {
    Device device;
    auto backend = device.backend();
    Session first;
    first.open(*backend);
    std::unique_ptr<InputDevice> input;
    std::unique_ptr<OutputDevice> output;
    EXPECT_EQ(backend->openInput(0, 256, {}, input), result::Allocated);
    EXPECT_EQ(backend->openOutput(0, {}, output), result::Allocated);
    ASSERT_EQ(first.input->close(), result::NoError);
    first.output.reset(); // destroying an open device frees it too
    EXPECT_EQ(backend->openInput(0, 256, {}, input), result::NoError);
    EXPECT_EQ(backend->openOutput(0, {}, output), result::NoError);
    EXPECT_EQ(first.input->start(), result::InvalidHandle);
    EXPECT_EQ(first.input->close(), result::InvalidHandle);
}

TEST(VirtualDevice, ClosedOrDestroyedDevicesGetNoLateNotifications) {
    Device device;
    device.answers = {TimedMessage{sysEx(14, 0x01), 5ms}};
    auto backend = device.backend();
    {
        Session session;
        session.open(*backend);
        session.input->start();
        session.output->send(sysEx(13, 0x02));
        session.output->close();
        session.input->close();
        ASSERT_TRUE(backend->settle());
        EXPECT_EQ(device.received.size(), 1u) << "the answer was made, and dropped";
        EXPECT_TRUE(session.log.empty());
    }
    Session destroyed;
    destroyed.open(*backend);
    destroyed.input->start();
    destroyed.output->send(sysEx(13, 0x02));
    destroyed.input.reset();
    destroyed.output.reset();
    ASSERT_TRUE(
        backend->settle()); // nothing may reach the destroyed devices (the sanitizer build watches)
    EXPECT_EQ(device.received.size(), 2u);
    EXPECT_TRUE(destroyed.log.empty());
}

TEST(VirtualDevice, EmptyMessageIsRefused) {
    Device device;
    auto backend = device.backend();
    Session session;
    session.open(*backend);
    EXPECT_EQ(session.output->send({}), result::Unprepared);
}

TEST(VirtualDevice, PacedMessagesTakeTheirWireTimeAndAnswersTheirDelay) {
    // A slow wire, so that the upper bound below has room for a loaded machine
    // and still catches a wire time counted twice.
    Device device;
    device.perByte = 2ms;
    device.answers = {TimedMessage{sysEx(14, 0x01), 8ms}};
    auto backend = device.backend();
    Session session;
    session.open(*backend);
    session.input->start();
    QElapsedTimer clock;
    clock.start();
    std::int64_t doneAt = 0;
    std::int64_t answerAt = 0;
    const Bytes block = sysEx(208, 0x03); // 416 ms on the wire
    session.output->send(block);
    ASSERT_TRUE(pumpUntil(
        [&] {
            if (!doneAt && !session.log.empty())
                doneAt = clock.nsecsElapsed();
            if (!answerAt && session.log.size() == 2)
                answerAt = clock.nsecsElapsed();
            return session.log.size() == 2;
        },
        5000ms));
    EXPECT_GE(doneAt, 416'000'000);
    // The answer's delay counts from the moment the device had the whole message,
    // once: not from the send, and not after a second wire time.
    EXPECT_GE(answerAt, 416'000'000 + 8'000'000);
    EXPECT_LT(answerAt, 2 * 416'000'000);
}

TEST(VirtualDevice, MessagesSentBackToBackQueueOnTheWire) {
    Device device;
    device.perByte = 320us;
    auto backend = device.backend();
    Session session;
    session.open(*backend);
    QElapsedTimer clock;
    clock.start();
    session.output->send(sysEx(50, 0x01)); // 16 ms
    session.output->send(sysEx(50, 0x02)); // 16 ms more
    ASSERT_TRUE(pumpUntil([&] { return session.log.size() == 2; }));
    EXPECT_GE(clock.nsecsElapsed(), 32'000'000);
    ASSERT_EQ(device.received.size(), 2u);
    EXPECT_EQ(device.received[0][1], 0x01);
    EXPECT_EQ(device.received[1][1], 0x02);
}

} // namespace
