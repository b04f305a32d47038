// The system backend chosen for JACK (QEL_MIDI_API=jack) on a JACK server of
// the test's own, against peer ports the test opens with a JackClient.

#include "platform/midi/JackClient.h"
#include "platform/midi/RtMidiBackend.h"
#include "support/EventPump.h"
#include "support/JackServer.h"
#include "support/MessageInbox.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace qel::midi;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

std::size_t indexOf(const std::vector<std::string>& names, const std::string& suffix) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].size() >= suffix.size() &&
            names[i].compare(names[i].size() - suffix.size(), suffix.size(), suffix) == 0)
            return i;
    return names.size();
}

class RtMidiOverJack : public testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<qel::test::JackServer>(qel::test::uniqueServerName("qel-rtmidi"));
        if (!server->problem().empty())
            GTEST_SKIP() << server->problem();
        ::setenv("QEL_MIDI_API", "jack", 1);
        backend = makeRtMidiBackend();
        // The far end: a port that sends to us and one that receives from us.
        std::string error;
        peer = JackClient::open("peer", error);
        ASSERT_TRUE(peer) << error;
        peerOut = peer->openOutput("to pc", "", {}, error);
        ASSERT_TRUE(peerOut) << error;
        peerIn = peer->openInput("from pc", "", peerInbox.handler(), error);
        ASSERT_TRUE(peerIn) << error;
    }

    void TearDown() override {
        input.reset();
        output.reset();
        peerIn.reset();
        peerOut.reset();
        peer.reset();
        backend.reset(); // its JACK client closes while the server still runs
        if (server) {
            EXPECT_TRUE(server->stop()) << server->output();
        }
        ::unsetenv("QEL_MIDI_API");
    }

    std::unique_ptr<qel::test::JackServer> server;
    std::unique_ptr<Backend> backend;
    qel::test::MessageInbox peerInbox;
    std::shared_ptr<JackClient> peer;
    std::unique_ptr<JackOutput> peerOut;
    std::unique_ptr<JackInput> peerIn;
    std::unique_ptr<InputDevice> input;
    std::unique_ptr<OutputDevice> output;
};

