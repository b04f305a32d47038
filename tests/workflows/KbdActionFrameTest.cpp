// The keyboard action frame and its sessions: one dialog per action, nested
// sessions that leave the outer action's dialog alone, no dialog left behind
// on any path, and the readiness poll.

#include "workflows/KbdActionFrame.h"

#include "core/Exception.h"
#include "support/RecordingMidiDialog.h"
#include "support/RemoteCancel.h"
#include "workflows/KbdSession.h"

#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

namespace qel {
namespace {

using namespace std::chrono_literals;

// A dialog whose model request can fail a number of times, and can wait the
// way a real dialog does (running the event loop) while something else runs.
class FakeDialog : public test::RecordingMidiDialog {
public:
    explicit FakeDialog(std::shared_ptr<int> alive) : alive_(std::move(alive)) { ++*alive_; }
    ~FakeDialog() override { --*alive_; }

    std::uint16_t getModel() override {
        ++attempts;
        if (duringWait) {
            QEventLoop loop;
            QTimer::singleShot(0, &loop, [&] {
                duringWait();
                loop.quit();
            });
            loop.exec();
        }
        if (failures > 0) {
            --failures;
            if (throwInstead)
                throw Exception("short message");
            code = failureCode;
            return 0;
        }
        code = 0;
        return 3;
    }
    std::int32_t getErrorCode() const override { return code; }
    bool cancelRequested() const override { return cancelCheck ? cancelCheck() : cancelled; }

    std::function<void()> duringWait;
    std::function<bool()> cancelCheck;
    int failures = 0;
    std::int32_t failureCode = 22;
    bool throwInstead = false;
    int attempts = 0;
    std::int32_t code = 0;

private:
    std::shared_ptr<int> alive_;
};

class Frame : public testing::Test {
protected:
    Frame()
        : frame([this] {
              ++made;
              auto dialog = std::make_unique<FakeDialog>(alive);
              dialog->code = openError;
              last = dialog.get();
              return dialog;
          }) {
        frame.setReadinessPause(std::chrono::milliseconds(1));
    }

