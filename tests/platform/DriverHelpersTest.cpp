// Small parts the backends share: the input gate that keeps a message from
// before a restart from passing as the next reply, and the trap that keeps
// RtMidi's error reports for the thread that asks.

#include "platform/midi/InputGate.h"
#include "platform/midi/RtMidiErrorTrap.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using namespace qel::midi;

TEST(InputGate, NothingIsAdmittedUntilInputFlows) {
    InputGate gate;
    EXPECT_FALSE(gate.admit());
    gate.set(true);
    EXPECT_TRUE(gate.admit());
    gate.set(false);
    EXPECT_FALSE(gate.admit());
}

// A message stamped in one period of flow is delivered only in that period:
// not after a stop, a reset, or a stop followed by a new start.
TEST(InputGate, AMessageFromAnEarlierPeriodIsNeverCurrent) {
    struct Case {
        const char* what;
        std::vector<bool> afterStamp; // set() calls between stamping and delivery
        bool delivered;
    };
    const std::vector<Case> cases{
        {"nothing in between", {}, true},
        {"stopped", {false}, false},
        {"stopped and started again", {false, true}, false},
        {"started again without a stop", {true}, false},
        {"many restarts", {false, true, false, true, false, true}, false},
    };
    for (const Case& c : cases) {
        InputGate gate;
        gate.set(true);
        const auto stamp = gate.admit();
        ASSERT_TRUE(stamp) << c.what;
        for (bool flowing : c.afterStamp)
            gate.set(flowing);
        EXPECT_EQ(gate.current(*stamp), c.delivered) << c.what;
    }
}

TEST(RtMidiErrorTrap, KeepsTheFirstFailureUntilTakenAndIgnoresDebugWarnings) {
    RtMidiErrorTrap trap;
    EXPECT_FALSE(trap.take());
    RtMidiErrorTrap::callback(RtMidiError::DEBUG_WARNING, "chatter", &trap);
    EXPECT_FALSE(trap.take());
    RtMidiErrorTrap::callback(RtMidiError::INVALID_DEVICE, "no such port", &trap);
    RtMidiErrorTrap::callback(RtMidiError::DRIVER_ERROR, "later", &trap);
    const auto failure = trap.take();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->type, RtMidiError::INVALID_DEVICE);
    EXPECT_EQ(failure->text, "no such port");
    EXPECT_FALSE(trap.take());
}

} // namespace