// No fixed waits decide what "did not arrive" means here; markers do:
// - Messages of one port come through in the order sent (one queue, one
//   delivery thread, one event queue), so once a marker sent last has come,
//   whatever was sent before it and is not there was dropped.
// - A stopped device shows nothing, so a second device (the witness) on the
//   same source and the same JACK client tells when a message has been
//   through. The client serves its ports in the order they were opened, in
//   each process cycle and in each pass of its delivery thread, and opening a
//   port waits for the delivery thread's current pass to end. So: once the
//   witness has had a message, and another device has been opened and closed
//   after that, the next pass that hands the witness anything has first handed
//   the stopped device all it received up to then, and posted it first.
TEST_F(RtMidiOverJack, SysExComesInWholeThroughTheEventQueueAndOtherMessagesDoNot) {
    const auto names = backend->inputNames();
    const std::size_t index = indexOf(names, ":to pc");
    ASSERT_LT(index, names.size());
    auto recorder = [](std::vector<Bytes>& into) {
        return [&into](std::span<const std::uint8_t> bytes) {
            into.emplace_back(bytes.begin(), bytes.end());
        };
    };
    auto arrived = [](const std::vector<Bytes>& in, const Bytes& message) {
        return [&in, message] { return std::find(in.begin(), in.end(), message) != in.end(); };
    };
    std::vector<Bytes> delivered;
    ASSERT_EQ(backend->openInput(index, 256, recorder(delivered), input), result::NoError);
    ASSERT_EQ(input->start(), result::NoError);
    const Bytes sysEx{0xF0, 0x44, 0x11, 0x02, 0x7F, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xF7};
    const Bytes marker{0xF0, 0x7D, 0x4D, 0x01, 0xF7};
    ASSERT_EQ(peerOut->send(Bytes{0x90, 0x40, 0x7F}), JackOutput::SendResult::Queued); // not ours
    ASSERT_EQ(peerOut->send(sysEx), JackOutput::SendResult::Queued);
    ASSERT_EQ(peerOut->send(Bytes{0x80, 0x40, 0x00}), JackOutput::SendResult::Queued); // not ours
    ASSERT_EQ(peerOut->send(marker), JackOutput::SendResult::Queued);
    ASSERT_TRUE(qel::test::pumpUntil(arrived(delivered, marker), 3000ms));
    EXPECT_EQ(delivered, (std::vector<Bytes>{sysEx, marker}));

    // Nothing flows after stop(): the witness, opened after `input`, proves
    // that a message sent after stop() has been through (see above).
    std::vector<Bytes> witnessed;
    std::unique_ptr<InputDevice> witness;
    ASSERT_EQ(backend->openInput(index, 256, recorder(witnessed), witness), result::NoError);
    ASSERT_EQ(witness->start(), result::NoError);
    ASSERT_EQ(input->stop(), result::NoError);
    ASSERT_EQ(peerOut->send(sysEx), JackOutput::SendResult::Queued);
    ASSERT_TRUE(qel::test::pumpUntil(arrived(witnessed, sysEx), 3000ms));
    {
        std::unique_ptr<InputDevice> barrier;
        ASSERT_EQ(backend->openInput(index, 256, {}, barrier), result::NoError);
        EXPECT_EQ(barrier->close(), result::NoError);
    }
    const Bytes secondMarker{0xF0, 0x7D, 0x4D, 0x02, 0xF7};
    ASSERT_EQ(peerOut->send(secondMarker), JackOutput::SendResult::Queued);
    ASSERT_TRUE(qel::test::pumpUntil(arrived(witnessed, secondMarker), 3000ms));
    EXPECT_EQ(witnessed, (std::vector<Bytes>{sysEx, secondMarker}));
    EXPECT_EQ(delivered, (std::vector<Bytes>{sysEx, marker})) << "nothing flows after stop()";
    EXPECT_EQ(witness->close(), result::NoError);
    EXPECT_EQ(input->close(), result::NoError);
    EXPECT_EQ(input->start(), result::InvalidHandle);
}

TEST_F(RtMidiOverJack, SentMessageArrivesAndIsReportedDoneLater) {
    const auto names = backend->outputNames();
    const std::size_t index = indexOf(names, ":from pc");
    ASSERT_LT(index, names.size());
    int done = 0;
    ASSERT_EQ(backend->openOutput(
                  index, [&] { ++done; }, output),
              result::NoError);
    const Bytes sysEx{0xF0, 0x44, 0x11, 0x02, 0x7F, 0x01, 0x00, 0x00, 0x0D, 0x00, 0x00, 0x00, 0xF7};
    ASSERT_EQ(output->send(sysEx), result::NoError);
    EXPECT_EQ(done, 0) << "done comes through the event queue, not inside send()";
    ASSERT_TRUE(qel::test::pumpUntil([&] { return done == 1; }));
    EXPECT_EQ(peerInbox.take(3000ms), sysEx);
}

TEST_F(RtMidiOverJack, MessageRtMidiWouldDropUnseenIsRefused) {
    const auto names = backend->outputNames();
    const std::size_t index = indexOf(names, ":from pc");
    ASSERT_LT(index, names.size());
    ASSERT_EQ(backend->openOutput(
                  index, [] {}, output),
              result::NoError);
    // Far more than a JACK MIDI buffer holds: it could never be sent.
    Bytes huge(1 << 20, 0x01);
    huge.front() = 0xF0;
    huge.back() = 0xF7;
    EXPECT_EQ(output->send(huge), result::InvalidParameter);
    EXPECT_EQ(output->send(Bytes{}), result::Unprepared);
}

TEST_F(RtMidiOverJack, OpeningAPortThatIsNotThereFails) {
    EXPECT_EQ(backend->openOutput(
                  backend->outputNames().size(), [] {}, output),
              result::BadDeviceId);
    EXPECT_EQ(backend->openInput(backend->inputNames().size(), 256, {}, input),
              result::BadDeviceId);
    EXPECT_EQ(output, nullptr);
    EXPECT_EQ(input, nullptr);
}

} // namespace
