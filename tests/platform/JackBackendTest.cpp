// The JACK backend of the driver layer on a JACK server of the test's own,
// against a peer client of the test: when "done" comes, what closing does, what
// a stalled process thread and a server that shuts down do to it, and that it
// makes no JACK clients beyond its own.

#include "platform/midi/JackBackend.h"

#include "support/EventPump.h"
#include "platform/JackCycleHooks.h"
#include "support/JackServer.h"
#include "support/MessageInbox.h"

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <condition_variable>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <mutex>
#include <set>

namespace {

using namespace qel::midi;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

std::size_t indexOf(const std::vector<std::string>& names, const std::string& name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

Bytes sysEx(std::uint8_t seed) {
    return Bytes{0xF0, 0x44, 0x11, 0x02, 0x7F, seed, 0x00, 0x00, 0x0D, 0x00, 0x00, 0x00, 0xF7};
}

// Runs the event queue until everything posted before this call has run.
void runPostedEvents() {
    QObject target;
    bool reached = false;
    QMetaObject::invokeMethod(
        &target, [&] { reached = true; }, Qt::QueuedConnection);
    ASSERT_TRUE(qel::test::pumpUntil([&] { return reached; }, 5000ms));
}

class JackBackendTest : public testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<qel::test::JackServer>(qel::test::uniqueServerName("qel-jackb"));
        if (!server->problem().empty())
            GTEST_SKIP() << server->problem();
        JackBackendOptions options;
        options.client.cycleHook = [gateHook = gate.hook(), stallHook = stall.hook()] {
            gateHook();
            stallHook();
        };
        backend = makeJackBackend(std::move(options));
        std::string error;
        peer = JackClient::open("peer", error);
        ASSERT_TRUE(peer) << error;
        peerIn = peer->openInput("from pc", "", peerInbox.handler(), error);
        ASSERT_TRUE(peerIn) << error;
        peerOut = peer->openOutput("to pc", "", {}, error);
        ASSERT_TRUE(peerOut) << error;
    }

    void TearDown() override {
        gate.open();
        input.reset();
        output.reset();
        backend.reset();
        peerIn.reset();
        peerOut.reset();
        peer.reset();
        if (server) {
            EXPECT_TRUE(server->stop()) << server->output();
        }
    }

    void openOutput() {
        const auto names = backend->outputNames();
        const std::size_t index = indexOf(names, "peer:from pc");
        ASSERT_LT(index, names.size());
        ASSERT_EQ(backend->openOutput(
                      index, [this] { ++done; }, output),
                  result::NoError);
    }

    std::unique_ptr<qel::test::JackServer> server;
    // Before the backend: its process thread runs these until it is gone.
    qel::test::CycleGate gate;
    qel::test::CycleStall stall;
    std::unique_ptr<Backend> backend;
    qel::test::MessageInbox peerInbox;
    std::shared_ptr<JackClient> peer;
    std::unique_ptr<JackInput> peerIn;
    std::unique_ptr<JackOutput> peerOut;
    std::unique_ptr<OutputDevice> output;
    std::unique_ptr<InputDevice> input;
    int done = 0;
};

// With the backend's process thread held, a sent message cannot have left:
// no done may come, however long the event queue runs. Once a cycle has
// written it, done comes, and the peer has the message.
TEST_F(JackBackendTest, DoneComesOnlyAfterACycleHasWrittenTheMessage) {
    openOutput();
    gate.shut();
    ASSERT_TRUE(gate.waitForHeldCycle(5000ms));
    ASSERT_EQ(output->send(sysEx(1)), result::NoError);
    runPostedEvents();
    EXPECT_EQ(done, 0) << "done before the message was written into a cycle";
    EXPECT_TRUE(peerInbox.all().empty());
    gate.open();
    ASSERT_TRUE(qel::test::pumpUntil([&] { return done == 1; }, 5000ms));
    EXPECT_EQ(peerInbox.take(5000ms), sysEx(1));
}

// A MIDI dialog sends its last messages without waiting for them and closes
// at once; they must all reach the peer, in order, however many actions do so.
TEST_F(JackBackendTest, SendingAndClosingAtOnceLosesNothing) {
    std::vector<Bytes> expected;
    for (std::uint8_t action = 0; action < 20; ++action) {
        openOutput();
        for (std::uint8_t message = 0; message < 3; ++message) {
            expected.push_back(sysEx(static_cast<std::uint8_t>(action * 3 + message)));
            ASSERT_EQ(output->send(expected.back()), result::NoError);
        }
        ASSERT_EQ(output->reset(), result::NoError);
        ASSERT_EQ(output->close(), result::NoError);
        output.reset();
    }
    ASSERT_TRUE(peerInbox.waitForCount(expected.size(), 5000ms));
    EXPECT_EQ(peerInbox.all(), expected);
}

