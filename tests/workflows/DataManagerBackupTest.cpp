// Whole-keyboard backup and restore between two in-process virtual keyboards.

#include "support/SmfBytes.h"
#include "support/TestFiles.h"
#include "workflows/BackupManifest.h"
#include "workflows/DataManagerFixture.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace qel {
namespace {

using kbdsim::KeyboardMemory;
using namespace std::chrono_literals;

// A second keyboard, empty, with a data manager of its own.
class EmptyKeyboard {
public:
    explicit EmptyKeyboard(const QString& registry) {
        kbdsim::Options options;
        options.content = kbdsim::StartContent::Blank;
        simulator = std::make_shared<kbdsim::KeyboardSimulator>(options);
        std::vector<std::unique_ptr<midi::Backend>> backends;
        backends.push_back(kbdsim::makeVirtualKeyboardBackend(
            simulator, [this](const std::vector<std::uint8_t>&) { ++messages; }));
        environment.driver = std::make_shared<midi::Driver>(std::move(backends));
        environment.registryLocation = registry;
        environment.replyTimeout = 2000ms;
        manager = std::make_unique<DataManager>(
            view, [this] { return createMidiDialog(environment); }, registry);
        manager->frame().setReadinessPause(1ms);
    }

    std::shared_ptr<kbdsim::KeyboardSimulator> simulator;
    std::size_t messages = 0;
    MidiDialogEnvironment environment;
    test::RecordingView view;
    std::unique_ptr<DataManager> manager;
};

class Backup : public test::DataManagerTest {
protected:
    Backup() {
        backupFolder = folder.filePath("backup").toStdString();
        // More than the demo holds: a second rhythm, a song in the last slot,
        // and an SMF in a package slot. Items travel in byte pairs, so an
        // item of odd size comes back one padding byte longer; the items
        // here are even.
        KeyboardMemory& memory = simulator->memory();
        memory.store(category::Rhythm, 152, ByteVector(400, 0x52));
        memory.setName(category::Rhythm, 152, "RHY 152 ");
        memory.store(category::Song, 4, ByteVector(900, 0x53));
        memory.store(category::SMF, 195, test::smfWithText(301)); // even: see below
        memory.setName(category::SMF, 195, "LATE SMF");
    }

    // Every slot of the two keyboards, data and name, compared.
    static void expectSameSlots(const KeyboardMemory& a, const KeyboardMemory& b) {
        std::set<std::uint32_t> keys;
        for (const auto& [key, slot] : a.storedSlots())
            keys.insert(key);
        for (const auto& [key, slot] : b.storedSlots())
            keys.insert(key);
        int compared = 0;
        for (std::uint32_t key : keys) {
            const auto c = static_cast<std::uint16_t>(key >> 16);
            const auto n = static_cast<std::uint16_t>(key & 0xFFFF);
            const ByteVector* left = a.data(c, n);
            const ByteVector* right = b.data(c, n);
            ASSERT_TRUE(left && right) << c << " " << n;
            EXPECT_EQ(*left, *right) << "category " << c << " number " << n;
            EXPECT_EQ(a.name(c, n), b.name(c, n)) << "category " << c << " number " << n;
            ++compared;
        }
        EXPECT_GT(compared, 0);
    }

    std::size_t nonEmptySlots() const {
        std::size_t count = 0;
        for (const auto& [type, folder] : manager->kbdFolders())
            for (const auto& slot : folder)
                count += slot->size != 0 ? 1 : 0;
        return count;
    }

