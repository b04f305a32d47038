// The MIDI dialog and the device locks: a dialog on a device another program
// holds fails at once and opens no port; an open dialog keeps other programs
// off its devices until it goes; the virtual keyboard needs no lock; and a
// lock that cannot be made does not stop the dialog. Another program is
// played by a second set of locks in this process (flock locks belong to an
// open file, not to a process).

#include "link/DialogBench.h"
#include "link/MidiDeviceLocks.h"
#include "link/QelMidiDialog.h"
#include "platform/files/ProcessInfo.h"
#include "platform/midi/VirtualDevice.h"
#include "support/CabledDevice.h"
#include "support/Hex.h"
#include "support/ScratchFolder.h"

#include <chrono>
#include <gtest/gtest.h>

namespace qel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Devices = MidiDeviceLocks::Devices;

// A keyboard of model 3 that answers every message with its model code.
std::unique_ptr<midi::VirtualDeviceBackend> keyboard(const std::string& name, int& received) {
    return std::make_unique<midi::VirtualDeviceBackend>(name, [&received](const Bytes&) {
        ++received;
        return std::vector<midi::TimedMessage>{
            {test::hex("F0 44 11 02 7F 00 00 00 0D 00 00 00 03 00 F7"), {}}};
    });
}

// Two keyboards: "Cable", behind a cable as the operating system's devices
// are (list index 0), and "Inside", a device inside the program (index 1).
class DialogLocks : public testing::Test {
protected:
    DialogLocks() : bench(makeDriver()) {
        bench.environment.deviceLockFolder = locks.path();
        bench.useDevices("Cable", "Cable");
    }

    std::shared_ptr<midi::Driver> makeDriver() {
        std::vector<std::unique_ptr<midi::Backend>> backends;
        backends.push_back(std::make_unique<test::CabledDevice>(keyboard("Cable", cableReceived)));
        backends.push_back(keyboard("Inside", insideReceived));
        driver = std::make_shared<midi::Driver>(std::move(backends));
        return driver;
    }

    // Whether the dialog left the ports of "Cable" free: each direction of the
    // device opens once at a time.
    bool cablePortsFree() {
        std::unique_ptr<midi::InputDevice> input;
        std::unique_ptr<midi::OutputDevice> output;
        const bool free =
            driver->openInput(0, 256, {}, input) == 0 && driver->openOutput(0, {}, output) == 0;
        if (input)
            input->close();
        if (output)
            output->close();
        return free;
    }

    std::string refusalNamingThisProcess() const {
        return "The keyboard is in use by " + platform::currentProgramName() + " (process " +
               std::to_string(platform::currentProcessId()) + ")";
    }

    test::ScratchFolder locks;
    int cableReceived = 0;
    int insideReceived = 0;
    std::shared_ptr<midi::Driver> driver;
    test::DialogBench bench;
};

// What the other program holds.
struct Held {
    const char* name;
    Devices devices;
};

void PrintTo(const Held& held, std::ostream* out) {
    *out << held.name;
}

class DeviceHeldElsewhere : public DialogLocks, public testing::WithParamInterface<Held> {};

TEST_P(DeviceHeldElsewhere, DialogFailsAtOnceWithTheHolderAndOpensNoPort) {
    MidiDeviceLocks otherProgram;
    ASSERT_EQ(otherProgram.lock(locks.path(), GetParam().devices), "");

    const auto start = std::chrono::steady_clock::now();
    auto dialog = bench.create();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "the refusal must not wait";
    ASSERT_EQ(dialog->getErrorCode(), dialogError::deviceInUse);
    EXPECT_EQ(dialog->getErrorText(dialogError::deviceInUse), refusalNamingThisProcess());
    EXPECT_TRUE(cablePortsFree());
    EXPECT_EQ(dialog->getModel(), 0);
    EXPECT_EQ(cableReceived, 0) << "a refused dialog sends nothing";
    // Nor does it keep the lock of the device the other program left free.
    const Devices& held = GetParam().devices;
    MidiDeviceLocks third;
    EXPECT_EQ(third.lock(locks.path(),
                         {held.input.empty() ? "Cable" : "", held.output.empty() ? "Cable" : ""}),
              "");
    third.release();
    dialog.reset();

    otherProgram.release();
    auto later = bench.create();
    ASSERT_EQ(later->getErrorCode(), 0);
    EXPECT_EQ(later->getModel(), 3);
}

INSTANTIATE_TEST_SUITE_P(Devices, DeviceHeldElsewhere,
                         testing::Values(Held{"both", {"Cable", "Cable"}},
                                         Held{"the input only", {"Cable", ""}},
                                         Held{"the output only", {"", "Cable"}}));

TEST_F(DialogLocks, OpenDialogKeepsOtherProgramsOffItsDevicesUntilItGoes) {
    auto dialog = bench.create();
    ASSERT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(dialog->getModel(), 3);
    MidiDeviceLocks otherProgram;
    EXPECT_EQ(otherProgram.lock(locks.path(), {"Cable", "Other"}), refusalNamingThisProcess());
    EXPECT_EQ(otherProgram.lock(locks.path(), {"Other", "Cable"}), refusalNamingThisProcess());
    ASSERT_TRUE(destroyMidiDialog(dialog));
    EXPECT_EQ(otherProgram.lock(locks.path(), {"Cable", "Cable"}), "");
}

TEST_F(DialogLocks, DialogWhosePortFailsToOpenLetsGoOfItsLocks) {
    std::unique_ptr<midi::InputDevice> taken;
    ASSERT_EQ(driver->openInput(0, 256, {}, taken), 0);
    auto dialog = bench.create();
    EXPECT_EQ(dialog->getErrorCode(), static_cast<std::int32_t>(midi::result::Allocated));
    MidiDeviceLocks otherProgram;
    EXPECT_EQ(otherProgram.lock(locks.path(), {"Cable", "Cable"}), "");
    taken->close();
}

TEST_F(DialogLocks, DeviceInsideTheProgramNeedsNoLock) {
    bench.useDevices("Inside", "Inside");
    // Even names locked by another program do not keep a dialog off it: no
    // other program can reach a device inside this one.
    MidiDeviceLocks otherProgram;
    ASSERT_EQ(otherProgram.lock(locks.path(), {"Inside", "Inside"}), "");
    const std::vector<std::string> lockFiles = locks.names();
    auto dialog = bench.create();
    ASSERT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(dialog->getModel(), 3);
    EXPECT_EQ(insideReceived, 1);
    EXPECT_EQ(locks.names(), lockFiles) << "the dialog made a lock file";
}

TEST_F(DialogLocks, LockThatCannotBeMadeDoesNotStopTheDialog) {
    bench.environment.deviceLockFolder = locks / "missing/locks";
    auto dialog = bench.create();
    ASSERT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(dialog->getModel(), 3);
}

} // namespace
} // namespace qel
