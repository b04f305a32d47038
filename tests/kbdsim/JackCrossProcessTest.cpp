// The stand-alone simulator in its own process, reached over a JACK server
// that the test starts for itself (dummy driver, synchronous mode, a client
// time-out as platform/JackServer.h explains, a name of its own) by a client
// on the driver layer's JackClient.

#include "PcSide.h"
#include "core/Catalogue.h"
#include "kbdsim/DemoContent.h"
#include "kbdsim/MemoryImage.h"
#include "platform/midi/JackClient.h"
#include "support/ChildProcess.h"
#include "support/MessageInbox.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kbdsim {
namespace {

using namespace kbdsim::test;
using namespace std::chrono_literals;
namespace category = qel::category;
using qel::midi::JackOutput;

constexpr const char* jackd = "/usr/bin/jackd";
constexpr const char* jackWait = "/usr/bin/jack_wait";

// The PC side: one output port to the simulator's input, one input port from
// its output. Every wait for a reply is bounded. Closing the output lets
// what was sent leave first.
class JackPc {
public:
    explicit JackPc(const std::string& simulatorName) {
        client_ = qel::midi::JackClient::open("kbdsim test PC", error_);
        if (!client_)
            return;
        in_ = client_->openInput("in", simulatorName + " Out:MIDI Out", inbox_.handler(), error_);
        if (in_)
            out_ = client_->openOutput("out", simulatorName + " In:MIDI In", {}, error_);
    }
    bool connected() const { return in_ && out_; }
    const std::string& error() const { return error_; }

    // Sends a message and waits up to `bound` for the one reply.
    std::optional<Bytes> exchange(const Bytes& message, std::chrono::milliseconds bound = 5000ms) {
        if (out_->send(message) != JackOutput::SendResult::Queued)
            return std::nullopt;
        return inbox_.take(bound);
    }

    // Receives a whole item as the PC does; counts the blocks.
    std::optional<Bytes> receive(std::uint16_t cat, std::uint16_t number, int& blocks) {
        Bytes item;
        Bytes request = dataRequest(cat, number);
        for (blocks = 0; blocks < 1000; ++blocks) {
            const auto reply = exchange(request);
            if (!reply)
                return std::nullopt;
            if (qel::messageType(*reply) == qel::sysex::Handshake)
                return commandOf(*reply) == 0 ? std::optional<Bytes>(item) : std::nullopt;
            const Bytes data = qel::sysex::decodeDataBlock(*reply);
            item.insert(item.end(), data.begin(), data.end());
            request = handshake(cat, number, 1);
        }
        return std::nullopt;
    }

    // Sends a whole item as the PC does; false at the first block not acknowledged.
    bool send(std::uint16_t cat, std::uint16_t number, const Bytes& item) {
        for (std::size_t first = 0, block = 0; first < item.size(); first += 128, ++block) {
            const Bytes part(item.begin() + static_cast<std::ptrdiff_t>(first),
                             item.begin() +
                                 static_cast<std::ptrdiff_t>(std::min(first + 128, item.size())));
            const auto reply =
                exchange(dataBlock(cat, number, static_cast<std::uint16_t>(block), part));
            if (!reply || commandOf(*reply) != acknowledgeCommand)
                return false;
        }
        return out_->send(handshake(cat, number, 0)) == JackOutput::SendResult::Queued;
    }

private:
    std::string error_;
    qel::test::MessageInbox inbox_; // outlives the input port that fills it
    std::shared_ptr<qel::midi::JackClient> client_;
    std::unique_ptr<qel::midi::JackInput> in_;
    std::unique_ptr<JackOutput> out_;
};

class KbdsimOverJack : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        serverName = "kbdsim-" + std::to_string(::getpid()) + "-" + info->name();
        dir = std::filesystem::temp_directory_path() / serverName;
        std::filesystem::create_directories(dir);
        if (::access(jackd, X_OK) != 0)
            GTEST_SKIP() << "no JACK server can start: " << jackd << " is not installed";
        // Every JACK client of this test, the simulator included, goes to this
        // server and never starts one of its own.
        ::setenv("JACK_DEFAULT_SERVER", serverName.c_str(), 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
        server = std::make_unique<ChildProcess>(
            std::vector<std::string>{jackd, "-S", "-t", "500", "-n", serverName, "-d", "dummy",
                                     "-r", "48000", "-p", "64"},
            (dir / "jackd.log").string());
        ASSERT_TRUE(server->started());
        ChildProcess wait({jackWait, "-w", "-t", "10"}, (dir / "jack_wait.log").string());
        const int waited = wait.waitForExit(15s);
        if (waited != 0 || !server->running())
            GTEST_SKIP() << "no JACK server can start here:\n"
                         << readFile((dir / "jackd.log").string());
    }

