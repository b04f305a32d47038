// The JACK client of the driver layer on a JACK server of the test's own: two
// clients of the test process, a sender and a receiver, with MIDI ports
// connected to each other.

#include "platform/midi/JackClient.h"

#include "platform/JackCycleHooks.h"
#include "support/JackServer.h"
#include "support/MessageInbox.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace qel::midi;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Sent = JackOutput::SendResult;

// A System Exclusive message of `size` bytes with a body that tells messages apart.
Bytes sysEx(std::size_t size, std::uint8_t seed = 0) {
    Bytes message(size);
    for (std::size_t i = 0; i < size; ++i)
        message[i] = static_cast<std::uint8_t>((i * 7 + size + seed) & 0x7F);
    message.front() = 0xF0;
    message.back() = 0xF7;
    return message;
}

class JackClientTest : public testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<qel::test::JackServer>(qel::test::uniqueServerName("qel-jack"));
        if (!server->problem().empty())
            GTEST_SKIP() << server->problem();
    }

    void TearDown() override {
        outputs.clear();
        input.reset();
        sender.reset();
        receiver.reset();
        if (server) {
            EXPECT_TRUE(server->stop()) << server->output();
        }
    }

    // A sender and a receiver, each with its stall hook, and one output of the
    // sender connected to the receiver's input.
    void connect() {
        std::string error;
        JackClient::Options options;
        options.cycleHook = receiverStall.hook();
        receiver = JackClient::open("receiver", error, options);
        ASSERT_TRUE(receiver) << error;
        input = receiver->openInput("in", "", inbox.handler(), error);
        ASSERT_TRUE(input) << error;
        options.cycleHook = senderStall.hook();
        sender = JackClient::open("sender", error, options);
        ASSERT_TRUE(sender) << error;
        addOutput();
    }

    JackOutput& addOutput() {
        std::string error;
        auto output = sender->openOutput("out", input->fullName(), {}, error);
        EXPECT_TRUE(output) << error;
        outputs.push_back(std::move(output));
        return *outputs.back();
    }

    // Once every port has written what it was given, markers are sent through
    // a fresh port. The first may share a cycle with the last messages and
    // reach the receiver before them; the second leaves once the first has
    // left, so in a later cycle than everything else: when it has arrived,
    // everything written before has too, since JACK hands a receiver its
    // events cycle by cycle. Returns what came, markers left out.
    std::vector<Bytes> everythingUpToAMarker() {
        for (const auto& output : outputs)
            EXPECT_TRUE(output->drain());
        const Bytes marker{0xF0, 0x7D, 0x4D, 0xF7};
        JackOutput& fresh = addOutput();
        EXPECT_EQ(fresh.send(marker), Sent::Queued);
        EXPECT_TRUE(fresh.drain());
        EXPECT_EQ(fresh.send(marker), Sent::Queued);
        EXPECT_TRUE(inbox.waitForCopies(marker, 2, 5000ms));
        auto all = inbox.all();
        EXPECT_EQ(all.back(), marker);
        std::erase(all, marker);
        return all;
    }

    std::unique_ptr<qel::test::JackServer> server;
    // Before the clients: their threads use these until the clients are gone.
    qel::test::CycleStall senderStall;
    qel::test::CycleStall receiverStall;
    qel::test::MessageInbox inbox;
    std::shared_ptr<JackClient> receiver;
    std::shared_ptr<JackClient> sender;
    std::unique_ptr<JackInput> input;
    std::vector<std::unique_ptr<JackOutput>> outputs;
};

TEST_F(JackClientTest, ListsThePortsOfOtherClientsOnlyByFullName) {
    connect();
    const auto destinations = sender->destinations();
    const auto sources = receiver->sources();
    EXPECT_NE(std::find(destinations.begin(), destinations.end(), "receiver:in"),
              destinations.end());
    EXPECT_NE(std::find(sources.begin(), sources.end(), "sender:out"), sources.end());
    EXPECT_EQ(std::count(sources.begin(), sources.end(), "receiver:in"), 0);
    for (const auto& name : sender->sources())
        EXPECT_NE(name.rfind("sender:", 0), 0u) << name;
}

