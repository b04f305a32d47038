// A backup of the in-process virtual keyboard restored into the stand-alone
// simulator in its own process, over a JACK server the test starts: the two
// keyboards then hold the same bytes in every slot; a restore that fits only
// once its own slots are cleared succeeds, and one that cannot fit leaves
// every slot as it was.

#include "kbdsim/MemoryImage.h"
#include "platform/midi/JackBackend.h"
#include "support/JackServer.h"
#include "support/TestFiles.h"
#include "workflows/BackupSnapshots.h"
#include "workflows/DataManagerFixture.h"

#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <set>

namespace qel {
namespace {

using namespace std::chrono_literals;
using kbdsim::KeyboardMemory;

constexpr const char* simulatorName = "TQ-7400 Simulator";

void useDevices(MidiDialogEnvironment& environment, const std::string& input,
                const std::string& output) {
    environment.inputDevice = input;
    environment.outputDevice = output;
}

// The MIDI environment of a data manager that reaches the JACK ports, and the
// in-process keyboard `source` when there is one.
MidiDialogEnvironment jackEnvironment(std::shared_ptr<kbdsim::KeyboardSimulator> source = nullptr) {
    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(midi::makeJackBackend());
    if (source)
        backends.push_back(kbdsim::makeVirtualKeyboardBackend(std::move(source)));
    MidiDialogEnvironment environment;
    environment.driver = std::make_shared<midi::Driver>(std::move(backends));
    environment.replyTimeout = 5000ms;
    return environment;
}

TEST(BackupOverJack, AVirtualKeyboardsBackupRestoredIntoTheSimulatorIsByteIdentical) {
    test::JackServer server(test::uniqueServerName("qel-backup"));
    if (!server.problem().empty())
        GTEST_SKIP() << server.problem();
    QTemporaryDir folder;
    const std::string image = folder.filePath("simulator.img").toStdString();
    test::Program simulator(KBDSIM_PROGRAM, {"--api", "jack", "--name", simulatorName, "--blank",
                                             "--memory", QString::fromStdString(image)});
    ASSERT_TRUE(simulator.waitForOutput("tq7400-kbdsim ready", 10s)) << simulator.output();

    auto source = std::make_shared<kbdsim::KeyboardSimulator>();
    MidiDialogEnvironment environment = jackEnvironment(source);
    test::RecordingView view;
    DataManager manager(
        view, [&] { return createMidiDialog(environment); }, Settings{});
    manager.frame().setReadinessPause(10ms);

    useDevices(environment, kbdsim::virtualKeyboardName, kbdsim::virtualKeyboardName);
    const std::string backup = folder.filePath("backup").toStdString();
    manager.backupKbd(backup);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();

    useDevices(environment, std::string(simulatorName) + " Out:MIDI Out",
               std::string(simulatorName) + " In:MIDI In");
    manager.restoreKbd(backup);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    const auto starting = [&](const char* word) {
        return std::count_if(view.backupSteps.begin(), view.backupSteps.end(),
                             [&](const std::string& step) { return step.rfind(word, 0) == 0; });
    };
    EXPECT_EQ(starting("restored"), starting("received")) << "every item went back";

    // The simulator writes its memory out as it ends.
    EXPECT_TRUE(simulator.stop()) << simulator.output();
    const KeyboardMemory restored = kbdsim::MemoryImage::load(image);
    std::set<std::uint32_t> keys;
    for (const auto& [key, slot] : source->memory().storedSlots())
        keys.insert(key);
    for (const auto& [key, slot] : restored.storedSlots())
        keys.insert(key);
    for (std::uint32_t key : keys) {
        const auto c = static_cast<std::uint16_t>(key >> 16);
        const auto n = static_cast<std::uint16_t>(key & 0xFFFF);
        ASSERT_TRUE(source->memory().data(c, n) && restored.data(c, n)) << c << " " << n;
        EXPECT_EQ(*source->memory().data(c, n), *restored.data(c, n)) << c << " " << n;
        EXPECT_EQ(source->memory().name(c, n), restored.name(c, n)) << c << " " << n;
    }
    EXPECT_GT(keys.size(), 300u);
}

// Both keyboards are stand-alone simulators over JACK. An item edited on the
// keyboard keeps its name and size; the second backup is a new snapshot with
// its new bytes, and the first snapshot still restores the first state.
TEST(BackupOverJack, TheFirstSnapshotRestoresTheFirstStateAfterAnEditKeepingNameAndSize) {
    test::JackServer server(test::uniqueServerName("qel-snapshots"));
    if (!server.problem().empty())
        GTEST_SKIP() << server.problem();
    QTemporaryDir folder;
    const std::string keyboardImage = folder.filePath("keyboard.img").toStdString();
    const std::string emptyImage = folder.filePath("empty.img").toStdString();
    const KeyboardMemory firstState = kbdsim::KeyboardSimulator().memory();
    kbdsim::MemoryImage::save(firstState, keyboardImage);
    test::Program keyboard(KBDSIM_PROGRAM, {"--api", "jack", "--name", simulatorName, "--memory",
                                            QString::fromStdString(keyboardImage)});
    ASSERT_TRUE(keyboard.waitForOutput("tq7400-kbdsim ready", 10s)) << keyboard.output();

    MidiDialogEnvironment environment = jackEnvironment();
    test::RecordingView view;
    DataManager manager(
        view, [&] { return createMidiDialog(environment); }, Settings{});
    manager.frame().setReadinessPause(10ms);
    useDevices(environment, std::string(simulatorName) + " Out:MIDI Out",
               std::string(simulatorName) + " In:MIDI In");

    const std::string backup = folder.filePath("backup").toStdString();
    manager.backupKbd(backup);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    const std::optional<std::string> first = snapshots::latest(backup);
    ASSERT_TRUE(first);

    // Rhythm 140 edited: one byte of its pattern, not of its name.
    const std::string edited = folder.filePath("edited.vdf").toStdString();
    ByteVector bytes = test::readFile(*first + "/05-140.vdf");
    ASSERT_GT(bytes.size(), 64u + 16u);
    bytes.back() ^= 0x01;
    test::writeFile(edited, bytes);
    manager.changeDataType(type::UserRhythm);
    int row = 0;
    while (manager.kbdRowItem(row) && manager.kbdRowItem(row)->position != 140)
        ++row;
    ASSERT_TRUE(manager.kbdRowItem(row));
    manager.putFileToKbd(edited, row);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();

    manager.backupKbd(backup);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    const std::optional<std::string> second = snapshots::latest(backup);
    ASSERT_TRUE(second);
    ASSERT_NE(*second, *first);
    EXPECT_EQ(test::readFile(*second + "/05-140.vdf"), bytes);
    EXPECT_NE(test::readFile(*first + "/05-140.vdf"), bytes);
    EXPECT_TRUE(keyboard.stop()) << keyboard.output();

    kbdsim::Options blank;
    blank.content = kbdsim::StartContent::Blank;
    kbdsim::MemoryImage::save(kbdsim::KeyboardSimulator(blank).memory(), emptyImage);
    test::Program empty(KBDSIM_PROGRAM, {"--api", "jack", "--name", simulatorName, "--memory",
                                         QString::fromStdString(emptyImage)});
    ASSERT_TRUE(empty.waitForOutput("tq7400-kbdsim ready", 10s)) << empty.output();
    manager.restoreKbd(*first);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_TRUE(empty.stop()) << empty.output();
    const KeyboardMemory restored = kbdsim::MemoryImage::load(emptyImage);
    std::size_t compared = 0;
    for (const auto& [key, slot] : firstState.storedSlots()) {
        const auto c = static_cast<std::uint16_t>(key >> 16);
        const auto n = static_cast<std::uint16_t>(key & 0xFFFF);
        ASSERT_TRUE(restored.data(c, n)) << c << " " << n;
        EXPECT_EQ(*firstState.data(c, n), *restored.data(c, n)) << c << " " << n;
        EXPECT_EQ(firstState.name(c, n), restored.name(c, n)) << c << " " << n;
        ++compared;
    }
    EXPECT_EQ(restored.storedSlots().size(), compared);
    EXPECT_GT(compared, 300u);
}

// Fills SMF slots 100 and up until exactly `free` bytes of the data memory are left.
void leaveFree(KeyboardMemory& memory, std::uint32_t free) {
    for (std::uint16_t n = 100; memory.freeDataMemory() > free && n < 190; ++n)
        memory.store(
            category::SMF, n,
            ByteVector(std::min<std::uint32_t>(200000, memory.freeDataMemory() - free), 0x11));
}

// A keyboard that holds `memory`: the stand-alone simulator over JACK; the
// data manager backs the in-process keyboard `source` up and restores it there.
class RestoreIntoSimulator : public testing::Test {
protected:
    void SetUp() override {
        if (!server.problem().empty())
            GTEST_SKIP() << server.problem();
        source->memory().store(category::Rhythm, 150, ByteVector(40000, 0x41));
        environment = jackEnvironment(source);
        manager = std::make_unique<DataManager>(
            view, [this] { return createMidiDialog(environment); }, Settings{});
        manager->frame().setReadinessPause(10ms);
        useDevices(environment, kbdsim::virtualKeyboardName, kbdsim::virtualKeyboardName);
        manager->backupKbd(backup);
        ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    }

