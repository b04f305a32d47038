// The action's one progress window, the status bar's results and the details
// the error boxes give.

#include "MainWindowFixture.h"
#include "app/ErrorDisplay.h"
#include "app/MidiDialogWindow.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>

namespace qel::app {
namespace {

using test_support::MainWindow;

TEST(ProgressForm, ShowsTheTitleTheItemTheBytesAndTheWaitingNotice) {
    ProgressForm form(nullptr);
    form.setCaption("Backing up the keyboard");
    form.setRange(1000);
    form.setItem("USER RHYTHM 141 \"DEMO RH1\"");
    form.setBytes(0, 49152);
    form.setBytes(12288, 49152);
    form.showCentred();
    EXPECT_EQ(form.windowTitle(), "Backing up the keyboard");
    EXPECT_EQ(form.titleLabel()->text(), "Backing up the keyboard");
    EXPECT_EQ(form.itemLabel()->text(), "USER RHYTHM 141 \"DEMO RH1\"");
    EXPECT_TRUE(form.bytesLabel()->text().startsWith("12 KB of 48 KB"))
        << form.bytesLabel()->text().toStdString();
    EXPECT_FALSE(form.waitingLabel()->isVisible());
    form.setWaiting(true);
    EXPECT_TRUE(form.waitingLabel()->isVisible());
    EXPECT_EQ(form.waitingLabel()->text(), QString::fromUtf8("Waiting for the keyboard\u2026"));
    form.setWaiting(false);
    EXPECT_FALSE(form.waitingLabel()->isVisible());
    form.setBytes(0, 0);
    EXPECT_TRUE(form.bytesLabel()->text().isEmpty()) << "no bytes to tell in a list read";
    form.setPosition(640);
    EXPECT_EQ(form.progressBar()->value(), 640);
    EXPECT_TRUE(form.progressBar()->isTextVisible());
}

TEST(ProgressForm, CancelAndEscAskTheActionToStopUntilTheNextAction) {
    struct Press {
        const char* name;
        std::function<void(ProgressForm&)> press;
    };
    const Press presses[] = {
        {"Cancel", [](ProgressForm& form) { form.cancelButton()->click(); }},
        {"Esc",
         [](ProgressForm& form) {
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&form, &escape);
         }},
    };
    for (const Press& p : presses) {
        ProgressForm form(nullptr);
        form.showCentred();
        EXPECT_FALSE(form.cancelRequested()) << p.name;
        p.press(form);
        EXPECT_TRUE(form.cancelRequested()) << p.name;
        EXPECT_TRUE(form.isVisible()) << p.name << ": the window waits for the action's end";
        EXPECT_FALSE(form.cancelButton()->isEnabled()) << p.name;
        form.hide();
        form.showCentred();
        EXPECT_FALSE(form.cancelRequested()) << p.name << ": a new action starts afresh";
        EXPECT_TRUE(form.cancelButton()->isEnabled()) << p.name;
    }
}

TEST_F(MainWindow, UpdateListRunsInOneWindowAndSaysWhatItListed) {
    window->formCreate();
    EXPECT_TRUE(window->statusBar()->isVisible() || !window->isVisible());
    bool dialogWindowSeen = false;
    int shownWithTitle = 0;
    QTimer watch;
    watch.callOnTimeout([&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && dynamic_cast<MidiDialogWindow*>(top) != nullptr)
                dialogWindowSeen = true;
        if (window->progressForm()->isVisible() &&
            window->progressForm()->windowTitle() == "Update List")
            ++shownWithTitle;
    });
    watch.start(1);
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    watch.stop();
    EXPECT_FALSE(dialogWindowSeen) << "no second window per operation";
    EXPECT_GT(shownWithTitle, 0);
    EXPECT_FALSE(window->progressForm()->isVisible());
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Listed "))
        << window->statusBar()->currentMessage().toStdString();
}

TEST_F(MainWindow, TheWindowsCancelIsSaidInTheStatusBarAndIsNoErrorBox) {
    window->formCreate();
    QTimer presser;
    presser.callOnTimeout([&] {
        if (window->progressForm()->isVisible() &&
            window->progressForm()->progressBar()->value() > 200)
            window->progressForm()->cancelButton()->click();
    });
    presser.start(1);
    test::NextMessageBox box;
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    presser.stop();
    EXPECT_EQ(window->statusBar()->currentMessage(), "Cancelled");
    QApplication::processEvents();
    EXPECT_FALSE(box.seen()) << box.caption.toStdString() << ": " << box.text.toStdString();
    EXPECT_FALSE(window->progressForm()->isVisible());
    EXPECT_TRUE(window->action(FormMain::Action::UpdateKbdList)->isEnabled());
}

TEST_F(MainWindow, AKeyboardErrorBoxKeepsItsTextAndSaysWhatToDo) {
    struct Case {
        std::string text;
        QString informative; // a part of it
    };
    const Case cases[] = {
        // The window's dialogs wait 2 s for a reply (the fixture's).
        {"MIDI TIMEOUT", "The keyboard did not answer within 2 s. Check the MIDI cables and the "
                         "devices in File > Preferences."},
        {"Memory Full", "not enough free memory"},
        {"MESSAGE REJECTED", "refused a message"},
    };
    for (const Case& c : cases) {
        test::NextMessageBox box;
        window->showKbdError(c.text, "receiving USER RHYTHM 141, block 3 of 5");
        ASSERT_TRUE(box.seen()) << c.text;
        EXPECT_EQ(box.caption, "ERROR");
        EXPECT_EQ(box.text.toStdString(), c.text);
        EXPECT_TRUE(box.informativeText.contains(c.informative))
            << c.text << ": " << box.informativeText.toStdString();
        EXPECT_EQ(box.detailedText, "receiving USER RHYTHM 141, block 3 of 5");
    }
}

TEST(MidiDialogWindowError, ANoDeviceChosenSaysWhereToChooseOne) {
    MidiDialogWindow window(nullptr);
    test::NextMessageBox box;
    window.showError("No Such MIDI Device: ");
    ASSERT_TRUE(box.seen());
    EXPECT_EQ(box.text, "No Such MIDI Device: ") << "the text stays as it is";
    EXPECT_TRUE(box.informativeText.contains("No MIDI device is chosen yet"))
        << box.informativeText.toStdString();
    EXPECT_TRUE(box.informativeText.contains("File > Preferences"));
}

TEST_F(MainWindow, ABackupEndsWithItsLineInTheStatusBarAndASummaryBox) {
    const std::string backupFolder = folder.filePath("backups").toStdString();
    window->setFolderChooser(
        [&](QWidget*, const QString&) { return QString::fromStdString(backupFolder); });
    window->formCreate();
    window->action(FormMain::Action::BackupKbd)->trigger();
    const QString line = window->statusBar()->currentMessage();
    EXPECT_TRUE(QRegularExpression("^Backup: \\d+ items, [\\d,]+ KB, \\d+ s, 0 unchanged$")
                    .match(line)
                    .hasMatch())
        << line.toStdString();
    auto* summary = window->findChild<QMessageBox*>("summaryBox");
    ASSERT_NE(summary, nullptr);
    EXPECT_TRUE(summary->isVisible());
    EXPECT_EQ(summary->windowTitle(), "Backup");
    EXPECT_TRUE(summary->text().contains("backed up into")) << summary->text().toStdString();
    summary->accept();
}

} // namespace
} // namespace qel::app