// A JACK MIDI buffer takes a limited number of bytes per cycle. A message that
// does not fit what is left of it goes whole in the next cycle; one the size of
// an empty buffer still goes; one larger can never go and is refused.
TEST_F(JackClientTest, MessagesLargerThanACyclesRoomWaitForTheNextCycleAndArriveWhole) {
    connect();
    JackOutput& output = *outputs.front();
    const std::size_t room = output.maximumMessageSize();
    ASSERT_GE(room, 1024u);

    std::vector<Bytes> messages{sysEx(room, 1)};
    for (std::uint8_t seed = 2; seed < 5; ++seed)
        messages.push_back(sysEx(room / 2 + 10, seed)); // never two in one cycle
    for (std::uint8_t seed = 5; seed < 45; ++seed)
        messages.push_back(sysEx(300, seed));
    messages.push_back(sysEx(room - 1, 45));
    for (const Bytes& message : messages)
        ASSERT_EQ(output.sendWaiting(message, 5000ms), Sent::Queued) << message.size();
    EXPECT_EQ(output.send(sysEx(room + 1)), Sent::TooLarge);
    EXPECT_EQ(output.send(Bytes{}), Sent::Empty);

    EXPECT_EQ(everythingUpToAMarker(), messages);
    EXPECT_EQ(input->lostEvents(), 0u);
}

// A sender may split a long System Exclusive message over several events; the
// receiver gets it whole. Real-time messages in between pass on their own; an
// unfinished message cut off by another status byte is dropped.
TEST_F(JackClientTest, SplitSystemExclusiveIsJoinedAndOtherMessagesPassAlone) {
    connect();
    struct Case {
        std::vector<Bytes> events;
        std::vector<Bytes> received;
    };
    const std::vector<Case> cases{
        {{{0xF0, 0x01, 0x02}, {0x03, 0xF7}}, {{0xF0, 0x01, 0x02, 0x03, 0xF7}}},
        {{{0xF0, 0x01}, {0x02}, {0x03, 0x04, 0xF7}}, {{0xF0, 0x01, 0x02, 0x03, 0x04, 0xF7}}},
        {{{0xF0, 0x01}, {0xF8}, {0x02, 0xF7}}, {{0xF8}, {0xF0, 0x01, 0x02, 0xF7}}},
        {{{0xF0, 0x01}, {0x90, 0x40, 0x7F}}, {{0x90, 0x40, 0x7F}}},
        {{{0xF0, 0x05, 0xF7}}, {{0xF0, 0x05, 0xF7}}},
        {{{0xB0, 0x07, 0x64}}, {{0xB0, 0x07, 0x64}}},
    };
    std::vector<Bytes> expected;
    for (const Case& c : cases) {
        for (const Bytes& event : c.events)
            ASSERT_EQ(outputs.front()->send(event), Sent::Queued);
        expected.insert(expected.end(), c.received.begin(), c.received.end());
    }
    EXPECT_EQ(everythingUpToAMarker(), expected);
}

// What was queued before close() leaves first, once, and the closed port
// hands its peer nothing more.
TEST_F(JackClientTest, CloseLetsQueuedMessagesLeaveOnceAndThenSendsNothing) {
    connect();
    std::vector<Bytes> messages;
    for (std::uint8_t seed = 0; seed < 100; ++seed) {
        messages.push_back(sysEx(40 + seed, seed));
        ASSERT_EQ(outputs.front()->send(messages.back()), Sent::Queued);
    }
    EXPECT_TRUE(outputs.front()->close());
    EXPECT_EQ(outputs.front()->send(messages.front()), Sent::Closed);
    EXPECT_EQ(everythingUpToAMarker(), messages);
}

// The process thread takes up the ports it serves at the start of a cycle and
// may be held up before it uses them. A port closed meanwhile must outlive that
// cycle (under AddressSanitizer a use after free would end the test). A cycle
// held up that long is one the server has given up waiting for, and JACK drops
// the events written in it; what does arrive comes whole, once, in order.
TEST_F(JackClientTest, ClosingPortsWhileTheirProcessCycleStallsWaitsForThatCycle) {
    connect();
    JackOutput& output = *outputs.front();
    std::vector<Bytes> messages;
    for (std::uint8_t seed = 0; seed < 10; ++seed) {
        messages.push_back(sysEx(200, seed));
        ASSERT_EQ(output.send(messages.back()), Sent::Queued);
    }
    senderStall.arm();
    ASSERT_TRUE(senderStall.waitForStall(5000ms));
    for (std::uint8_t seed = 10; seed < 20; ++seed) {
        messages.push_back(sysEx(200, seed));
        ASSERT_EQ(output.send(messages.back()), Sent::Queued);
    }
    EXPECT_TRUE(output.close()) << "every message was written into a cycle";
    const auto received = everythingUpToAMarker();
    auto next = messages.begin();
    for (const Bytes& message : received) {
        next = std::find(next, messages.end(), message);
        ASSERT_NE(next, messages.end()) << "a message arrived twice, out of order or torn";
        ++next;
    }

    // The receiver's input, closed while a cycle that took it up stalls.
    receiverStall.arm();
    ASSERT_TRUE(receiverStall.waitForStall(5000ms));
    input->close();
    EXPECT_EQ(outputs.back()->send(sysEx(50)), Sent::Queued);
    EXPECT_TRUE(outputs.back()->drain());
}