    void TearDown() override {
        if (simulator) {
            EXPECT_EQ(simulator->stop(SIGINT, 10s), 0) << readFile(simulatorLog);
        }
        // SIGINT, not SIGTERM: the server then leaves JACK's registry clean.
        if (server) {
            EXPECT_EQ(server->stop(SIGINT, 10s), 0) << readFile((dir / "jackd.log").string());
        }
        std::filesystem::remove_all(dir);
    }

    // Starts tq7400-kbdsim on JACK and waits until its ports are open.
    void startSimulator(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments{KBDSIM_PROGRAM, "--api", "jack", "--name",
                                           simulatorName};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        simulatorLog = (dir / ("kbdsim-" + std::to_string(++runs) + ".log")).string();
        simulator = std::make_unique<ChildProcess>(arguments, simulatorLog);
        ASSERT_TRUE(simulator->started());
        ASSERT_TRUE(waitForText(simulatorLog, "tq7400-kbdsim ready", 10s))
            << readFile(simulatorLog);
    }

    std::string serverName;
    std::string simulatorName = "TQ-7400 Simulator";
    std::filesystem::path dir;
    std::unique_ptr<ChildProcess> server;
    std::unique_ptr<ChildProcess> simulator;
    std::string simulatorLog;
    int runs = 0;
};

TEST_F(KbdsimOverJack, AnswersTheModelCodeAndSendsAWholeItemOfSeveralBlocks) {
    startSimulator({"--model", "2"});
    JackPc pc(simulatorName);
    ASSERT_TRUE(pc.connected()) << pc.error();

    const auto model = pc.exchange(parameterRequest(category::Command, 0, 0));
    ASSERT_TRUE(model) << readFile(simulatorLog);
    EXPECT_EQ(qel::sysex::decodeParameterValue(*model), 2);

    // SMF 2 of the demo content: several full 208-byte blocks and a last short one.
    const Bytes expected = makeDemoSmf(40);
    int blocks = 0;
    const auto item = pc.receive(category::SMF, 2, blocks);
    ASSERT_TRUE(item) << readFile(simulatorLog);
    EXPECT_EQ(*item, expected);
    EXPECT_EQ(blocks, static_cast<int>((expected.size() + 127) / 128));
    EXPECT_GE(blocks, 3);
}

TEST_F(KbdsimOverJack, KeepsAnItemSentToItInItsMemoryFileAcrossRuns) {
    const std::string memory = (dir / "memory.img").string();
    startSimulator({"--memory", memory, "--blank"});
    Bytes item(700);
    for (std::size_t i = 0; i < item.size(); ++i)
        item[i] = static_cast<std::uint8_t>(i * 11);
    {
        JackPc pc(simulatorName);
        ASSERT_TRUE(pc.connected()) << pc.error();
        ASSERT_TRUE(pc.send(category::SMF, 20, item)) << readFile(simulatorLog);
        // A request after the end of data proves it was taken in order.
        ASSERT_TRUE(pc.exchange(parameterRequest(category::Command, 0, 0)));
    }
    EXPECT_EQ(simulator->stop(SIGINT, 10s), 0) << readFile(simulatorLog);
    EXPECT_EQ(*MemoryImage::load(memory).data(category::SMF, 20), item);

    startSimulator({"--memory", memory, "--blank"});
    JackPc pc(simulatorName);
    ASSERT_TRUE(pc.connected()) << pc.error();
    int blocks = 0;
    EXPECT_EQ(pc.receive(category::SMF, 20, blocks), item);
    EXPECT_EQ(blocks, 6);
}

} // namespace
} // namespace kbdsim