    std::string backupFolder;
};

TEST_F(Backup, BackupThenRestoreIntoAnEmptyKeyboardLeavesEverySlotByteIdentical) {
    manager->BackupKbdExecute(backupFolder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    const auto manifest = BackupManifest::read(backupFolder);
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->model, 3);
    EXPECT_EQ(manifest->modelName, "TQ-7400");
    EXPECT_EQ(manifest->items.size(), nonEmptySlots());
    EXPECT_EQ(view.backupSteps.size(), manifest->items.size());
    for (const BackupEntry& entry : manifest->items)
        EXPECT_EQ(fileSha256(backupFolder + "/" + entry.file), entry.sha256) << entry.file;
    EXPECT_FALSE(std::filesystem::exists(backupFolder + "/.receiving"));

    EmptyKeyboard target(registry);
    target.manager->RestoreKbdExecute(backupFolder);
    ASSERT_TRUE(target.view.kbdErrors.empty()) << target.view.kbdErrors.front();
    EXPECT_EQ(target.view.backupSteps.size(), manifest->items.size());
    expectSameSlots(simulator->memory(), target.simulator->memory());
    EXPECT_EQ(target.manager->kbdFolders().size(), 9u) << "the list was read afterwards";
}

TEST_F(Backup, ADamagedBackupFileIsRefusedByNameBeforeAnythingIsSent) {
    manager->BackupKbdExecute(backupFolder);
    const auto manifest = BackupManifest::read(backupFolder);
    ASSERT_TRUE(manifest && manifest->items.size() > 3);
    const std::string damaged = backupFolder + "/" + manifest->items[3].file;
    ByteVector bytes = test::readFile(damaged);
    bytes.back() ^= 0x01;
    test::writeFile(damaged, bytes);

    EmptyKeyboard target(registry);
    target.manager->RestoreKbdExecute(backupFolder);
    EXPECT_EQ(target.view.kbdErrors, std::vector<std::string>{"The backup file " + damaged +
                                                              " does not match its manifest"});
    EXPECT_EQ(target.messages, 0u);
}

TEST_F(Backup, AnInterruptedBackupResumesWithoutReceivingTheFinishedItemsAgain) {
    // A large SMF, received last: Cancel stops the backup in its middle.
    simulator->memory().store(category::SMF, 199, test::smfWithText(12001));
    simulator->memory().setName(category::SMF, 199, "LARGEST ");
    dialogWindow->cancelAt = 4096;
    manager->BackupKbdExecute(backupFolder);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Cancelled"});
    const auto partial = BackupManifest::read(backupFolder);
    ASSERT_TRUE(partial);
    const std::size_t finished = partial->items.size();
    ASSERT_GT(finished, 5u);

    dialogWindow->cancelAt = -1;
    view.backupSteps.clear();
    view.kbdErrors.clear();
    manager->BackupKbdExecute(backupFolder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    std::size_t kept = 0, received = 0;
    for (const std::string& step : view.backupSteps) {
        kept += step.rfind("kept", 0) == 0 ? 1 : 0;
        received += step.rfind("received", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(kept, finished);
    EXPECT_EQ(received, 1u) << "only the item that was cut off";
    EXPECT_EQ(BackupManifest::read(backupFolder)->items.size(), nonEmptySlots());

    // An item changed on the keyboard since is received again.
    simulator->memory().store(category::Rhythm, 152, ByteVector(402, 0x54));
    view.backupSteps.clear();
    manager->BackupKbdExecute(backupFolder);
    EXPECT_EQ(std::count_if(view.backupSteps.begin(), view.backupSteps.end(),
                            [](const std::string& s) { return s.rfind("received", 0) == 0; }),
              1);
}

TEST_F(Backup, AManifestNamingAFileOutsideItsFolderIsRefused) {
    std::filesystem::create_directories(backupFolder);
    const std::string json =
        R"({"model":3,"items":[{"type":0,"no":600,"number":750,"category":1,"name":"X",)"
        R"("size":70,"file":"../x.vdf","sha256":")" +
        std::string(64, '0') + R"("}]})";
    test::writeFile(backupFolder + "/manifest.json", ByteVector(json.begin(), json.end()));
    EmptyKeyboard target(registry);
    target.manager->RestoreKbdExecute(backupFolder);
    EXPECT_EQ(target.view.kbdErrors,
              std::vector<std::string>{"The backup manifest " + backupFolder +
                                       "/manifest.json is damaged"});
    EXPECT_EQ(target.messages, 0u);
}

} // namespace
} // namespace qel
