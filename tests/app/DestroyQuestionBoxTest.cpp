// The question asked before a keyboard action destroys anything, on Qt's
// offscreen platform: its title and buttons per action, Cancel as the default,
// the copy box, Back Up First, the lost lines; and the window asking it.

#include "app/DestroyQuestionBox.h"

#include "app/FormMain.h"
#include "support/OnNextModal.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <gtest/gtest.h>

namespace qel::app {
namespace {

using Action = DestroyQuestion::Action;
using Choice = DestroyAnswer::Choice;

// Runs `act` on the question box once it is shown modally.
class OnQuestionBox : public test::OnNextModal {
public:
    explicit OnQuestionBox(const std::function<void(DestroyQuestionBox&)>& act)
        : OnNextModal([act](QWidget* modal) {
              auto* box = dynamic_cast<DestroyQuestionBox*>(modal);
              ASSERT_NE(box, nullptr);
              act(*box);
          }) {}
};

DestroyQuestion deleteOne() {
    return {Action::Delete,
            "Delete USER RHYTHM 140 \"DEMO RH0\" 904 bytes from the keyboard?",
            {"USER RHYTHM 140 \"DEMO RH0\" 904 bytes"},
            true,
            false};
}

DestroyQuestion restoreMany(int lines) {
    DestroyQuestion question{Action::Restore, "Restoring clears these items.", {}, false, true};
    for (int i = 0; i < lines; ++i)
        question.lost.push_back("USER SONG " + std::to_string(i) + " \"SONG\" 100 bytes");
    return question;
}

// What `question` is answered when `act` runs on its box.
DestroyAnswer answerTo(const DestroyQuestion& question,
                       const std::function<void(DestroyQuestionBox&)>& act,
                       FolderChooser choose = {}) {
    DestroyQuestionBox box(question, std::move(choose), nullptr);
    OnQuestionBox on(act);
    const DestroyAnswer answer = box.ask();
    EXPECT_TRUE(on.ran());
    return answer;
}

void press(QWidget& widget, int key) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&widget, &down);
}

struct ActionCase {
    Action action;
    const char* title;
    const char* verb;
};

class EveryAction : public testing::TestWithParam<ActionCase> {};

TEST_P(EveryAction, NamesItsActionAndHasCancelAsTheDefaultButton) {
    DestroyQuestion question = deleteOne();
    question.action = GetParam().action;
    DestroyQuestionBox box(question, {}, nullptr);
    EXPECT_EQ(box.windowTitle(), GetParam().title);
    EXPECT_EQ(box.acceptButton()->text(), GetParam().verb);
    EXPECT_EQ(box.cancelButton()->text().remove('&'), "Cancel");
    EXPECT_TRUE(box.cancelButton()->isDefault());
    EXPECT_FALSE(box.acceptButton()->isDefault());
    EXPECT_FALSE(box.acceptButton()->autoDefault()) << "focus must not make it the default";
    EXPECT_EQ(box.questionLabel()->text().toStdString(), question.text);
}

INSTANTIATE_TEST_SUITE_P(Actions, EveryAction,
                         testing::Values(ActionCase{Action::Replace, "Replace Item", "Replace"},
                                         ActionCase{Action::Delete, "Delete Item", "Delete"},
                                         ActionCase{Action::SendPackage, "Send Package", "Send"},
                                         ActionCase{Action::Restore, "Restore Keyboard", "Restore"},
                                         ActionCase{Action::Initialize, "Initialize",
                                                    "Initialize"}));

TEST(DestroyQuestionBox, ReturnAndEscapeCancel) {
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        const DestroyAnswer answer =
            answerTo(deleteOne(), [key](DestroyQuestionBox& box) { press(box, key); });
        EXPECT_EQ(answer.choice, Choice::Cancel) << key;
    }
}

TEST(DestroyQuestionBox, TheCopyIsKeptUnlessTheUserUnticksIt) {
    for (bool untick : {false, true}) {
        const DestroyAnswer answer = answerTo(deleteOne(), [untick](DestroyQuestionBox& box) {
            ASSERT_NE(box.keepCopyBox(), nullptr);
            EXPECT_EQ(box.keepCopyBox()->text(), "Keep a copy on the PC first");
            EXPECT_TRUE(box.keepCopyBox()->isChecked()) << "ticked by default";
            EXPECT_EQ(box.backUpButton(), nullptr) << "one item: no backup offered";
            if (untick)
                box.keepCopyBox()->click();
            box.acceptButton()->click();
        });
        EXPECT_EQ(answer.choice, Choice::Proceed);
        EXPECT_EQ(answer.keepCopy, !untick);
    }
}

