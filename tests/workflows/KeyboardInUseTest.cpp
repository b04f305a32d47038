// A keyboard another program holds, as the actions and the keyboard search
// meet it: an action fails at once with the holder's name and sends nothing;
// the search counts the held pair as not answering and goes on.

#include "DataManagerFixture.h"
#include "link/MidiDeviceLocks.h"
#include "platform/files/DeviceLock.h"
#include "platform/files/ProcessInfo.h"
#include "support/CabledDevice.h"
#include "workflows/KeyboardFinder.h"

#include <chrono>
#include <gtest/gtest.h>

namespace qel::test {
namespace {

const std::string keyboardName = kbdsim::virtualKeyboardName;

// What the refusal says while this process holds the keyboard in another lock.
std::string refusalNamingThisProcess() {
    return "The keyboard is in use by " + platform::currentProgramName() + " (process " +
           std::to_string(platform::currentProcessId()) + ")";
}

// The data manager's keyboard shown as behind a cable, where other programs
// could reach it too.
class KeyboardBehindACable : public DataManagerTest {
protected:
    KeyboardBehindACable() {
        std::vector<std::unique_ptr<midi::Backend>> backends;
        backends.push_back(std::make_unique<CabledDevice>(kbdsim::makeVirtualKeyboardBackend(
            simulator, [this](const std::vector<std::uint8_t>&) { ++messages; })));
        environment.driver = std::make_shared<midi::Driver>(std::move(backends));
    }
};

TEST_F(KeyboardBehindACable, AnActionOnAKeyboardHeldElsewhereFailsAtOnceAndSendsNothing) {
    MidiDeviceLocks otherProgram;
    ASSERT_EQ(otherProgram.lock(platform::defaultDeviceLockFolder(), {keyboardName, keyboardName}),
              "");
    const auto start = std::chrono::steady_clock::now();
    manager->updateKbdList();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "the refusal must not wait";
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{refusalNamingThisProcess()});
    EXPECT_EQ(messages, 0u);

    otherProgram.release();
    manager->updateKbdList();
    EXPECT_EQ(view.kbdErrors.size(), 1u) << view.kbdErrors.back();
    EXPECT_GT(messages, 0u);
}

TEST(KeyboardSearch, APairHeldByAnotherProgramCountsAsNotAnswering) {
    auto simulator = std::make_shared<kbdsim::KeyboardSimulator>();
    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(
        std::make_unique<CabledDevice>(kbdsim::makeVirtualKeyboardBackend(simulator)));
    auto driver = std::make_shared<midi::Driver>(std::move(backends));

    MidiDeviceLocks otherProgram;
    ASSERT_EQ(otherProgram.lock(platform::defaultDeviceLockFolder(), {keyboardName, keyboardName}),
              "");
    const auto start = std::chrono::steady_clock::now();
    const KeyboardSearch held = findKeyboard(driver, 1500ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "a held pair is not waited for";
    EXPECT_EQ(held.outcome, KeyboardSearch::Outcome::NoneAnswered);
    EXPECT_EQ(held.pairsTried, 1);

    otherProgram.release();
    const KeyboardSearch free = findKeyboard(driver, 1500ms);
    EXPECT_EQ(free.outcome, KeyboardSearch::Outcome::Found);
    EXPECT_EQ(free.pair, (MidiPair{keyboardName, keyboardName}));
}

} // namespace
} // namespace qel::test
