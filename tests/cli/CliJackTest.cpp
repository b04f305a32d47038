// tq7400 against the stand-alone keyboard simulator over a JACK server of the
// test's own: a keyboard that stays busy after a delete holds the command in
// its readiness poll, and SIGTERM or SIGINT ends it at once; a keyboard that
// spoils a block makes the command say where it failed.

#include "cli/SimulatorOverJack.h"
#include "support/RemoteCancel.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using kbdsim::test::ChildProcess;
using Clock = std::chrono::steady_clock;
using qel::test::SimulatorOverJack;

// As the simulator traces what it receives: a delete of a rhythm
// (category 0, parameter 36), and the model request of the readiness poll.
const QByteArray deleteRhythm = "in:  F0 44 11 02 7F 00 00 24";
const QByteArray modelRequest = "in:  F0 44 11 02 7F 01 00 00 0D 00 00 00 F7";

// A keyboard that never becomes ready after a delete.
class CliOverJack : public SimulatorOverJack, public testing::WithParamInterface<int> {
protected:
    CliOverJack() : SimulatorOverJack({"--trace", "--busy-after-delete", "100000"}) {}
};

// A keyboard that spoils the third block of every item it sends.
class CliSpoiledBlock : public SimulatorOverJack {
protected:
    CliSpoiledBlock()
        : SimulatorOverJack({"--trace", "--corrupt-block", "2", "--corruption", "checksum"}) {}
};

TEST_F(CliSpoiledBlock, AFailedReceiveSaysItsItemAndBlockOnStandardError) {
    const std::string out = scratch.path() + "out.txt", err = scratch.path() + "err.txt";
    std::vector<std::string> arguments = simulatorPorts();
    // The demo's second rhythm: 520 bytes, five blocks.
    for (const char* word : {"--quiet", "get", "rhythm", "141"})
        arguments.emplace_back(word);
    arguments.push_back(scratch.path() + "data");
    // Standard error to its own file, through a shell that execs the program.
    arguments.insert(arguments.begin(),
                     {"/bin/sh", "-c", "e=$1; shift; exec \"$@\" 2>\"$e\"", "sh", err});
    ChildProcess child(arguments, out);
    ASSERT_TRUE(child.started());
    const int status = child.waitForExit(60s);
    EXPECT_EQ(status, 1) << simulator->output();
    EXPECT_EQ(kbdsim::test::readFile(err),
              "tq7400: SYSEX ERROR (receiving USER RHYTHM 141, block 3 of 5)\n");
    EXPECT_EQ(kbdsim::test::readFile(out), "");
}

TEST_P(CliOverJack, ASignalEndsADeleteStuckInTheReadinessPollAtOnce) {
    const std::string log = scratch.path() + "tq7400.txt";
    std::vector<std::string> arguments = simulatorPorts();
    for (const char* word : {"delete", "rhythm", "140"})
        arguments.emplace_back(word);
    ChildProcess child(arguments, log);
    ASSERT_TRUE(child.started());
    // The poll's first request now waits for its 10 s reply time-out.
    ASSERT_TRUE(simulator->waitForOutputAfter(deleteRhythm, modelRequest, 30s))
        << simulator->output() << kbdsim::test::readFile(log);
    const auto signalled = Clock::now();
    const int status = child.stop(GetParam(), 10s);
    const auto took = Clock::now() - signalled;
    EXPECT_EQ(child.endingSignal(), 0) << "ended by itself, not killed nor crashed";
    EXPECT_EQ(status, 128 + GetParam()) << "as a shell shows the signal";
    EXPECT_LT(took, qel::test::cancelBound);
    EXPECT_NE(kbdsim::test::readFile(log).find("tq7400: Cancelled"), std::string::npos)
        << kbdsim::test::readFile(log);
}

INSTANTIATE_TEST_SUITE_P(Signals, CliOverJack, testing::Values(SIGTERM, SIGINT),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "Sigterm" : "Sigint");
                         });

} // namespace
