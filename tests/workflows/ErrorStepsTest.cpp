// Every failure of a keyboard action says the step it happened in: the item
// and, in a transfer, the block. The error text itself stays as it was.

#include "support/ScratchFolder.h"
#include "workflows/TransfersFixture.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using namespace std::chrono_literals;

class ErrorSteps : public test::Transfers {
protected:
    // The row of slot `position` of the current type; -1 if none.
    int rowOfPosition(std::uint16_t position) const {
        for (int row = 0; manager->kbdRowItem(row); ++row)
            if (manager->kbdRowItem(row)->position == position)
                return row;
        return -1;
    }

    void expectOneError(const std::string& text, const std::string& step) {
        EXPECT_EQ(view.kbdErrors, std::vector<std::string>{text});
        EXPECT_EQ(view.kbdErrorSteps, std::vector<std::string>{step});
    }
};

// The demo's second rhythm has 520 bytes: five blocks.
constexpr std::uint16_t fiveBlockRhythm = 141;

TEST_F(ErrorSteps, AReceiveSpoiledAtTheThirdBlockSaysItsItemAndBlock) {
    manager->changeDataType(type::UserRhythm);
    const int row = rowOfPosition(fiveBlockRhythm);
    ASSERT_GE(row, 0);
    ASSERT_EQ(manager->kbdRowItem(row)->size, 520);
    setOptions([](kbdsim::Options& options) {
        options.faults.corruptAtBlock = 2;
        options.faults.blockCorruption = kbdsim::BlockCorruption::Checksum;
    });
    manager->getFromKbd(row);
    expectOneError("SYSEX ERROR", "receiving USER RHYTHM 141, block 3 of 5");
    EXPECT_TRUE(dataFiles().empty());
}

TEST_F(ErrorSteps, AReceiveWhoseKeyboardFallsSilentTimesOutAtItsBlock) {
    environment.replyTimeout = 300ms;
    manager->changeDataType(type::UserRhythm);
    const int row = rowOfPosition(fiveBlockRhythm);
    ASSERT_GE(row, 0);
    setOptions([](kbdsim::Options& options) { options.faults.silentAfterBlock = 1; });
    manager->getFromKbd(row);
    expectOneError("MIDI TIMEOUT", "receiving USER RHYTHM 141, block 3 of 5");
}

TEST_F(ErrorSteps, ASendRejectedAtTheThirdBlockSaysItsSlotAndBlock) {
    manager->changeDataType(type::UserRhythm);
    const int row = rowOfPosition(fiveBlockRhythm);
    ASSERT_GE(row, 0);
    manager->getFromKbd(row);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    setOptions([](kbdsim::Options& options) { options.faults.rejectAtBlock = 2; });
    manager->putToKbd(0, row);
    expectOneError("MESSAGE REJECTED", "sending USER RHYTHM 141, block 3 of 5");
}

TEST_F(ErrorSteps, AFailureBetweenTransfersNamesTheStepAlone) {
    // The delete goes; the readiness poll after it gets no answer.
    environment.replyTimeout = 300ms;
    manager->frame().setReadinessLimit(1s);
    manager->changeDataType(type::UserRhythm);
    const int row = rowOfPosition(fiveBlockRhythm);
    ASSERT_GE(row, 0);
    setOptions([](kbdsim::Options& options) { options.faults.busyPollsAfterDelete = 100000; });
    manager->deleteKbdData(row);
    expectOneError("MIDI TIMEOUT", "waiting for the keyboard to be ready");
}

TEST_F(ErrorSteps, AnUnansweredModelRequestSaysSo) {
    environment.replyTimeout = 300ms;
    setOptions([](kbdsim::Options& options) {
        options.faults.noReply.kind = kbdsim::MessageKind::ModelRequest;
    });
    manager->updateKbdList();
    expectOneError("MIDI TIMEOUT", "asking the keyboard its model");
}

TEST_F(ErrorSteps, ACancelledReceiveIsNoFailureOfAStep) {
    manager->changeDataType(type::UserRhythm);
    const int row = rowOfPosition(fiveBlockRhythm);
    ASSERT_GE(row, 0);
    dialogWindow->cancelAt = 256;
    manager->getFromKbd(row);
    EXPECT_TRUE(view.kbdErrors.empty()) << "a cancel is no failure at all";
    ASSERT_FALSE(view.results.empty());
    EXPECT_EQ(view.results.back(), "Cancelled");
}

TEST_F(ErrorSteps, ABackupSaysTheItemItFailedIn) {
    setOptions([](kbdsim::Options& options) {
        options.faults.corruptAtBlock = 1;
        options.faults.blockCorruption = kbdsim::BlockCorruption::PairCount;
    });
    manager->backupKbd(folder.filePath("backup").toStdString());
    ASSERT_EQ(view.kbdErrors, std::vector<std::string>{"SYSEX ERROR"});
    const std::string step = view.kbdErrorSteps.front();
    EXPECT_EQ(step.rfind("receiving ", 0), 0u) << step;
    EXPECT_NE(step.find(", block 2 of "), std::string::npos) << step;
}

// ---- list reads ----

class ListStep : public ErrorSteps, public testing::WithParamInterface<type::id> {};

TEST_P(ListStep, AListReadThatTimesOutSaysItsType) {
    environment.replyTimeout = 300ms;
    manager->changeDataType(GetParam());
    // The update asks the model (two messages), then the first slot of the type.
    const std::size_t firstListRequest = messages + 3;
    setOptions([firstListRequest](kbdsim::Options& options) {
        options.faults.noReply.ordinal = firstListRequest;
    });
    manager->updateThisType();
    expectOneError("MIDI TIMEOUT", std::string("reading the list of ") + typeLabels[GetParam()]);
    EXPECT_TRUE(kbdRows().empty()) << "the failed list is not shown";
}

INSTANTIATE_TEST_SUITE_P(Types, ListStep,
                         testing::Values(type::UserTone, type::UserToneWithWave, type::UserRhythm,
                                         type::Smf),
                         [](const testing::TestParamInfo<type::id>& info) {
                             return "Type" + std::to_string(info.param);
                         });

} // namespace
} // namespace qel
