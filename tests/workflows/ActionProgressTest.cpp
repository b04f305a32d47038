// One progress for each keyboard action: a bar that only goes forwards over
// the whole action, the list filled type by type, the user's cancel said as
// a result and not as an error, the waiting notice, and the result lines.

#include "core/ProgressText.h"
#include "support/NewestSnapshot.h"
#include "support/ScratchFolder.h"
#include "workflows/BackupManifest.h"
#include "workflows/DataManagerFixture.h"

#include <QRegularExpression>
#include <algorithm>
#include <filesystem>

namespace qel {
namespace {

using test::DataManagerTest;
using namespace std::chrono_literals;

bool neverBack(const std::vector<int>& positions) {
    return std::is_sorted(positions.begin(), positions.end());
}

// ---- the bar's arithmetic, without a keyboard ----

struct PhaseStep {
    enum Kind { Phase, Advance, Item, ItemBytes, EndItem, Finish } kind;
    double until = 0;       // Phase
    std::int64_t units = 0; // Phase, Advance, Item; ItemBytes: bytes of the item's 100
    int expected = 0;       // the bar after the step
};

struct PhaseCase {
    const char* name;
    std::vector<PhaseStep> steps;
};

class Phases : public testing::TestWithParam<PhaseCase> {};

TEST_P(Phases, TheBarFollowsThePhasesAndNeverGoesBack) {
    test::RecordingView view;
    ActionProgress progress(view);
    {
        const ActionProgress::Scope scope(progress, "Testing");
        EXPECT_TRUE(view.progressShown);
        EXPECT_EQ(view.progressBar.caption, "Testing");
        EXPECT_EQ(view.progressBar.maximum, ActionProgress::barMaximum);
        for (const PhaseStep& step : GetParam().steps) {
            switch (step.kind) {
            case PhaseStep::Phase:
                progress.beginPhase(step.until, step.units, true);
                break;
            case PhaseStep::Advance:
                progress.advance(step.units);
                break;
            case PhaseStep::Item:
                progress.beginItem("ITEM", step.units);
                break;
            case PhaseStep::ItemBytes:
                // As the dialog reports an item of 100 bytes.
                progress.dialogReporter().setRange(100);
                progress.dialogReporter().setPosition(static_cast<int>(step.units));
                break;
            case PhaseStep::EndItem:
                progress.endItem();
                break;
            case PhaseStep::Finish:
                progress.finishPhase();
                break;
            }
            EXPECT_EQ(progress.position(), step.expected);
        }
    }
    EXPECT_FALSE(view.progressShown);
    EXPECT_TRUE(neverBack(view.progressBar.positions));
}

using S = PhaseStep;
INSTANTIATE_TEST_SUITE_P(
    Cases, Phases,
    testing::Values(
        PhaseCase{"TwoPhases",
                  {{S::Phase, 0.2, 10, 0},
                   {S::Advance, 0, 5, 100},
                   {S::Advance, 0, 5, 200},
                   {S::Phase, 1.0, 400, 200},
                   {S::Item, 0, 200, 200},
                   {S::ItemBytes, 0, 50, 400},
                   {S::EndItem, 0, 0, 600},
                   {S::Item, 0, 200, 600},
                   {S::EndItem, 0, 0, 1000}}},
        PhaseCase{"AGuessTooSmallStallsAtThePhasesEnd",
                  {{S::Phase, 0.5, 10, 0},
                   {S::Advance, 0, 25, 500},
                   {S::Phase, 1.0, 10, 500},
                   {S::Advance, 0, 5, 750}}},
        PhaseCase{"APhaseEndingBelowTheBarIsFlat",
                  {{S::Phase, 0.6, 1, 0},
                   {S::Advance, 0, 1, 600},
                   {S::Phase, 0.3, 10, 600},
                   {S::Advance, 0, 10, 600}}},
        PhaseCase{"TheDialogsPositionStartingAgainDoesNotMoveTheBarBack",
                  {{S::Item, 0, 100, 0},
                   {S::ItemBytes, 0, 80, 800},
                   {S::ItemBytes, 0, 0, 800},
                   {S::ItemBytes, 0, 90, 900},
                   {S::EndItem, 0, 0, 1000}}},
        PhaseCase{"AnItemAfterAFinishedPhaseRunsTheRestOfTheBar",
                  {{S::Phase, 0.3, 577, 0},
                   {S::Advance, 0, 500, 259},
                   {S::Finish, 0, 0, 300},
                   {S::Item, 0, 100, 300},
                   {S::ItemBytes, 0, 50, 650},
                   {S::EndItem, 0, 0, 1000}}},
        PhaseCase{"AnItemWithoutAPhaseRunsTheWholeBar",
                  {{S::Item, 0, 4000, 0}, {S::ItemBytes, 0, 25, 250}, {S::EndItem, 0, 0, 1000}}}),
    [](const testing::TestParamInfo<PhaseCase>& info) { return std::string(info.param.name); });

TEST(ActionProgressScopes, AnInnerActionSharesTheWindowAndACleanUpIgnoresTheCancel) {
    test::RecordingView view;
    bool pressed = false;
    view.progressBar.cancelWhen = [&] { return pressed; };
    ActionProgress progress(view);
    EXPECT_FALSE(progress.cancelRequested());
    pressed = true;
    EXPECT_FALSE(progress.cancelRequested()) << "no action runs: nobody could press Cancel";
    {
        const ActionProgress::Scope outer(progress, "Sending");
        EXPECT_TRUE(progress.cancelRequested());
        EXPECT_TRUE(progress.dialogReporter().cancelRequested());
        {
            const ActionProgress::CleanUp cleanUp(progress);
            EXPECT_FALSE(progress.dialogReporter().cancelRequested());
        }
        {
            const ActionProgress::Scope inner(progress, "Backing up");
            EXPECT_EQ(view.progressBar.caption, "Sending");
        }
        EXPECT_TRUE(view.progressShown) << "the inner end leaves the outer window up";
        {
            const ActionProgress::Hidden hidden(progress);
            EXPECT_FALSE(view.progressShown);
        }
        EXPECT_TRUE(view.progressShown);
    }
    EXPECT_FALSE(view.progressShown);
}

// ---- whole actions against the virtual keyboard ----

class WholeActions : public DataManagerTest {};

TEST_F(WholeActions, ABackupsBarRunsFromZeroToTheEndWithoutGoingBack) {
    const std::string backupFolder = folder.filePath("backup").toStdString();
    manager->backupKbd(backupFolder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    const std::vector<int>& positions = view.progressBar.positions;
    ASSERT_GT(positions.size(), 100u);
    EXPECT_EQ(positions.front(), 0);
    EXPECT_EQ(positions.back(), ActionProgress::barMaximum);
    EXPECT_TRUE(neverBack(positions));
    EXPECT_EQ(view.progressBar.caption, "Backing up the keyboard");
    EXPECT_EQ(view.progressBar.bytes.first, view.progressBar.bytes.second);
    EXPECT_GT(view.progressBar.bytes.second, 0);
    EXPECT_FALSE(view.progressShown);

    // "Backup: 23 items, 12 KB, 0 s, 0 unchanged", and its summary.
    ASSERT_FALSE(view.results.empty());
    const QRegularExpression line("^Backup: (\\d+) items, [\\d,]+ KB, \\d+ s, 0 unchanged$");
    const auto match = line.match(QString::fromStdString(view.results.back()));
    ASSERT_TRUE(match.hasMatch()) << view.results.back();
    const auto manifest = BackupManifest::read(test::newestSnapshot(backupFolder));
    ASSERT_TRUE(manifest);
    EXPECT_EQ(match.captured(1).toULongLong(), manifest->items.size());
    ASSERT_EQ(view.summaries.size(), 1u);
    EXPECT_EQ(view.summaries.front().first, "Backup");

    // A second run finds everything unchanged, and its bar still ends whole.
    view.progressBar.positions.clear();
    manager->backupKbd(backupFolder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_TRUE(neverBack(view.progressBar.positions));
    EXPECT_EQ(view.progressBar.positions.back(), ActionProgress::barMaximum);
    EXPECT_NE(
        view.results.back().find(", " + std::to_string(manifest->items.size()) + " unchanged"),
        std::string::npos)
        << view.results.back();
}

TEST_F(WholeActions, ARestoresBarNeverGoesBackAndItSaysWhatItSent) {
    const std::string backupFolder = folder.filePath("backup").toStdString();
    manager->backupKbd(backupFolder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    view.progressBar.positions.clear();
    view.results.clear();
    manager->restoreKbd(backupFolder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_TRUE(neverBack(view.progressBar.positions));
    EXPECT_EQ(view.progressBar.positions.back(), ActionProgress::barMaximum);
    ASSERT_EQ(view.results.size(), 1u);
    EXPECT_TRUE(QRegularExpression("^Restore: \\d+ items, [\\d,]+ KB, \\d+ s$")
                    .match(QString::fromStdString(view.results.front()))
                    .hasMatch())
        << view.results.front();
    ASSERT_EQ(view.summaries.size(), 2u);
    EXPECT_EQ(view.summaries.back().first, "Restore");
}

TEST_F(WholeActions, UpdateListShowsTheFirstTypesRowsBeforeTheLastTypeIsRead) {
    // USER TONE is on screen; SMF is read last.
    bool rowsBeforeLastType = false;
    bool lastTypeSeen = false;
    duringWait = [&] {
        if (manager->kbdLists().count(type::Smf) == 0 && !manager->kbdLists().empty() &&
            manager->kbdLists().rbegin()->first == type::Smf - 1)
            lastTypeSeen = true;
        if (!lastTypeSeen && manager->kbdLists().count(type::Smf) == 0 &&
            manager->kbdSlotModel().rowCount() == 100)
            rowsBeforeLastType = true;
    };
    EXPECT_TRUE(manager->updateKbdList());
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_TRUE(rowsBeforeLastType);
    std::size_t items = 0;
    for (const auto& listed : manager->kbdLists())
        for (const auto& slot : listed.second)
            items += slot->size != 0 ? 1 : 0;
    EXPECT_EQ(manager->listedText(), "Listed " + std::to_string(items) + " items");
    EXPECT_TRUE(view.results.empty()) << "the window says it; a terminal prints the list";
    // Each type's name was shown while it was read.
    for (const char* label : {typeLabels[type::UserTone], typeLabels[type::Smf]})
        EXPECT_NE(std::find(view.progressBar.items.begin(), view.progressBar.items.end(), label),
                  view.progressBar.items.end())
            << label;
}

struct CancelCase {
    const char* name;
    // Where the window's Cancel is pressed: once the bar has passed this.
    int pressedAt;
    std::function<void(DataManager&, const std::string& backupFolder)> run;
};

class Cancelling : public DataManagerTest, public testing::WithParamInterface<CancelCase> {};

TEST_P(Cancelling, TheUsersCancelIsSaidAsTheResultAndIsNoError) {
    const std::string backupFolder = folder.filePath("backup").toStdString();
    manager->updateKbdList();
    ASSERT_TRUE(view.kbdErrors.empty());
    manager->changeDataType(type::UserRhythm);
    view.results.clear();
    const int pressedAt = GetParam().pressedAt;
    view.progressBar.cancelWhen = [&] { return view.progressBar.position > pressedAt; };
    const auto filesBefore = test::ScratchFolder::fileNames(dataDirectory);
    GetParam().run(*manager, backupFolder);
    EXPECT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(view.results, std::vector<std::string>{"Cancelled"});
    EXPECT_FALSE(view.progressShown);
    EXPECT_FALSE(manager->busy());
    EXPECT_EQ(manager->frame().dialog(), nullptr);
    EXPECT_EQ(test::ScratchFolder::fileNames(dataDirectory), filesBefore) << "no file half-written";
    EXPECT_LT(view.progressBar.position, ActionProgress::barMaximum);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, Cancelling,
    testing::Values(CancelCase{"UpdateListWhileReadingTheList", 300,
                               [](DataManager& manager, const std::string&) {
                                   manager.updateKbdList();
                               }},
                    CancelCase{"AReceiveInsideItsItem", 300,
                               [](DataManager& manager, const std::string&) {
                                   for (int row = 0; manager.kbdRowItem(row); ++row)
                                       if (manager.kbdRowItem(row)->size > 256) {
                                           manager.getFromKbd(row);
                                           return;
                                       }
                                   ADD_FAILURE() << "the demo content has a large rhythm";
                               }},
                    CancelCase{"TheBackupsListing", 100,
                               [](DataManager& manager, const std::string& backupFolder) {
                                   manager.backupKbd(backupFolder);
                               }}),
    [](const testing::TestParamInfo<CancelCase>& info) { return std::string(info.param.name); });

TEST_F(WholeActions, AReplyLateByMoreThanASecondShowsTheWaitingNoticeUntilItComes) {
    // Only the model request waits; the rest answers at once.
    setOptions([](kbdsim::Options& options) {
        options.faults.lateReply.kind = kbdsim::MessageKind::ModelRequest;
        options.faults.lateBy = 1500ms;
    });
    manager->updateThisType();
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(view.progressBar.waitings, (std::vector<bool>{false, true, false}));

    // Replies in time: no notice.
    setOptions([](kbdsim::Options& options) { options.faults.lateReply = {}; });
    view.progressBar.waitings.clear();
    manager->updateThisType();
    EXPECT_EQ(view.progressBar.waitings, std::vector<bool>{false});
}

} // namespace
} // namespace qel
