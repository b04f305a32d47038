// Whole-keyboard backup and restore between two in-process virtual keyboards.

#include "support/NewestSnapshot.h"
#include "support/SmfBytes.h"
#include "support/TestFiles.h"
#include "workflows/BackupManifest.h"
#include "workflows/BackupSnapshots.h"
#include "workflows/DataManagerFixture.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>

namespace qel {
namespace {

using kbdsim::KeyboardMemory;
using namespace std::chrono_literals;

// A second keyboard, empty, with a data manager of its own.
class EmptyKeyboard {
public:
    explicit EmptyKeyboard(const Settings& settings) {
        kbdsim::Options options;
        options.content = kbdsim::StartContent::Blank;
        simulator = std::make_shared<kbdsim::KeyboardSimulator>(options);
        std::vector<std::unique_ptr<midi::Backend>> backends;
        backends.push_back(kbdsim::makeVirtualKeyboardBackend(
            simulator, [this](const std::vector<std::uint8_t>&) { ++messages; }));
        environment.driver = std::make_shared<midi::Driver>(std::move(backends));
        environment.inputDevice = settings.inputDevice;
        environment.outputDevice = settings.outputDevice;
        environment.replyTimeout = 2000ms;
        manager = std::make_unique<DataManager>(
            view, [this] { return createMidiDialog(environment); }, settings);
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
        for (const auto& [type, list] : manager->kbdLists())
            for (const auto& slot : list)
                count += slot->size != 0 ? 1 : 0;
        return count;
    }

    // The lines of the run that begin with `word`.
    std::size_t steps(const std::string& word) const {
        return static_cast<std::size_t>(
            std::count_if(view.backupSteps.begin(), view.backupSteps.end(),
                          [&](const std::string& s) { return s.rfind(word + " ", 0) == 0; }));
    }

    // Every file the manifest names is there with its checksum, and the
    // snapshot holds no other file.
    static void expectExactlyTheListedFiles(const std::string& snapshot) {
        const auto manifest = BackupManifest::read(snapshot);
        ASSERT_TRUE(manifest) << snapshot;
        std::set<std::string> listed{BackupManifest::fileName};
        for (const BackupEntry& entry : manifest->items) {
            listed.insert(entry.file);
            EXPECT_EQ(fileSha256(snapshot + "/" + entry.file), entry.sha256) << entry.file;
        }
        for (const auto& file : std::filesystem::recursive_directory_iterator(snapshot))
            EXPECT_TRUE(listed.count(file.path().filename().string()))
                << file.path() << " is not in the manifest";
    }

    static ino_t inode(const std::string& path) {
        struct stat status {};
        return ::stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
    }