TEST(DestroyQuestionBox, CancelKeepsNoCopyEvenWhenTicked) {
    const DestroyAnswer answer =
        answerTo(deleteOne(), [](DestroyQuestionBox& box) { box.cancelButton()->click(); });
    EXPECT_EQ(answer.choice, Choice::Cancel);
    EXPECT_FALSE(answer.keepCopy);
}

TEST(DestroyQuestionBox, BackUpFirstGivesTheChosenFolder) {
    QString askedTitle;
    const DestroyAnswer answer = answerTo(
        restoreMany(3),
        [](DestroyQuestionBox& box) {
            EXPECT_EQ(box.keepCopyBox(), nullptr) << "many items: no single copy offered";
            ASSERT_NE(box.backUpButton(), nullptr);
            EXPECT_EQ(box.backUpButton()->text(), "Back Up First...");
            box.backUpButton()->click();
        },
        [&](QWidget*, const QString& title) {
            askedTitle = title;
            return QString("/music/backups/before restore");
        });
    EXPECT_EQ(answer.choice, Choice::BackUpFirst);
    EXPECT_EQ(answer.backupFolder, "/music/backups/before restore");
    EXPECT_EQ(askedTitle, "Back Up Keyboard Into");
}

TEST(DestroyQuestionBox, ACancelledFolderChoiceReturnsToTheQuestion) {
    int chosen = 0;
    const DestroyAnswer answer = answerTo(
        restoreMany(3),
        [](DestroyQuestionBox& box) {
            box.backUpButton()->click();
            EXPECT_TRUE(box.isVisible()) << "the question is still up";
            box.cancelButton()->click();
        },
        [&](QWidget*, const QString&) {
            ++chosen;
            return QString();
        });
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(answer.choice, Choice::Cancel);
    EXPECT_TRUE(answer.backupFolder.empty());
}

TEST(DestroyQuestionBox, ShowsEveryLostLineInAListThatScrolls) {
    for (int lines : {1, 300}) {
        DestroyQuestionBox box(restoreMany(lines), {}, nullptr);
        box.show();
        ASSERT_EQ(box.lostList()->count(), lines);
        EXPECT_EQ(box.lostList()->item(lines - 1)->text().toStdString(),
                  "USER SONG " + std::to_string(lines - 1) + " \"SONG\" 100 bytes");
        EXPECT_TRUE(box.lostList()->isVisible());
        EXPECT_LT(box.height(), 500) << "the box stays smaller than a screen";
        EXPECT_EQ(box.lostList()->verticalScrollBar()->maximum() > 0, lines > 8) << lines;
        box.hide();
    }
}

// ---- the window asking it ----

TEST(FormMainAsking, AsksWithTheBoxAndItsBackUpUsesTheWindowsFolderChooser) {
    FormMain window(MidiDialogEnvironment{}, QString());
    QWidget* chooserParent = nullptr;
    window.setFolderChooser([&](QWidget* parent, const QString&) {
        chooserParent = parent;
        return QString("/chosen");
    });
    OnQuestionBox on([](DestroyQuestionBox& box) { box.backUpButton()->click(); });
    const DestroyAnswer answer = window.askBeforeDestroying(restoreMany(2));
    ASSERT_TRUE(on.ran());
    EXPECT_EQ(answer.choice, Choice::BackUpFirst);
    EXPECT_EQ(answer.backupFolder, "/chosen");
    EXPECT_NE(chooserParent, nullptr) << "the chooser is owned by the question";
}

TEST(FormMainAsking, ATestCanAnswerInsteadOfTheBox) {
    FormMain window(MidiDialogEnvironment{}, QString());
    std::vector<DestroyQuestion> asked;
    window.setDestroyAsker([&](const DestroyQuestion& question) {
        asked.push_back(question);
        return DestroyAnswer{Choice::Proceed, true, {}};
    });
    const DestroyAnswer answer = window.askBeforeDestroying(deleteOne());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, deleteOne().text);
    EXPECT_EQ(answer.choice, Choice::Proceed);
    EXPECT_TRUE(answer.keepCopy);
}

} // namespace
} // namespace qel::app