    // Restores the backup into a simulator that starts with `memory`; the
    // simulator's memory as it ends.
    KeyboardMemory restoreInto(const KeyboardMemory& memory) {
        kbdsim::MemoryImage::save(memory, image);
        test::Program simulator(KBDSIM_PROGRAM, {"--api", "jack", "--name", simulatorName,
                                                 "--memory", QString::fromStdString(image)});
        EXPECT_TRUE(simulator.waitForOutput("tq7400-kbdsim ready", 10s)) << simulator.output();
        useDevices(environment, std::string(simulatorName) + " Out:MIDI Out",
                   std::string(simulatorName) + " In:MIDI In");
        manager->restoreKbd(backup);
        EXPECT_TRUE(simulator.stop()) << simulator.output();
        return kbdsim::MemoryImage::load(image);
    }

    test::JackServer server{test::uniqueServerName("qel-restore")};
    QTemporaryDir folder;
    const std::string backup = folder.filePath("backup").toStdString();
    const std::string image = folder.filePath("simulator.img").toStdString();
    std::shared_ptr<kbdsim::KeyboardSimulator> source =
        std::make_shared<kbdsim::KeyboardSimulator>();
    MidiDialogEnvironment environment;
    test::RecordingView view;
    std::unique_ptr<DataManager> manager;
};

TEST_F(RestoreIntoSimulator, ARestoreThatFitsOnlyOnceItsSlotsAreClearedSucceeds) {
    // The keyboard holds what the backup holds, and 1,000 bytes free besides:
    // far less than the backup needs, all of it once its slots are cleared.
    KeyboardMemory full = source->memory();
    leaveFree(full, 1000);
    const KeyboardMemory restored = restoreInto(full);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(*restored.data(category::Rhythm, 150), ByteVector(40000, 0x41));
}

TEST_F(RestoreIntoSimulator, ARestoreThatCannotFitLeavesEverySlotAsItWas) {
    // The big rhythm is gone and its room taken: the backup cannot fit.
    KeyboardMemory full = source->memory();
    full.clear(category::Rhythm, 150);
    leaveFree(full, 1000);
    const KeyboardMemory restored = restoreInto(full);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Memory Full"});
    EXPECT_EQ(test::slotContents(restored), test::slotContents(full));
}

} // namespace
} // namespace qel
