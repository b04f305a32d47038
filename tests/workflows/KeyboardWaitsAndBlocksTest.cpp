// The data manager against a keyboard that stays busy after a delete or
// sends spoiled blocks: the readiness poll ends at its limit or soon after a
// cancel, and a spoiled item is never saved, neither by "Receive" nor by a
// backup.

#include "support/NewestSnapshot.h"
#include "support/RemoteCancel.h"
#include "support/ScratchFolder.h"
#include "support/SentMessages.h"
#include "workflows/BackupManifest.h"
#include "workflows/DataManagerFixture.h"

#include <QElapsedTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace qel {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool isModelRequest(const ByteVector& message) {
    const auto read = test::readSent(message);
    return read && read->isModelRequest();
}

bool isDeleteCommand(const ByteVector& message) {
    const auto read = test::readSent(message);
    return read && read->isCommand() && test::isDeleteParameter(read->parameter);
}

class BusyKeyboard : public test::DataManagerTest {
protected:
    BusyKeyboard() {
        manager->start();
        manager->updateKbdList();
        EXPECT_TRUE(view.kbdErrors.empty());
        manager->changeDataType(type::UserRhythm);
        // The keyboard stays busy after every delete: its model requests go unanswered.
        setOptions([](kbdsim::Options& options) { options.faults.busyPollsAfterDelete = 100000; });
        duringWait = [this] {
            if (isDeleteCommand(sent.back()))
                deletedAt = Clock::now();
            if (isModelRequest(sent.back()))
                ++polls;
        };
    }

    // The row of the first rhythm on the keyboard.
    int rhythmRow() const {
        for (int row = 0; manager->kbdRowItem(row); ++row)
            if (manager->kbdRowItem(row)->size != 0)
                return row;
        return -1;
    }

    Clock::time_point deletedAt = Clock::time_point::max();
    int polls = 0;
};

TEST_F(BusyKeyboard, CancelEndsTheReadinessPollSoonAndForGood) {
    // A reply time-out far beyond the bound: only the cancel can end the wait.
    environment.replyTimeout = 10s;
    manager->frame().setReadinessPause(500ms);
    test::RemoteCancel cancel;
    dialogWindow->cancelCheck = [&cancel] { return cancel.requested(); };
    const auto poll = duringWait;
    duringWait = [&, poll] {
        poll();
        if (polls == 1)
            cancel.fire(); // while the first poll waits for its answer
    };
    const int row = rhythmRow();
    ASSERT_GE(row, 0);
    manager->deleteKbdData(row);
    const auto late = cancel.sinceFired();
    EXPECT_TRUE(view.kbdErrors.empty()) << "a cancel is no error";
    ASSERT_FALSE(view.results.empty());
    EXPECT_EQ(view.results.back(), "Cancelled");
    EXPECT_GE(late.count(), 0);
    EXPECT_LT(late, test::cancelBound) << "after the cancel request";
    EXPECT_EQ(polls, 1) << "a cancelled poll is not tried again";
    EXPECT_FALSE(manager->busy());
    EXPECT_EQ(manager->frame().dialog(), nullptr);
}

TEST_F(BusyKeyboard, PollsThatGetNoAnswerEndAtTheLimitTheLastOneIncluded) {
    // Unanswered polls of 1 s each and pauses of 0.5 s: the second poll
    // starts at 1.5 s and is cut off at the limit of 2.2 s.
    environment.replyTimeout = 1000ms;
    manager->frame().setReadinessPause(500ms);
    manager->frame().setReadinessLimit(2200ms);
    const int row = rhythmRow();
    ASSERT_GE(row, 0);
    manager->deleteKbdData(row);
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - deletedAt);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"MIDI TIMEOUT"});
    EXPECT_EQ(view.kbdErrorSteps, std::vector<std::string>{"waiting for the keyboard to be ready"});
    EXPECT_EQ(polls, 2);
    EXPECT_GE(took.count(), 2150);
    EXPECT_LT(took, 2200ms + test::cancelBound) << "the last poll waited past the limit";
    EXPECT_EQ(manager->frame().readinessLimit(), 2200ms);
}