// The client closes while its process thread is held in a cycle: the
// destructor stops that thread before it frees what the thread reads.
TEST_F(JackClientTest, DestroyingAClientWhoseCycleStallsIsSafe) {
    connect();
    ASSERT_EQ(outputs.front()->send(sysEx(100)), Sent::Queued);
    EXPECT_TRUE(inbox.waitForCount(1, 5000ms));
    outputs.clear();
    senderStall.arm();
    ASSERT_TRUE(senderStall.waitForStall(5000ms));
    sender.reset();
    SUCCEED();
}

TEST_F(JackClientTest, AServerShutDownIsReportedAndEndsSendsAndWaits) {
    std::mutex mutex;
    std::condition_variable changed;
    bool gone = false;
    std::string error;
    JackClient::Options options;
    options.onServerGone = [&] {
        {
            const std::lock_guard lock(mutex);
            gone = true;
        }
        changed.notify_all();
    };
    auto client = JackClient::open("watcher", error, options);
    ASSERT_TRUE(client) << error;
    auto output = client->openOutput("out", "", {}, error);
    ASSERT_TRUE(output) << error;
    ASSERT_EQ(output->send(sysEx(20)), Sent::Queued);

    EXPECT_TRUE(server->stop()) << server->output();
    server.reset();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return gone; }));
    }
    EXPECT_TRUE(client->serverGone());
    EXPECT_EQ(output->send(sysEx(20)), Sent::ServerGone);
    EXPECT_TRUE(client->destinations().empty());
    EXPECT_EQ(client->openInput("in", "", {}, error), nullptr);
    EXPECT_FALSE(error.empty());
    output->close();
    output.reset();
    client.reset();
}

// A closed port that was connected stays registered and connected, empty, and
// opening the same connection again takes it: no round trip to the server,
// and nothing of what the closed port sent arrives a second time.
TEST_F(JackClientTest, ReopeningAConnectionTakesTheIdlePortAndSendsNothingTwice) {
    connect();
    const std::string name = outputs.front()->fullName();
    ASSERT_EQ(outputs.front()->send(sysEx(30, 1)), Sent::Queued);
    EXPECT_TRUE(outputs.front()->close());
    const auto sources = receiver->sources();
    EXPECT_EQ(std::count(sources.begin(), sources.end(), name), 1) << "kept registered";

    JackOutput& again = addOutput();
    EXPECT_EQ(again.fullName(), name);
    ASSERT_EQ(again.send(sysEx(30, 2)), Sent::Queued);
    EXPECT_EQ(everythingUpToAMarker(), (std::vector<Bytes>{sysEx(30, 1), sysEx(30, 2)}));
}

// The peer of an idle port went away and came back: the port is connected
// again when the connection is opened next.
TEST_F(JackClientTest, AnIdlePortWhosePeerCameBackIsConnectedAgain) {
    connect();
    EXPECT_TRUE(outputs.front()->close());
    input->close();
    std::string error;
    input = receiver->openInput("in", "", inbox.handler(), error);
    ASSERT_TRUE(input) << error;

    JackOutput& again = addOutput();
    ASSERT_EQ(again.send(sysEx(40, 3)), Sent::Queued);
    EXPECT_EQ(everythingUpToAMarker(), std::vector<Bytes>{sysEx(40, 3)});
}

TEST_F(JackClientTest, ASecondClientOfAnExactNameIsRefused) {
    std::string error;
    JackClient::Options options;
    options.exactName = true;
    auto first = JackClient::open("only one", error, options);
    ASSERT_TRUE(first) << error;
    EXPECT_EQ(first->name(), "only one");
    EXPECT_EQ(JackClient::open("only one", error, options), nullptr);
    EXPECT_NE(error.find("only one"), std::string::npos) << error;
}

} // namespace
