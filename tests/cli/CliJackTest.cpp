// tq7400 against the stand-alone keyboard simulator over a JACK server of the
// test's own: a keyboard that stays busy after a delete holds the command in
// its readiness poll, and SIGTERM or SIGINT ends it at once.

#include "support/ChildProcess.h"
#include "support/JackServer.h"
#include "support/RemoteCancel.h"
#include "support/ScratchFolder.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using kbdsim::test::ChildProcess;
using Clock = std::chrono::steady_clock;

const std::string simulatorName = "TQ-7400 Simulator";

// As the simulator traces what it receives: a delete of a rhythm
// (category 0, parameter 36), and the model request of the readiness poll.
const QByteArray deleteRhythm = "in:  F0 44 11 02 7F 00 00 24";
const QByteArray modelRequest = "in:  F0 44 11 02 7F 01 00 00 0D 00 00 00 F7";

class CliOverJack : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        server = std::make_unique<qel::test::JackServer>(qel::test::uniqueServerName("qel-cli"));
        if (!server->problem().empty())
            GTEST_SKIP() << server->problem();
        // Settings of the run's own; the program reaches the MIDI system through JACK.
        const std::string config = scratch.path() + "config";
        std::filesystem::create_directories(config);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("QEL_MIDI_API", "jack", 1);
        // A keyboard that never becomes ready after a delete.
        simulator = std::make_unique<qel::test::Program>(
            KBDSIM_PROGRAM,
            QStringList{"--api", "jack", "--name", QString::fromStdString(simulatorName),
                        "--busy-after-delete", "100000", "--trace"});
        ASSERT_TRUE(simulator->started());
        ASSERT_TRUE(simulator->waitForOutput("tq7400-kbdsim ready", 10s)) << simulator->output();
    }

    void TearDown() override {
        if (simulator) {
            EXPECT_TRUE(simulator->stop()) << simulator->output();
        }
        if (server && server->problem().empty()) {
            EXPECT_TRUE(server->stop()) << server->output();
        }
        ::unsetenv("QEL_MIDI_API");
    }

    qel::test::ScratchFolder scratch;
    std::unique_ptr<qel::test::JackServer> server;
    std::unique_ptr<qel::test::Program> simulator;
};

TEST_P(CliOverJack, ASignalEndsADeleteStuckInTheReadinessPollAtOnce) {
    const std::string log = scratch.path() + "tq7400.txt";
    ChildProcess child({CLI_PROGRAM, "--in", simulatorName + " Out:MIDI Out", "--out",
                        simulatorName + " In:MIDI In", "delete", "rhythm", "140"},
                       log);
    ASSERT_TRUE(child.started());
    // The poll's first request now waits for its 10 s reply time-out.
    ASSERT_TRUE(simulator->waitForOutputAfter(deleteRhythm, modelRequest, 30s))
        << simulator->output() << kbdsim::test::readFile(log);
    const auto signalled = Clock::now();
    const int status = child.stop(GetParam(), 10s);
    const auto took = Clock::now() - signalled;
    EXPECT_EQ(status, 1) << "ended by itself, with a failure";
    EXPECT_LT(took, qel::test::cancelBound);
    EXPECT_NE(kbdsim::test::readFile(log).find("tq7400: Cancelled"), std::string::npos)
        << kbdsim::test::readFile(log);
}

INSTANTIATE_TEST_SUITE_P(Signals, CliOverJack, testing::Values(SIGTERM, SIGINT),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "Sigterm" : "Sigint");
                         });

} // namespace
