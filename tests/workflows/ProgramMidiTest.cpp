// The program's one MIDI driver.

#include "workflows/ProgramMidi.h"

#include "kbdsim/device/VirtualKeyboard.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

TEST(ProgramMidi, ListsTheVirtualKeyboardLastInBothLists) {
    auto driver = makeProgramMidiDriver();
    const auto inputs = driver->inputNames();
    const auto outputs = driver->outputNames();
    ASSERT_FALSE(inputs.empty());
    ASSERT_FALSE(outputs.empty());
    EXPECT_EQ(inputs.back(), kbdsim::virtualKeyboardName);
    EXPECT_EQ(outputs.back(), kbdsim::virtualKeyboardName);
}

TEST(ProgramMidi, TheEnvironmentKeepsTheDriverItIsGiven) {
    auto driver = makeProgramMidiDriver();
    const MidiDialogEnvironment environment = makeProgramMidiEnvironment(driver);
    EXPECT_EQ(environment.driver, driver);
    EXPECT_EQ(environment.replyTimeout, std::chrono::milliseconds(10000));
    EXPECT_TRUE(static_cast<bool>(environment.makeView));
    EXPECT_FALSE(environment.deviceLockFolder.empty());
}

} // namespace
} // namespace qel