// A cycle held up while a device closes (under AddressSanitizer a use after
// free would end the test). The server gives up on such a cycle, so JACK may
// drop what was written in it; the close itself must still succeed.
TEST_F(JackBackendTest, ClosingWhileTheProcessThreadStallsDoesNotCrash) {
    openOutput();
    const auto names = backend->inputNames();
    const std::size_t index = indexOf(names, "peer:to pc");
    ASSERT_LT(index, names.size());
    ASSERT_EQ(backend->openInput(
                  index, 256, [](std::span<const std::uint8_t>) {}, input),
              result::NoError);
    ASSERT_EQ(input->start(), result::NoError);
    for (std::uint8_t seed = 0; seed < 5; ++seed)
        ASSERT_EQ(output->send(sysEx(seed)), result::NoError);
    stall.arm();
    ASSERT_TRUE(stall.waitForStall(5000ms));
    EXPECT_EQ(output->close(), result::NoError);
    stall.arm();
    ASSERT_TRUE(stall.waitForStall(5000ms));
    EXPECT_EQ(input->close(), result::NoError);
    // The backend still works: another device opens, and its message arrives.
    const std::size_t before = peerInbox.all().size();
    output.reset();
    openOutput();
    ASSERT_EQ(output->send(sysEx(9)), result::NoError);
    ASSERT_TRUE(peerInbox.waitForCount(before + 1, 5000ms));
    EXPECT_EQ(peerInbox.all().back(), sysEx(9));
}

// Each MIDI dialog lists the devices and opens two of them. None of that may
// make a JACK client of its own: the backend's one client does it all.
TEST_F(JackBackendTest, ListingAndOpeningMakeNoJackClientsBeyondTheBackendsOne) {
    struct Registrations {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<std::string> names;
        static void callback(const char* name, int registered, void* self) {
            auto* log = static_cast<Registrations*>(self);
            if (!registered)
                return;
            {
                const std::lock_guard lock(log->mutex);
                log->names.emplace_back(name);
            }
            log->changed.notify_all();
        }
    } registrations;
    jack_client_t* observer = jack_client_open("observer", JackNoStartServer, nullptr);
    ASSERT_NE(observer, nullptr);
    jack_set_client_registration_callback(observer, &Registrations::callback, &registrations);
    ASSERT_EQ(jack_activate(observer), 0);

    for (int action = 0; action < 5; ++action) {
        backend->inputNames();
        openOutput();
        const auto names = backend->inputNames();
        ASSERT_EQ(backend->openInput(indexOf(names, "peer:to pc"), 256, {}, input),
                  result::NoError);
        EXPECT_EQ(output->close(), result::NoError);
        EXPECT_EQ(input->close(), result::NoError);
        output.reset();
        input.reset();
    }
    // Notifications come in order: once the marker's has, all earlier ones have.
    jack_client_t* marker = jack_client_open("marker", JackNoStartServer, nullptr);
    ASSERT_NE(marker, nullptr);
    {
        std::unique_lock lock(registrations.mutex);
        EXPECT_TRUE(registrations.changed.wait_for(lock, 5s, [&] {
            return std::find(registrations.names.begin(), registrations.names.end(), "marker") !=
                   registrations.names.end();
        }));
        EXPECT_EQ(registrations.names,
                  (std::vector<std::string>{"TQ-7400 Data Manager", "marker"}));
    }
    jack_client_close(marker);
    jack_deactivate(observer);
    jack_client_close(observer);
}

// The server going away in the middle of an action is a failure result of
// the next call, never a hang; the devices still close.
TEST_F(JackBackendTest, AServerThatShutsDownMakesSendsFailAndDevicesStillClose) {
    openOutput();
    const auto names = backend->inputNames();
    ASSERT_EQ(backend->openInput(indexOf(names, "peer:to pc"), 256, {}, input), result::NoError);
    ASSERT_EQ(input->start(), result::NoError);
    ASSERT_EQ(output->send(sysEx(1)), result::NoError);

    EXPECT_TRUE(server->stop()) << server->output();
    server.reset();
    EXPECT_TRUE(
        qel::test::pumpUntil([&] { return output->send(sysEx(2)) == result::NoDevice; }, 10000ms));
    EXPECT_EQ(output->close(), result::NoError);
    EXPECT_EQ(input->close(), result::NoError);
    EXPECT_TRUE(backend->outputNames().empty());
    std::unique_ptr<OutputDevice> another;
    EXPECT_EQ(backend->openOutput(0, {}, another), result::BadDeviceId);
}

} // namespace
