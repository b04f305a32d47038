// The main window's look: it grows and remembers its size, splitter and
// column widths; the memory bar's text; the Card and Disk tabs' hints; the
// menus' wording; Help > About; and a launch that leaves the settings alone.

#include "MainWindowFixture.h"
#include "app/AboutDialog.h"
#include "app/CardTabHint.h"
#include "app/MemoryBar.h"
#include "app/WindowState.h"
#include "platform/midi/JackClient.h"
#include "platform/midi/RtMidiBackend.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSplitter>

namespace qel::app {
namespace {

using namespace test_support;
using Memory = MemoryBar::Memory;

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Drags the right edge of `column` of `list` by `by` pixels with the mouse,
// as the user would.
void dragColumnEdge(QTreeView* list, int column, int by) {
    QHeaderView* header = list->header();
    QWidget* target = header->viewport();
    const int y = header->height() / 2;
    const QPoint edge(header->sectionViewportPosition(column) + header->sectionSize(column) - 1, y);
    const QPoint moved = edge + QPoint(by, 0);
    QMouseEvent press(QEvent::MouseButtonPress, edge, target->mapToGlobal(edge), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QMouseEvent move(QEvent::MouseMove, moved, target->mapToGlobal(moved), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, moved, target->mapToGlobal(moved),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

// The width resizeColumnToContents() gives `column` of `list` now.
int contentsWidth(QTreeView* list, int column) {
    return std::max(static_cast<QAbstractItemView*>(list)->sizeHintForColumn(column),
                    list->header()->sectionSizeHint(column));
}

// ---- size, splitter and columns ----

TEST_F(MainWindow, OpensAtItsFirstSizeAndMayBeResizedAndMaximised) {
    window->formCreate();
    window->show();
    EXPECT_EQ(window->size(), QSize(792, 554 + window->menuBar()->sizeHint().height()));
    EXPECT_EQ(window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    window->resize(1100, 760);
    EXPECT_EQ(window->size(), QSize(1100, 760));
    // The lists share the grown width; neither is pushed off.
    const QList<int> sizes = window->listSplitter()->sizes();
    ASSERT_EQ(sizes.size(), 2);
    EXPECT_GT(sizes[0], 300);
    EXPECT_GT(sizes[1], 300);
    EXPECT_TRUE(window->listSplitter()->isAncestorOf(window->pcList()));
    EXPECT_TRUE(window->listSplitter()->isAncestorOf(window->kbdList()));
}

TEST_F(MainWindow, SizeSplitterAndColumnsSetByHandAreRememberedByTheNextWindow) {
    window->formCreate();
    window->show();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    window->resize(1000, 700);
    window->listSplitter()->setSizes({300, 680});
    const QList<int> split = window->listSplitter()->sizes();
    const int nameWidth = window->kbdList()->columnWidth(2);
    dragColumnEdge(window->kbdList(), 2, 60);
    ASSERT_EQ(window->kbdList()->columnWidth(2), nameWidth + 60) << "the drag reached the header";
    const QByteArray settingsBefore = contentsOf(registry);
    window->close();
    EXPECT_EQ(contentsOf(registry), settingsBefore) << "the look is not kept in the settings";
    EXPECT_TRUE(QFile::exists(WindowState::locationFor(registry)));

    window = std::make_unique<FormMain>(MidiDialogEnvironment{}, registry);
    window->formCreate();
    window->show();
    EXPECT_EQ(window->size(), QSize(1000, 700));
    EXPECT_EQ(window->listSplitter()->sizes(), split);
    EXPECT_EQ(window->kbdList()->columnWidth(2), nameWidth + 60);
}

TEST_F(MainWindow, ColumnsFitTheirContentsAtEveryFillUnlessSetByHand) {
    window->formCreate();
    window->show();
    QTreeView* list = window->kbdList();
    const int emptyWidth = list->columnWidth(2);
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    ASSERT_GT(list->model()->rowCount(), 0);
    EXPECT_EQ(list->columnWidth(2), contentsWidth(list, 2));
    EXPECT_GT(list->columnWidth(2), emptyWidth) << "names are wider than the bare header";
    EXPECT_EQ(list->columnWidth(1), contentsWidth(list, 1));

    // A column the user sized keeps its width across a refill; the others fit again.
    dragColumnEdge(list, 1, 40);
    const int handSet = list->columnWidth(1);
    chooseType(type::Song);
    EXPECT_EQ(list->columnWidth(1), handSet);
    EXPECT_EQ(list->columnWidth(2), contentsWidth(list, 2));
}

TEST_F(MainWindow, ALaunchClosedWithoutOkLeavesTheSettingsFileAsItWas) {
    const QByteArray before = contentsOf(registry);
    ASSERT_FALSE(before.isEmpty());
    window->formCreate();
    window->show();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    window->close();
    window.reset();
    EXPECT_EQ(contentsOf(registry), before);
}

class FreshStart : public MainWindow {
protected:
    FreshStart() : MainWindow(false) {}
};

TEST_F(FreshStart, TheFirstStartsPreferencesClosedWithoutOkWriteNoSettingsFile) {
    window = std::make_unique<FormMain>(MidiDialogEnvironment{}, registry);
    bool shown = false;
    const test::OnNextModal closeIt([&shown](QWidget* dialog) {
        shown = true;
        dialog->close();
    });
    window->formCreate();
    window->show();
    window->close();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(QFile::exists(registry));
}

// ---- the memory bar ----

struct MemoryText {
    Memory memory;
    std::int64_t total;
    std::int64_t used;
    const char* text;
};

class MemoryBarText : public testing::TestWithParam<MemoryText> {};

TEST_P(MemoryBarText, ReadsInKilobytesWithThousandsSeparators) {
    const MemoryText& c = GetParam();
    EXPECT_EQ(MemoryBar::textFor(c.memory, c.total, c.used).toStdString(), c.text);
    MemoryBar bar;
    bar.showUse(c.memory, c.total, c.used);
    EXPECT_EQ(bar.text().toStdString(), c.text) << "the bar shows it";
}

INSTANTIATE_TEST_SUITE_P(
    Figures, MemoryBarText,
    testing::Values(MemoryText{Memory::Data, 1572840, 5040, "Data 5 KB used, 1,531 KB free"},
                    MemoryText{Memory::Data, 1572840, 0, "Data 0 KB used, 1,536 KB free"},
                    MemoryText{Memory::Data, 1572840, 1, "Data <1 KB used, 1,536 KB free"},
                    MemoryText{Memory::Data, 1572840, 511, "Data <1 KB used, 1,535 KB free"},
                    MemoryText{Memory::Data, 1572840, 512, "Data 1 KB used, 1,535 KB free"},
                    MemoryText{Memory::Data, 1572840, 1572840, "Data 1,536 KB used, 0 KB free"},
                    MemoryText{Memory::Data, 1572840, 1572839, "Data 1,536 KB used, <1 KB free"},
                    MemoryText{Memory::Song, 65455, 0, "Song 0 KB used, 64 KB free"},
                    MemoryText{Memory::Song, 65455, 65455, "Song 64 KB used, 0 KB free"},
                    // Figures outside the memory are taken as its nearest end.
                    MemoryText{Memory::Song, 65455, -5, "Song 0 KB used, 64 KB free"},
                    MemoryText{Memory::Song, 65455, 70000, "Song 64 KB used, 0 KB free"}));

TEST(MemoryBarToolTip, GivesTheExactBytesAndWhatTheMemoryHolds) {
    const QString data = MemoryBar::toolTipFor(Memory::Data, 1572840, 5040);
    EXPECT_TRUE(data.startsWith("Data memory: 5,040 bytes used, 1,567,800 bytes free, of "
                                "1,572,840 bytes."))
        << data.toStdString();
    EXPECT_TRUE(data.contains("Standard MIDI Files")) << data.toStdString();
    const QString song = MemoryBar::toolTipFor(Memory::Song, 65455, 100);
    EXPECT_TRUE(song.startsWith("Song memory: 100 bytes used, 65,355 bytes free"))
        << song.toStdString();
    EXPECT_TRUE(song.contains("user songs")) << song.toStdString();
}

TEST_F(MainWindow, TheMemoryBarNamesTheMemoryOfTheChosenType) {
    window->formCreate();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    MemoryBar* bar = window->freeMemoryBar();
    chooseType(type::Song);
    ASSERT_TRUE(bar->isVisibleTo(window.get()));
    EXPECT_EQ(bar->text(), MemoryBar::textFor(Memory::Song, bar->maximum(), bar->value()));
    EXPECT_TRUE(bar->toolTip().startsWith("Song memory: ")) << bar->toolTip().toStdString();
    chooseType(type::Smf);
    ASSERT_TRUE(bar->isVisibleTo(window.get()));
    EXPECT_EQ(bar->maximum(), 1572840);
    EXPECT_EQ(bar->text(), MemoryBar::textFor(Memory::Data, bar->maximum(), bar->value()));
    EXPECT_TRUE(bar->toolTip().startsWith("Data memory: ")) << bar->toolTip().toStdString();
}

// ---- the Card and Disk tabs ----

class CardTab : public MainWindow {
protected:
    void useDrive(const QString& drive) {
        registry::Registry(registry).writeString(settings::cardKey, settings::driveValue,
                                                 drive.toStdString());
    }
    void openCardTab() {
        window->formCreate();
        window->show();
        window->action(FormMain::Action::UpdateKbdList)->trigger();
        window->kbdPages()->setCurrentIndex(1);
        ASSERT_EQ(window->kbdPages()->currentIndex(), 1);
    }
};

TEST_F(CardTab, ADriveWithoutTheCardFolderSaysSoAndCreateMakesIt) {
    const QString drive = folder.filePath("card") + "/";
    ASSERT_TRUE(QDir().mkpath(drive));
    useDrive(drive);
    openCardTab();
    CardTabHint* hint = window->cardTabHint();
    ASSERT_TRUE(hint->isVisible());
    EXPECT_TRUE(hint->label()->text().contains("no VORLA_MD folder on " + drive))
        << hint->label()->text().toStdString();
    ASSERT_TRUE(hint->createButton()->isVisible());
    EXPECT_EQ(hint->createButton()->text(), "Create VORLA_MD");

    hint->createButton()->click();
    EXPECT_TRUE(QFileInfo(drive + "VORLA_MD").isDir());
    EXPECT_FALSE(hint->isVisible()) << "the card is listed now";

    QDir(drive + "VORLA_MD").removeRecursively();
    window->action(FormMain::Action::UpdateCardList)->trigger();
    EXPECT_TRUE(hint->isVisible()) << "the folder went again";
}

TEST_F(CardTab, CreateOnADriveThatIsGoneSaysWhyWithTheSystemsReason) {
    const QString drive = folder.filePath("pulled") + "/";
    useDrive(drive);
    openCardTab();
    ASSERT_TRUE(window->cardTabHint()->createButton()->isVisible());
    NextMessageBox answer;
    window->cardTabHint()->createButton()->click();
    ASSERT_TRUE(answer.seen());
    EXPECT_EQ(answer.text,
              "Can't create the folder: " + drive + "VORLA_MD/ (No such file or directory)");
    EXPECT_FALSE(QFileInfo::exists(drive));
}

TEST_F(CardTab, NoDriveSetSaysWhereToSetOne) {
    openCardTab();
    CardTabHint* hint = window->cardTabHint();
    ASSERT_TRUE(hint->isVisible());
    EXPECT_TRUE(hint->label()->text().contains("File > Preferences"))
        << hint->label()->text().toStdString();
    EXPECT_FALSE(hint->createButton()->isVisible());
}

TEST_F(CardTab, TheSendAndReceiveButtonsCarryOnlyTheirOwnActionAfterwards) {
    openCardTab();
    window->kbdPages()->setCurrentIndex(2);
    window->kbdPages()->setCurrentIndex(0);
    // A tool button with more than one action draws a drop-down marker.
    for (QToolButton* button : {window->sendButton(), window->receiveButton()}) {
        EXPECT_EQ(button->actions().size(), 1) << button->objectName().toStdString();
        EXPECT_EQ(button->actions().value(0), button->defaultAction());
    }
}

TEST_F(MainWindow, TheDiskTabSaysItsModelsAreNotSupported) {
    window->formCreate();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    auto* note = window->kbdPages()->widget(2)->findChild<QLabel*>("DiskTabNote");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().contains("disk drive are not supported"))
        << note->text().toStdString();
}

// ---- menus and About ----

TEST_F(MainWindow, EveryMenuItemHasItsOwnMnemonic) {
    std::function<void(QMenu*)> check = [&check](QMenu* menu) {
        QSet<QChar> keys;
        for (QAction* item : menu->actions()) {
            if (item->isSeparator())
                continue;
            const QString text = item->text();
            const qsizetype at = text.indexOf('&');
            ASSERT_TRUE(at >= 0 && at + 1 < text.size())
                << menu->title().toStdString() << ": " << text.toStdString();
            const QChar key = text.at(at + 1).toLower();
            EXPECT_FALSE(keys.contains(key))
                << menu->title().toStdString() << ": " << text.toStdString();
            keys.insert(key);
            if (item->menu())
                check(item->menu());
        }
    };
    QSet<QChar> titles;
    for (QAction* entry : window->menuBar()->actions()) {
        ASSERT_NE(entry->menu(), nullptr);
        check(entry->menu());
        const QString title = entry->text();
        ASSERT_TRUE(title.contains('&')) << title.toStdString();
        titles.insert(title.at(title.indexOf('&') + 1).toLower());
    }
    EXPECT_EQ(titles.size(), window->menuBar()->actions().size());
    EXPECT_EQ(window->action(FormMain::Action::UpdateKbdList)->text(), "&Update List");
    EXPECT_EQ(window->action(FormMain::Action::OpenPrefDialog)->text(), "&Preferences…");
}

TEST(AboutDialogText, GivesTheVersionsTheLicenceAndTheLibraries) {
    const QString text = AboutDialog::text();
    EXPECT_TRUE(text.contains(QRegularExpression("^TQ-7400 Data Manager \\d+\\.\\d+")))
        << text.toStdString();
    EXPECT_TRUE(text.contains("MIT License")) << text.toStdString();
    EXPECT_TRUE(text.contains(QString("Qt ") + qVersion())) << text.toStdString();
    EXPECT_TRUE(text.contains("RtMidi " + QString::fromStdString(midi::rtMidiVersion())))
        << text.toStdString();
    const std::string jack = midi::JackClient::libraryVersion();
    EXPECT_FALSE(jack.empty());
    EXPECT_TRUE(text.contains("JACK " + QString::fromStdString(jack))) << text.toStdString();
    if (midi::JackClient::builtIn()) {
        EXPECT_TRUE(QString::fromStdString(jack).contains(QRegularExpression("^\\d+\\.\\d+")))
            << jack;
    } else {
        EXPECT_EQ(jack, "not built in");
    }
}

TEST_F(MainWindow, HelpAboutShowsTheAboutBox) {
    window->formCreate();
    QString shown;
    const test::OnNextModal read([&shown](QWidget* dialog) {
        if (auto* text = dialog->findChild<QLabel*>("AboutText"))
            shown = text->text();
    });
    window->aboutAction()->trigger();
    EXPECT_TRUE(read.ran());
    EXPECT_EQ(shown, AboutDialog::text());
}

} // namespace
} // namespace qel::app