TEST(ReadinessLimit, TheProductWaitsTwoMinutesAtMost) {
    KbdActionFrame frame([] { return nullptr; });
    EXPECT_EQ(frame.readinessLimit(), std::chrono::minutes(2));
}

// ---- spoiled blocks ----

class SpoiledBlocks : public test::DataManagerTest,
                      public testing::WithParamInterface<kbdsim::BlockCorruption> {
protected:
    SpoiledBlocks() {
        manager->start();
        manager->updateKbdList();
        EXPECT_TRUE(view.kbdErrors.empty());
        // The second block of every item the keyboard sends comes spoiled.
        setOptions([](kbdsim::Options& options) {
            options.faults.corruptAtBlock = 1;
            options.faults.blockCorruption = GetParam();
        });
    }
};

TEST_P(SpoiledBlocks, ReceiveFailsWithSysExErrorAndWritesNoFile) {
    manager->changeDataType(type::Smf);
    int row = 0;
    while (manager->kbdRowItem(row) && manager->kbdRowItem(row)->size <= 128)
        ++row;
    ASSERT_NE(manager->kbdRowItem(row), nullptr) << "the demo has an SMF of two blocks or more";
    manager->getFromKbd(row);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"SYSEX ERROR"});
    EXPECT_TRUE(test::ScratchFolder::fileNames(dataDirectory).empty());
    EXPECT_TRUE(manager->pcLists()[type::Smf].empty());
    EXPECT_EQ(manager->frame().dialog(), nullptr);
}

TEST_P(SpoiledBlocks, ABackupRecordsNoSpoiledItem) {
    namespace fs = std::filesystem;
    const std::string backup = folder.filePath("backup").toStdString();
    manager->backupKbd(backup);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"SYSEX ERROR"});
    const std::string snapshot = test::newestSnapshot(backup);
    const auto manifest = BackupManifest::read(snapshot);
    ASSERT_TRUE(manifest);
    EXPECT_FALSE(manifest->complete);
    std::size_t filled = 0;
    for (const auto& listed : manager->kbdLists())
        for (const auto& slot : listed.second)
            filled += slot->size != 0 ? 1 : 0;
    EXPECT_LT(manifest->items.size(), filled) << "the backup ended at the first spoiled item";
    // The backup holds the manifest and the files it names, nothing else:
    // no file, whole or partial, of the spoiled item.
    std::set<std::string> recorded{BackupManifest::fileName};
    for (const BackupEntry& entry : manifest->items)
        recorded.insert(entry.file);
    for (const auto& file : fs::recursive_directory_iterator(snapshot)) {
        if (file.is_regular_file()) {
            EXPECT_TRUE(recorded.count(fs::relative(file.path(), snapshot).string()))
                << file.path() << " is not in the manifest";
        }
    }
}

std::string corruptionName(const testing::TestParamInfo<kbdsim::BlockCorruption>& info) {
    switch (info.param) {
    case kbdsim::BlockCorruption::Checksum:
        return "Checksum";
    case kbdsim::BlockCorruption::PairCount:
        return "PairCount";
    case kbdsim::BlockCorruption::BlockNumber:
        return "BlockNumber";
    case kbdsim::BlockCorruption::FlippedBit:
        return "FlippedBit";
    case kbdsim::BlockCorruption::None:
        break;
    }
    return "None";
}

INSTANTIATE_TEST_SUITE_P(Faults, SpoiledBlocks,
                         testing::Values(kbdsim::BlockCorruption::Checksum,
                                         kbdsim::BlockCorruption::PairCount,
                                         kbdsim::BlockCorruption::BlockNumber,
                                         kbdsim::BlockCorruption::FlippedBit),
                         corruptionName);

} // namespace
} // namespace qel