    std::string backupFolder;
};

TEST_F(Backup, BackupThenRestoreIntoAnEmptyKeyboardLeavesEverySlotByteIdentical) {
    manager->backupKbd(backupFolder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    const std::optional<std::string> snapshot = snapshots::latest(backupFolder);
    ASSERT_TRUE(snapshot) << "latest names the snapshot";
    EXPECT_EQ(*snapshot, test::newestSnapshot(backupFolder));
    const auto manifest = BackupManifest::read(*snapshot);
    ASSERT_TRUE(manifest);
    EXPECT_TRUE(manifest->complete);
    EXPECT_EQ(manifest->model, 3);
    EXPECT_EQ(manifest->modelName, "TQ-7400");
    EXPECT_EQ(manifest->items.size(), nonEmptySlots());
    EXPECT_EQ(steps("received"), manifest->items.size());
    expectExactlyTheListedFiles(*snapshot);

    EmptyKeyboard target(settings);
    target.manager->restoreKbd(backupFolder);
    ASSERT_TRUE(target.view.kbdErrors.empty()) << target.view.kbdErrors.front();
    EXPECT_EQ(target.view.backupSteps.size(), manifest->items.size());
    expectSameSlots(simulator->memory(), target.simulator->memory());
    EXPECT_EQ(target.manager->kbdLists().size(), 9u) << "the list was read afterwards";
}

// An edited item keeps its name and size: only a new snapshot holds its new
// bytes. Unchanged items cost no disk: they are links to the earlier files.
TEST_F(Backup, ABackupAfterAChangeOfBytesOnlyIsANewSnapshotLinkingWhatIsUnchanged) {
    manager->backupKbd(backupFolder);
    const std::string first = *snapshots::latest(backupFolder);
    const ByteVector before = *simulator->memory().data(category::Rhythm, 152);
    simulator->memory().store(category::Rhythm, 152, ByteVector(400, 0x61));
    simulator->memory().setName(category::Rhythm, 152, "RHY 152 ");

    view.backupSteps.clear();
    manager->backupKbd(backupFolder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    const std::string second = *snapshots::latest(backupFolder);
    ASSERT_NE(second, first);
    EXPECT_EQ(snapshots::list(backupFolder).size(), 2u);
    EXPECT_EQ(steps("received"), nonEmptySlots()) << "nothing is kept from a complete backup";
    const auto old = BackupManifest::read(first);
    const auto now = BackupManifest::read(second);
    ASSERT_TRUE(old && now);
    ASSERT_EQ(old->items.size(), now->items.size());
    int linked = 0;
    for (std::size_t i = 0; i < now->items.size(); ++i) {
        const BackupEntry& entry = now->items[i];
        const bool changed = entry.type == type::UserRhythm && entry.number == 152;
        EXPECT_EQ(entry.sha256 != old->items[i].sha256, changed) << entry.file;
        const bool sameFile = inode(first + "/" + entry.file) == inode(second + "/" + entry.file);
        EXPECT_EQ(sameFile, !changed) << entry.file;
        linked += sameFile ? 1 : 0;
    }
    EXPECT_EQ(linked + 1, static_cast<int>(now->items.size()));
    expectExactlyTheListedFiles(second);

    // Each snapshot restores its own state.
    EmptyKeyboard target(settings);
    target.manager->restoreKbd(first);
    ASSERT_TRUE(target.view.kbdErrors.empty()) << target.view.kbdErrors.front();
    EXPECT_EQ(*target.simulator->memory().data(category::Rhythm, 152), before);
    target.manager->restoreKbd(backupFolder);
    ASSERT_TRUE(target.view.kbdErrors.empty()) << target.view.kbdErrors.front();
    expectSameSlots(simulator->memory(), target.simulator->memory());
}

TEST_F(Backup, ADamagedOrMissingBackupFileIsRefusedByNameBeforeAnythingIsSent) {
    manager->backupKbd(backupFolder);
    const std::string snapshot = *snapshots::latest(backupFolder);
    const auto manifest = BackupManifest::read(snapshot);
    ASSERT_TRUE(manifest && manifest->items.size() > 3);
    const std::string damaged = snapshot + "/" + manifest->items[3].file;
    ByteVector bytes = test::readFile(damaged);
    bytes.back() ^= 0x01;
    test::writeFile(damaged, bytes);

    EmptyKeyboard target(settings);
    target.manager->restoreKbd(backupFolder);
    EXPECT_EQ(target.view.kbdErrors, std::vector<std::string>{"The backup file " + damaged +
                                                              " does not match its manifest"});
    std::filesystem::remove(damaged);
    target.manager->restoreKbd(backupFolder);
    EXPECT_EQ(target.view.kbdErrors.back(), "The backup file " + damaged + " is missing");
    EXPECT_EQ(target.messages, 0u);
}

TEST_F(Backup, AnInterruptedBackupResumesWithoutReceivingTheFinishedItemsAgain) {
    // A large SMF, received last: Cancel stops the backup in its middle.
    simulator->memory().store(category::SMF, 199, test::smfWithText(12001));
    simulator->memory().setName(category::SMF, 199, "LARGEST ");
    dialogWindow->cancelAt = 4096;
    manager->backupKbd(backupFolder);
    EXPECT_TRUE(view.kbdErrors.empty()) << "a cancel is no error";
    ASSERT_FALSE(view.results.empty());
    EXPECT_EQ(view.results.back(), "Cancelled");
    const std::string snapshot = test::newestSnapshot(backupFolder);
    const auto partial = BackupManifest::read(snapshot);
    ASSERT_TRUE(partial);
    EXPECT_FALSE(partial->complete);
    EXPECT_FALSE(snapshots::latest(backupFolder)) << "latest names complete snapshots only";
    expectExactlyTheListedFiles(snapshot);
    const std::size_t finished = partial->items.size();
    ASSERT_GT(finished, 5u);

    // An incomplete snapshot is not restored.
    EmptyKeyboard target(settings);
    target.manager->restoreKbd(snapshot);
    ASSERT_EQ(target.view.kbdErrors.size(), 1u);
    EXPECT_NE(target.view.kbdErrors.front().find("is incomplete"), std::string::npos);
    EXPECT_EQ(target.messages, 0u);

    dialogWindow->cancelAt = -1;
    view.backupSteps.clear();
    view.kbdErrors.clear();
    manager->backupKbd(backupFolder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(steps("received"), 1u) << "only the item that was cut off";
    EXPECT_EQ(steps("kept " + std::to_string(finished) + " items received at"), 1u);
    EXPECT_EQ(snapshots::list(backupFolder).size(), 1u) << "the same snapshot, continued";
    EXPECT_EQ(*snapshots::latest(backupFolder), snapshot);
    const auto whole = BackupManifest::read(snapshot);
    EXPECT_TRUE(whole->complete);
    EXPECT_EQ(whole->items.size(), nonEmptySlots());
    expectExactlyTheListedFiles(snapshot);
}

// A run that stops while resuming still records what the interrupted run
// finished, and an item changed since is received again.
TEST_F(Backup, AResumedRunKeepsOnlyWhatStillHoldsAndLosesNothingWhenStoppedAgain) {
    simulator->memory().store(category::SMF, 199, test::smfWithText(12001));
    simulator->memory().setName(category::SMF, 199, "LARGEST ");
    dialogWindow->cancelAt = 4096;
    manager->backupKbd(backupFolder);
    const std::string snapshot = test::newestSnapshot(backupFolder);
    const std::size_t finished = BackupManifest::read(snapshot)->items.size();

    simulator->memory().store(category::Rhythm, 152, ByteVector(402, 0x54)); // other size
    view.backupSteps.clear();
    manager->backupKbd(backupFolder); // stopped again, at the same SMF
    EXPECT_EQ(steps("received"), 1u) << "the changed rhythm";
    const auto again = BackupManifest::read(snapshot);
    EXPECT_FALSE(again->complete);
    EXPECT_EQ(again->items.size(), finished);
    EXPECT_EQ(again->find(type::UserRhythm, 152)->size, 402);
    expectExactlyTheListedFiles(snapshot);
}

TEST_F(Backup, AnSmfSlotHoldingNoSmfAndANameWithANulGoBackByteForByte) {
    KeyboardMemory& memory = simulator->memory();
    ByteVector notSmf(600);
    for (std::size_t i = 0; i < notSmf.size(); ++i)
        notSmf[i] = static_cast<std::uint8_t>(i * 7);
    memory.store(category::SMF, 196, notSmf);
    memory.setName(category::SMF, 196, std::string("A\0B\x1b\xb0 . ", 8));
    memory.setName(category::Rhythm, 152, std::string("\0RH/\\ .Z", 8));
    manager->backupKbd(backupFolder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();

    EmptyKeyboard target(settings);
    target.manager->restoreKbd(backupFolder);
    ASSERT_TRUE(target.view.kbdErrors.empty()) << target.view.kbdErrors.front();
    EXPECT_EQ(*target.simulator->memory().data(category::SMF, 196), notSmf);
    EXPECT_EQ(target.simulator->memory().name(category::SMF, 196),
              std::string("A\0B\x1b\xb0 . ", 8));
    EXPECT_EQ(target.simulator->memory().name(category::Rhythm, 152), std::string("\0RH/\\ .Z", 8));
    expectSameSlots(simulator->memory(), target.simulator->memory());
}

// A full disk (here: a file-size limit) ends the backup with the system's
// reason and leaves a manifest that lists exactly the whole files.
TEST_F(Backup, AFullDiskLeavesAnIncompleteSnapshotListingExactlyItsWholeFiles) {
    struct Limit {
        Limit(rlim_t bytes) {
            ::getrlimit(RLIMIT_FSIZE, &before);
            previousHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit = before;
            limit.rlim_cur = bytes;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ~Limit() {
            ::setrlimit(RLIMIT_FSIZE, &before);
            std::signal(SIGXFSZ, previousHandler);
        }
        rlimit before{};
        void (*previousHandler)(int) = nullptr;
    };
    for (const rlim_t limit : {rlim_t{2000}, rlim_t{20000}}) {
        SCOPED_TRACE(limit);
        std::filesystem::remove_all(backupFolder);
        view.kbdErrors.clear();
        {
            const Limit small(limit);
            manager->backupKbd(backupFolder);
        }
        ASSERT_EQ(view.kbdErrors.size(), 1u);
        EXPECT_NE(view.kbdErrors.front().find("(File too large)"), std::string::npos)
            << view.kbdErrors.front();
        const std::string snapshot = test::newestSnapshot(backupFolder);
        if (!std::filesystem::exists(snapshot + "/manifest.json"))
            continue; // not even the first manifest fitted: no snapshot at all
        EXPECT_FALSE(BackupManifest::read(snapshot)->complete);
        expectExactlyTheListedFiles(snapshot);
    }
    // With room again, the backup completes.
    view.kbdErrors.clear();
    manager->backupKbd(backupFolder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(BackupManifest::read(*snapshots::latest(backupFolder))->items.size(),
              nonEmptySlots());
}

TEST_F(Backup, ARestoreOntoAnotherModelNamesBothModels) {
    manager->backupKbd(backupFolder);
    EmptyKeyboard target(settings);
    kbdsim::Options options = target.simulator->options();
    options.modelCode = 2;
    target.simulator->setOptions(options);
    target.manager->restoreKbd(backupFolder);
    EXPECT_EQ(target.view.kbdErrors,
              std::vector<std::string>{"The backup is of a TQ-7400 (model 3), the keyboard is a "
                                       "TQ-7000 (model 2)"});
}

struct BadManifest {
    const char* what;
    std::string items; // the JSON of the item list
};

std::string entryJson(int no, const std::string& file) {
    return R"({"type":0,"no":)" + std::to_string(no) + R"(,"number":)" + std::to_string(no + 150) +
           R"(,"category":1,"name":"X","size":70,"file":")" + file + R"(","sha256":")" +
           std::string(64, '0') + R"("})";
}

class BadManifests : public Backup, public testing::WithParamInterface<BadManifest> {};

TEST_P(BadManifests, AreRefusedBeforeAnyTraffic) {
    std::filesystem::create_directories(backupFolder);
    const std::string json = R"({"model":3,"items":[)" + GetParam().items + "]}";
    test::writeFile(backupFolder + "/manifest.json", ByteVector(json.begin(), json.end()));
    EmptyKeyboard target(settings);
    target.manager->restoreKbd(backupFolder);
    ASSERT_EQ(target.view.kbdErrors.size(), 1u);
    EXPECT_EQ(target.view.kbdErrors.front().rfind(
                  "The backup manifest " + backupFolder + "/manifest.json is damaged (", 0),
              0u)
        << target.view.kbdErrors.front();
    EXPECT_EQ(target.messages, 0u);
}

INSTANTIATE_TEST_SUITE_P(Backup, BadManifests,
                         testing::Values(BadManifest{"outside", entryJson(600, "../x.vdf")},
                                         BadManifest{"backslash", entryJson(600, "a\\\\x.vdf")},
                                         BadManifest{"control", entryJson(600, "a\\u001bx.vdf")},
                                         BadManifest{"hidden", entryJson(600, ".x.vdf")},
                                         BadManifest{"itself", entryJson(600, "manifest.json")},
                                         BadManifest{"slotTwice", entryJson(600, "a.vdf") + "," +
                                                                      entryJson(600, "b.vdf")},
                                         BadManifest{"fileTwice", entryJson(600, "a.vdf") + "," +
                                                                      entryJson(601, "a.vdf")}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(Backup, AFolderOfTheOneFolderLayoutStillRestores) {
    manager->backupKbd(backupFolder);
    const std::string old = folder.filePath("old").toStdString();
    std::filesystem::copy(*snapshots::latest(backupFolder), old);
    // Manifests written before snapshots had no completion mark nor raw names.
    QFile file(QString::fromStdString(old + "/manifest.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    root.remove("complete");
    QJsonArray items;
    for (const QJsonValue& value : root["items"].toArray()) {
        QJsonObject item = value.toObject();
        item.remove("nameBytes");
        item.remove("received");
        items.append(item);
    }
    root["items"] = items;
    const QByteArray bytes = QJsonDocument(root).toJson();
    test::writeFile(old + "/manifest.json", ByteVector(bytes.begin(), bytes.end()));

    EmptyKeyboard target(settings);
    target.manager->restoreKbd(old);
    ASSERT_TRUE(target.view.kbdErrors.empty()) << target.view.kbdErrors.front();
    expectSameSlots(simulator->memory(), target.simulator->memory());
}

} // namespace
} // namespace qel