    std::shared_ptr<int> alive = std::make_shared<int>(0);
    int made = 0;
    std::int32_t openError = 0;
    FakeDialog* last = nullptr;
    KbdActionFrame frame;
};

TEST_F(Frame, OpeningWhileADialogExistsChangesNothingNotEvenTheProgressSetting) {
    {
        const KbdSession outer(frame, false);
        {
            const KbdSession inner(frame, true);
            EXPECT_EQ(made, 1);
            EXPECT_FALSE(last->getShowProgress());
            EXPECT_EQ(&inner.dialog(), last);
            EXPECT_EQ(&outer.dialog(), last);
        }
        EXPECT_EQ(*alive, 1) << "the inner session must not destroy the dialog";
        EXPECT_EQ(frame.dialog(), last);
    }
    EXPECT_EQ(*alive, 0);
    EXPECT_EQ(frame.dialog(), nullptr);

    KbdSession early(frame, true);
    EXPECT_EQ(made, 2);
    early.close();
    EXPECT_EQ(*alive, 0);
    EXPECT_THROW(early.dialog(), Exception);
    early.close(); // one close too many does nothing
    EXPECT_EQ(*alive, 0);
    const KbdSession next(frame, false);
    EXPECT_EQ(*alive, 1) << "the early close did not count for a later session";
}

TEST_F(Frame, ANestedOpenAndCloseDuringAWaitLeavesTheOuterDialogAndReference) {
    KbdActionFrame::Action outer(frame);
    KbdSession outerSession(frame, false);
    FakeDialog* const outerDialog = last;
    bool nestedRan = false;
    outerDialog->duringWait = [&] {
        if (nestedRan)
            return; // the nested poll below waits on the same dialog
        nestedRan = true;
        // Code started by an event handled while the outer action waits.
        KbdActionFrame::Action nested(frame);
        const KbdSession session(frame, true);
        frame.waitKbdReady(1);
    };
    outerDialog->getModel();
    outerDialog->duringWait = nullptr;

    EXPECT_TRUE(nestedRan);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(*alive, 1);
    EXPECT_EQ(frame.dialog(), outerDialog);
    EXPECT_EQ(&outerSession.dialog(), outerDialog);
    EXPECT_FALSE(outerDialog->getShowProgress());
    EXPECT_TRUE(frame.busy());

    outerSession.close();
    EXPECT_EQ(*alive, 0);
    EXPECT_EQ(frame.dialog(), nullptr);
}

TEST_F(Frame, APortThatFailedToOpenThrowsItsTextAndLeavesNoDialog) {
    openError = 22;
    {
        KbdActionFrame::Action action(frame);
        EXPECT_TRUE(frame.busy());
        try {
            const KbdSession session(frame, true);
            FAIL() << "no exception";
        } catch (const Exception& error) {
            EXPECT_EQ(error.message(), "MIDI TIMEOUT");
        }
        EXPECT_EQ(*alive, 0);
        EXPECT_EQ(frame.dialog(), nullptr);
    }
    EXPECT_FALSE(frame.busy());
    openError = 0;
    const KbdSession next(frame, false);
    EXPECT_EQ(made, 2) << "the next session makes a dialog of its own";
    EXPECT_EQ(frame.dialog(), last);
}

struct ReadinessCase {
    const char* name;
    int failures;
    bool throwInstead;
    int limit;
    int attempts;
    bool ready;
};

void PrintTo(const ReadinessCase& c, std::ostream* out) {
    *out << c.name;
}

class Readiness : public Frame, public testing::WithParamInterface<ReadinessCase> {};

TEST_P(Readiness, PollsUntilTheKeyboardAnswersOrTwiceTheLimit) {
    const ReadinessCase c = GetParam();
    KbdSession session(frame, false);
    last->failures = c.failures;
    last->throwInstead = c.throwInstead;
    if (c.ready) {
        EXPECT_NO_THROW(frame.waitKbdReady(c.limit));
    } else {
        try {
            frame.waitKbdReady(c.limit);
            FAIL() << "no exception";
        } catch (const Exception& error) {
            EXPECT_EQ(error.message(), "MIDI TIMEOUT");
        }
    }
    EXPECT_EQ(last->attempts, c.attempts);
    session.close();
}

INSTANTIATE_TEST_SUITE_P(
    Keyboards, Readiness,
    testing::Values(ReadinessCase{"answers at once", 0, false, 100, 1, true},
                    ReadinessCase{"busy three times", 3, false, 100, 4, true},
                    ReadinessCase{"malformed answers count as none", 5, true, 100, 6, true},
                    ReadinessCase{"never answers", 1000, false, 100, 200, false},
                    ReadinessCase{"answers on the last attempt", 199, false, 100, 200, true}),
    [](const testing::TestParamInfo<ReadinessCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST_F(Frame, TheReadinessPauseRunsTheEventLoop) {
    EXPECT_EQ(KbdActionFrame([] { return nullptr; }).readinessPause(),
              std::chrono::milliseconds(500));
    KbdSession session(frame, false);
    last->failures = 1;
    bool fired = false;
    // Due at once: it can only run if the pause lets the event loop run.
    QTimer::singleShot(0, [&] { fired = true; });
    frame.setReadinessPause(std::chrono::milliseconds(20));
    frame.waitKbdReady(100);
    EXPECT_TRUE(fired);
    EXPECT_EQ(last->attempts, 2);
    session.close();
}

TEST_F(Frame, ACancelDuringThePauseEndsThePollSoonWithCancelled) {
    test::RemoteCancel cancel;
    KbdSession session(frame, false);
    last->failures = 1000;
    last->cancelCheck = [&cancel] { return cancel.requested(); };
    frame.setReadinessPause(20s);
    // Handled by the first event loop after the first attempt: the pause's.
    QTimer::singleShot(0, [&cancel] { cancel.fire(); });
    try {
        frame.waitKbdReady(100);
        FAIL() << "no exception";
    } catch (const Exception& error) {
        EXPECT_EQ(error.message(), "Cancelled");
    }
    const auto late = cancel.sinceFired();
    EXPECT_GE(late.count(), 0);
    EXPECT_LT(late, test::cancelBound);
    EXPECT_EQ(last->attempts, 1);
    EXPECT_EQ(last->deadline, std::chrono::steady_clock::time_point::max())
        << "the poll's deadline is lifted when it ends";
    session.close();
}

TEST_F(Frame, APollThatEndsCancelledIsNotTriedAgain) {
    KbdSession session(frame, false);
    last->failures = 1000;
    last->failureCode = 25;
    EXPECT_THROW(
        {
            try {
                frame.waitKbdReady(100);
            } catch (const Exception& error) {
                EXPECT_EQ(error.message(), "Cancelled");
                throw;
            }
        },
        Exception);
    EXPECT_EQ(last->attempts, 1);

    // A cancel requested before the poll starts sends nothing at all.
    last->attempts = 0;
    last->failureCode = 22;
    last->cancelled = true;
    EXPECT_THROW(frame.waitKbdReady(100), Exception);
    EXPECT_EQ(last->attempts, 0);
    session.close();
}

// Unanswered polls each wait their reply time-out, cut short by the deadline
// the frame gives the dialog, as the MIDI dialog does.
TEST_F(Frame, UnansweredPollsEndAtTheReadinessLimitTheLastOneIncluded) {
    KbdSession session(frame, false);
    last->failures = 1000;
    std::vector<std::chrono::steady_clock::time_point> deadlines;
    last->duringWait = [&] {
        deadlines.push_back(last->deadline);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            last->deadline - std::chrono::steady_clock::now());
        pauseRunningEvents(std::clamp<std::chrono::milliseconds>(left, 0ms, 300ms));
    };
    frame.setReadinessPause(100ms);
    frame.setReadinessLimit(1000ms);
    const auto start = std::chrono::steady_clock::now();
    try {
        frame.waitKbdReady(100);
        FAIL() << "no exception";
    } catch (const Exception& error) {
        EXPECT_EQ(error.message(), "MIDI TIMEOUT");
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 990ms);
    EXPECT_LT(took, 1000ms + test::cancelBound);
    // Polls at 0, 0.4 and 0.8 s; the third one is cut off at 1 s.
    EXPECT_EQ(last->attempts, 3);
    ASSERT_FALSE(deadlines.empty());
    for (const auto& deadline : deadlines)
        EXPECT_EQ(deadline, deadlines.front()) << "one deadline for the whole poll";
    EXPECT_GE(deadlines.front() - start, 1000ms);
    EXPECT_LT(deadlines.front() - start, 1100ms) << "counted from the start of the poll";
    EXPECT_EQ(last->deadline, std::chrono::steady_clock::time_point::max());
    session.close();
}

TEST(PauseRunningEvents, EndsSoonAfterItsStopConditionHolds) {
    test::RemoteCancel cancel;
    QTimer::singleShot(0, [&cancel] { cancel.fire(); });
    EXPECT_FALSE(pauseRunningEvents(20s, [&cancel] { return cancel.requested(); }));
    EXPECT_LT(cancel.sinceFired(), test::cancelBound);
    EXPECT_TRUE(pauseRunningEvents(10ms, [] { return false; }));
}

TEST(PauseRunningEvents, LastsAtLeastItsDurationAndHandlesEvents) {
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    const auto start = std::chrono::steady_clock::now();
    pauseRunningEvents(std::chrono::milliseconds(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(29));
    EXPECT_TRUE(fired);
}

TEST_F(Frame, AnActionThatThrowsLeavesNoDialogBehind) {
    try {
        KbdActionFrame::Action action(frame);
        const KbdSession outer(frame, false);
        const KbdSession inner(frame, false);
        throw Exception("Memory Full");
    } catch (const Exception&) {
    }
    EXPECT_FALSE(frame.busy());
    EXPECT_EQ(*alive, 0);
    EXPECT_EQ(frame.dialog(), nullptr);
}

} // namespace
} // namespace qel
