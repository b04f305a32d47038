// The device locks between two programs: a second program is refused at once
// and told who holds the keyboard, and gets it once the holder has died.

#include "link/MidiDeviceLocks.h"
#include "support/ChildProcess.h"
#include "support/ScratchFolder.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>

namespace qel {
namespace {

using namespace std::chrono_literals;
using Devices = MidiDeviceLocks::Devices;
using kbdsim::test::ChildProcess;
using kbdsim::test::readFile;
using kbdsim::test::waitForText;

TEST(DeviceLockAcrossProcesses, SecondProgramIsRefusedAtOnceUntilTheHolderDies) {
    test::ScratchFolder locks;
    test::ScratchFolder logs;
    const std::string log = logs / "holder.log";
    ChildProcess holder({DEVICE_LOCK_HOLDER, locks.path(), "Cable In", "Cable Out"}, log);
    ASSERT_TRUE(holder.started());
    ASSERT_TRUE(waitForText(log, "locked\n", 10s)) << readFile(log);

    const std::string refusal = "The keyboard is in use by device_lock_holder (process " +
                                std::to_string(holder.pid()) + ")";
    // Sharing either of the two devices is enough to be refused.
    MidiDeviceLocks second;
    for (const Devices& devices : {Devices{"Cable In", "Cable Out"}, Devices{"Cable In", "Other"},
                                   Devices{"Other", "Cable Out"}}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(second.lock(locks.path(), devices), refusal)
            << devices.input << " / " << devices.output;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "the refusal must not wait";
    }
    // The refused attempt on (Other, Cable Out) let go of Other again.
    MidiDeviceLocks others;
    EXPECT_EQ(others.lock(locks.path(), {"Other", "Other"}), "");

    // Still there: a holder that crashed would pass the next check for nothing.
    ASSERT_TRUE(holder.running()) << readFile(log);
    EXPECT_EQ(holder.stop(SIGKILL, 10s), 128 + SIGKILL);
    MidiDeviceLocks after;
    EXPECT_EQ(after.lock(locks.path(), {"Cable In", "Cable Out"}), "");
}

TEST(DeviceLockAcrossProcesses, ProgramStartedWhileTheKeyboardIsHeldIsRefused) {
    test::ScratchFolder locks;
    test::ScratchFolder logs;
    MidiDeviceLocks first;
    ASSERT_EQ(first.lock(locks.path(), {"Cable", "Cable"}), "");
    const std::string log = logs / "holder.log";
    ChildProcess second({DEVICE_LOCK_HOLDER, locks.path(), "Cable", "Cable"}, log);
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.waitForExit(10s), 1) << readFile(log);
    EXPECT_EQ(readFile(log), "The keyboard is in use by link_dialog_tests (process " +
                                 std::to_string(::getpid()) + ")\n");
}

} // namespace
} // namespace qel
