#pragma once

// The stand-alone keyboard simulator on a JACK server of the test's own, with
// the options the test chooses, and tq7400 run against it. Settings are the
// run's own; the program reaches the MIDI system through JACK.

#include "support/ChildProcess.h"
#include "support/JackServer.h"
#include "support/ScratchFolder.h"

#include <QStringList>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace qel::test {

class SimulatorOverJack : public testing::Test {
protected:
    static constexpr const char* simulatorName = "TQ-7400 Simulator";

    // `options` go to the simulator after its name (faults, --trace).
    explicit SimulatorOverJack(QStringList options) : options_(std::move(options)) {}

    void SetUp() override {
        using namespace std::chrono_literals;
        server = std::make_unique<JackServer>(uniqueServerName("qel-cli"));
        if (!server->problem().empty())
            GTEST_SKIP() << server->problem();
        const std::string config = scratch.path() + "config";
        std::filesystem::create_directories(config);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("QEL_MIDI_API", "jack", 1);
        simulator = std::make_unique<Program>(
            KBDSIM_PROGRAM, QStringList{"--api", "jack", "--name", simulatorName} + options_);
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

    // The command line's arguments that choose the simulator's ports.
    static std::vector<std::string> simulatorPorts() {
        return {CLI_PROGRAM, "--in", std::string(simulatorName) + " Out:MIDI Out", "--out",
                std::string(simulatorName) + " In:MIDI In"};
    }

    // Runs tq7400 on the simulator to its end; standard output is returned,
    // standard error goes to a file. A crash or a failure fails the test.
    std::string run(const std::vector<std::string>& arguments) {
        using namespace std::chrono_literals;
        const std::string out = scratch.path() + "out.txt", err = scratch.path() + "err.txt";
        // Standard error to its own file, through a shell that execs the program.
        std::vector<std::string> full{"/bin/sh", "-c", "e=$1; shift; exec \"$@\" 2>\"$e\"", "sh",
                                      err};
        const std::vector<std::string> ports = simulatorPorts();
        full.insert(full.end(), ports.begin(), ports.end());
        full.insert(full.end(), arguments.begin(), arguments.end());
        kbdsim::test::ChildProcess child(full, out);
        EXPECT_TRUE(child.started());
        const int status = child.waitForExit(60s);
        EXPECT_EQ(status, 0) << testing::PrintToString(arguments) << ": "
                             << kbdsim::test::readFile(err);
        return kbdsim::test::readFile(out);
    }

    ScratchFolder scratch;
    std::unique_ptr<JackServer> server;
    std::unique_ptr<Program> simulator;

private:
    QStringList options_;
};

} // namespace qel::test
