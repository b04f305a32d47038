// The MIDI dialog's on-screen window, on Qt's offscreen platform.

#include "app/MidiDialogWindow.h"

#include "app/ErrorDisplay.h"

#include <QApplication>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

using qel::app::MidiDialogWindow;

TEST(MidiDialogWindow, HasItsSizeItsProgressBarAndNoCloseBox) {
    MidiDialogWindow window(nullptr);
    EXPECT_EQ(window.size(), QSize(262, 101));
    EXPECT_EQ(window.progressBar()->geometry(), QRect(6, 19, 249, 33));
    EXPECT_FALSE(window.progressBar()->isTextVisible());
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(window.windowTitle().isEmpty());
}

TEST(MidiDialogWindow, ShowsWithoutModalityCentredOnTheMainWindow) {
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 800, 600);
    mainWindow.show();
    auto view = MidiDialogWindow::factory(&mainWindow)();
    auto& window = dynamic_cast<MidiDialogWindow&>(*view);
    view->setCaption("Receiving");
    EXPECT_EQ(window.windowTitle(), "Receiving");
    view->show();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    EXPECT_LE(
        (window.frameGeometry().center() - mainWindow.frameGeometry().center()).manhattanLength(),
        4);
    view->setRange(1000);
    view->setPosition(640);
    EXPECT_EQ(window.progressBar()->maximum(), 1000);
    EXPECT_EQ(window.progressBar()->value(), 640);
    view->hide();
    EXPECT_FALSE(window.isVisible());
}

TEST(MidiDialogWindow, CancelAndEscAskTheTransferToStopUntilTheNextShow) {
    MidiDialogWindow window(nullptr);
    window.show();
    EXPECT_FALSE(window.cancelRequested());
    window.cancelButton()->click();
    EXPECT_TRUE(window.cancelRequested());
    EXPECT_FALSE(window.cancelButton()->isEnabled());
    EXPECT_TRUE(window.isVisible()) << "the window stays until the transfer has ended";

    window.hide();
    window.show(); // the next transfer
    EXPECT_FALSE(window.cancelRequested());
    EXPECT_TRUE(window.cancelButton()->isEnabled());

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&window, &escape);
    EXPECT_TRUE(window.cancelRequested());
    EXPECT_TRUE(window.isVisible()) << "Esc cancels instead of hiding the window";
    window.hide();
}

TEST(MidiDialogWindow, OutlivesItsMainWindowAndThenCentresOnTheScreen) {
    auto mainWindow = std::make_unique<QWidget>();
    mainWindow->setGeometry(0, 0, 300, 200);
    auto view = MidiDialogWindow::factory(mainWindow.get())();
    auto& window = dynamic_cast<MidiDialogWindow&>(*view);
    mainWindow.reset();
    view->setCaption("Sending");
    view->show(); // no main window to centre on any more
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Sending");
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window.frameGeometry()))
        << "the window is placed on the screen, not at the gone window's place";
    view->hide();
    EXPECT_FALSE(window.isVisible());
}

struct StopCase {
    const char* text;
    const char* shown;
};

void PrintTo(const StopCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class ErrorDisplay : public testing::TestWithParam<StopCase> {};

TEST_P(ErrorDisplay, AppendsAFullStopAfterCharactersAboveIt) {
    EXPECT_EQ(qel::app::errorDisplayText(GetParam().text).toStdString(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ErrorDisplay,
    testing::Values(StopCase{"No Such MIDI Device: ", "No Such MIDI Device: "},
                    StopCase{"No Such MIDI Device: Synth", "No Such MIDI Device: Synth."},
                    StopCase{"Done.", "Done."}, StopCase{"Port 1", "Port 1."},
                    StopCase{"Really?", "Really?."}, StopCase{"a-", "a-"}, StopCase{"", ""}));

} // namespace
