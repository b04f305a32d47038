// The main window on Qt's offscreen platform, against the in-process virtual
// keyboard: its start state, the data type and tab switching, the two error
// displays, "Update List" through its action, and the lock while it waits.

#include "app/FormMain.h"

#include "app/MainWindowFixture.h"
#include "app/MidiLogWindow.h"
#include "app/ProgressForm.h"
#include "core/SettingsKeys.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/device/VirtualKeyboard.h"
#include "platform/registry/Registry.h"
#include "support/NewestSnapshot.h"
#include "support/OnNextModal.h"
#include "support/VirtualKeyboardBench.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>
#include <gtest/gtest.h>

namespace qel::app {
namespace {

using namespace std::chrono_literals;
using test::NextMessageBox;
using test_support::EveryMessageBox;
using test_support::exitEndsTheProgram;
using test_support::MainWindow;

TEST_F(MainWindow, StartsWithUserToneAndEverythingThatNeedsAListDisabled) {
    window->formCreate();
    EXPECT_EQ(preferencesShown, 0);
    EXPECT_EQ(window->windowTitle(), "TQ-7400 Music Data Management Software");
    ASSERT_EQ(window->dataTypeBox()->count(), 10) << "ALL USER DATA is not offered";
    EXPECT_EQ(window->dataTypeBox()->currentText(), "USER TONE");
    EXPECT_EQ(window->dataTypeBox()->itemText(9), "PACKAGE");
    for (int t = 0; t <= 10; ++t)
        EXPECT_TRUE(QFile::exists(QString(":/icons/type%1.png").arg(t))) << "icon of type " << t;
    for (const char* icon : {"update", "delete", "receive", "send", "tq7400"})
        EXPECT_TRUE(QFile::exists(QString(":/icons/%1.png").arg(icon))) << icon;
    EXPECT_FALSE(window->freeMemoryBar()->isVisibleTo(window.get()));
    EXPECT_FALSE(window->sendButton()->isEnabled());
    EXPECT_FALSE(window->receiveButton()->isEnabled());
    EXPECT_FALSE(window->action(FormMain::Action::DeleteKbdData)->isEnabled());
    EXPECT_FALSE(window->action(FormMain::Action::DeleteCardData)->isEnabled());
    EXPECT_FALSE(window->kbdPages()->isTabVisible(1));
    EXPECT_FALSE(window->kbdPages()->isTabVisible(2));
    EXPECT_TRUE(messages.empty()) << "no MIDI traffic at start";
    EXPECT_EQ(window->action(FormMain::Action::UpdateKbdList)->text(), "&Update List");
    EXPECT_EQ(window->action(FormMain::Action::UpdateKbdList)->toolTip(), "Update List");
    EXPECT_EQ(window->action(FormMain::Action::DeleteKbdData)->toolTip(), "Delete Data");
}

class FirstStart : public MainWindow {
protected:
    FirstStart() : MainWindow(false) {}
};

TEST_F(FirstStart, OpensThePreferencesBeforeTheWindowOnlyOnce) {
    window->formCreate();
    EXPECT_EQ(preferencesShown, 1);
    window->formCreate(); // the key exists now, even had the user cancelled
    EXPECT_EQ(preferencesShown, 1);
}

TEST_F(FirstStart, TheRealPreferencesCancelledStillMarkTheFirstStartDoneWithoutSettings) {
    window = std::make_unique<FormMain>(MidiDialogEnvironment{}, registry);
    bool shown = false;
    std::function<void()> cancel = [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) {
            QTimer::singleShot(0, cancel);
            return;
        }
        shown = dialog->windowTitle() == "Preferences";
        qobject_cast<QDialog*>(dialog)->reject();
    };
    QTimer::singleShot(0, cancel);
    window->formCreate();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(QFile::exists(registry)) << "only OK writes the settings";
    // The next start does not open the preferences by itself again.
    window = std::make_unique<FormMain>(MidiDialogEnvironment{}, registry);
    int shownAgain = 0;
    window->setPreferencesOpener([&shownAgain](QWidget*) { ++shownAgain; });
    window->formCreate();
    EXPECT_EQ(shownAgain, 0);
    EXPECT_FALSE(QFile::exists(registry));
}

TEST_F(FirstStart, ACorruptSettingsFileIsKeptAsideAndReportedOnce) {
    {
        QFile file(registry);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{ not json");
    }
    NextMessageBox answer;
    window->formCreate();
    ASSERT_TRUE(answer.seen());
    EXPECT_EQ(answer.caption, QApplication::applicationName());
    EXPECT_TRUE(answer.text.contains(".bad")) << answer.text.toStdString();
    EXPECT_TRUE(QFile::exists(registry + ".bad"));
    EXPECT_EQ(preferencesShown, 1) << "the program starts with default settings";
    window->formCreate(); // reported once
    EXPECT_EQ(preferencesShown, 1);
}

TEST_F(MainWindow, DeleteServesTypes3457And8Only) {
    window->formCreate();
    for (int t = 0; t < 10; ++t) {
        chooseType(t);
        EXPECT_EQ(window->action(FormMain::Action::DeleteKbdData)->isEnabled(),
                  t == 3 || t == 4 || t == 5 || t == 7 || t == 8)
            << typeLabels[t];
    }
}

TEST_F(MainWindow, UpdateListFillsTheKeyboardTabAndSwitchingTabsRebindsSendAndReceive) {
    window->formCreate();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    EXPECT_EQ(window->kbdList()->model()->rowCount(), 100);
    EXPECT_EQ(window->kbdList()->model()->index(0, 1).data().toString(), "600");
    EXPECT_EQ(window->kbdPages()->tabText(0), "TQ-7400");
    EXPECT_TRUE(window->kbdPages()->isTabVisible(1));
    EXPECT_TRUE(window->kbdPages()->isTabVisible(2));
    EXPECT_TRUE(window->sendButton()->isEnabled());
    EXPECT_TRUE(window->receiveButton()->isEnabled());
    EXPECT_FALSE(window->progressForm()->isVisible());
    EXPECT_EQ(window->progressForm()->progressBar()->value(), 1000);

    window->kbdPages()->setCurrentIndex(1); // Card
    EXPECT_EQ(window->sendButton()->defaultAction(), window->action(FormMain::Action::PutToCard));
    EXPECT_TRUE(window->sendButton()->isEnabled());
    EXPECT_FALSE(window->receiveButton()->isEnabled());
    window->kbdPages()->setCurrentIndex(0);
    EXPECT_EQ(window->sendButton()->defaultAction(), window->action(FormMain::Action::PutToKbd));
    EXPECT_TRUE(window->sendButton()->isEnabled());
    EXPECT_TRUE(window->receiveButton()->isEnabled());

    chooseType(type::Song);
    EXPECT_TRUE(window->freeMemoryBar()->isVisibleTo(window.get()));
    EXPECT_EQ(window->freeMemoryBar()->maximum(), 65455);
    chooseType(type::UserDsp);
    EXPECT_FALSE(window->freeMemoryBar()->isVisibleTo(window.get()));
}

TEST_F(MainWindow, TheMidiLogShowsTheTrafficOnlyWhileItIsOpen) {
    window->formCreate();
    window->action(FormMain::Action::UpdateThisType)->trigger();
    window->action(FormMain::Action::MidiLog)->trigger();
    ASSERT_TRUE(window->midiLogWindow()->isVisible());
    EXPECT_TRUE(window->midiLogWindow()->text()->toPlainText().isEmpty())
        << "nothing was recorded while it was closed";
    window->action(FormMain::Action::UpdateThisType)->trigger();
    const QStringList lines = window->midiLogWindow()->text()->toPlainText().split('\n');
    // Begin communication and the model, 100 sizes (a tone's is fixed: none
    // asked), 200 name halves, the two memory figures; each out and in but the first.
    ASSERT_EQ(lines.size(), 1 + 2 * (1 + 200 + 2));
    EXPECT_TRUE(lines[0].contains("  out  parameter value: Command 0, parameter 32"))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("  out  parameter request: Command 0, parameter 0"));
    EXPECT_TRUE(lines[2].contains("  in   parameter value: Command 0, parameter 0"));
    window->midiLogWindow()->hide();
    window->action(FormMain::Action::UpdateThisType)->trigger();
    window->action(FormMain::Action::MidiLog)->trigger();
    EXPECT_EQ(window->midiLogWindow()->text()->toPlainText().split('\n').size(), lines.size());
}

TEST_F(MainWindow, DeleteEmptiesTheSelectedSlot) {
    window->formCreate();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    chooseType(type::UserRhythm);
    ASSERT_NE(window->kbdList()->model()->index(0, 2).data().toString(), "(empty)");
    window->kbdList()->setCurrentIndex(window->kbdList()->model()->index(0, 0));
    window->action(FormMain::Action::DeleteKbdData)->trigger();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions.front().action, DestroyQuestion::Action::Delete);
    EXPECT_EQ(window->kbdList()->model()->index(0, 2).data().toString(), "(empty)");
    const kbdsim::Bytes* rhythm = simulator->memory().data(category::Rhythm, 140);
    EXPECT_TRUE(rhythm == nullptr || rhythm->empty());
}

TEST_F(MainWindow, TheTwoErrorDisplays) {
    NextMessageBox answer;
    window->showDefaultError("Memory Full");
    ASSERT_TRUE(answer.seen());
    EXPECT_EQ(answer.caption, QApplication::applicationName());
    EXPECT_EQ(answer.text, "Memory Full.");
    EXPECT_EQ(answer.icon, QMessageBox::Critical);

    NextMessageBox kbdAnswer;
    window->showKbdError("Memory Full");
    ASSERT_TRUE(kbdAnswer.seen());
    EXPECT_EQ(kbdAnswer.caption, "ERROR");
    EXPECT_EQ(kbdAnswer.text, "Memory Full");
    EXPECT_EQ(kbdAnswer.icon, QMessageBox::NoIcon);
    EXPECT_EQ(kbdAnswer.detailedText, "");
}

TEST_F(MainWindow, AFailedReceiveShowsItsTextAsAlwaysAndItsStepAsTheDetail) {
    window->formCreate();
    window->show();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    chooseType(type::UserRhythm);
    // The demo's second rhythm has five blocks; its third comes spoiled.
    kbdsim::Options options = simulator->options();
    options.faults.corruptAtBlock = 2;
    options.faults.blockCorruption = kbdsim::BlockCorruption::Checksum;
    simulator->setOptions(options);
    NextMessageBox answer;
    window->kbdList()->setCurrentIndex(window->kbdList()->model()->index(1, 0));
    window->receiveButton()->click();
    ASSERT_TRUE(answer.seen());
    EXPECT_EQ(answer.caption, "ERROR");
    EXPECT_EQ(answer.text, "SYSEX ERROR");
    EXPECT_EQ(answer.detailedText, "receiving USER RHYTHM 141, block 3 of 5");
}

TEST_F(MainWindow, AnUnknownKeyboardShowsUnderErrorAndGivesTheButtonsBack) {
    window->formCreate();
    kbdsim::Options options = simulator->options();
    options.modelCode = 9;
    simulator->setOptions(options);
    NextMessageBox answer;
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    ASSERT_TRUE(answer.seen());
    EXPECT_EQ(answer.caption, "ERROR");
    EXPECT_EQ(answer.text, "Unknown Keyboard");
    EXPECT_TRUE(window->action(FormMain::Action::UpdateKbdList)->isEnabled());
    EXPECT_TRUE(window->dataTypeBox()->isEnabled());
    EXPECT_FALSE(window->sendButton()->isEnabled());
}

TEST_F(MainWindow, WhileUpdateListWaitsNothingNestsAndTheWindowClosesAfterwards) {
    window->formCreate();
    window->show();
    int handled = 0;
    duringWait = [&] {
        if (++handled != 50)
            return;
        // What a user could do while the list is read.
        const std::size_t before = messages.size();
        window->action(FormMain::Action::UpdateKbdList)->trigger();
        window->action(FormMain::Action::UpdateThisType)->trigger();
        window->action(FormMain::Action::UpdatePCList)->trigger();
        window->action(FormMain::Action::OpenPrefDialog)->trigger();
        window->action(FormMain::Action::InitSystem)->trigger();
        chooseType(type::Song);
        window->close();
        EXPECT_EQ(messages.size(), before);
        EXPECT_TRUE(window->isVisible()) << "the close waits for the action";
        EXPECT_FALSE(window->dataTypeBox()->isEnabled());
        EXPECT_FALSE(window->kbdList()->isEnabled());
    };
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    EXPECT_GT(handled, 50);
    EXPECT_EQ(preferencesShown, 0);
    EXPECT_EQ(window->manager().currentType(), type::UserTone);
    EXPECT_EQ(window->kbdList()->model()->rowCount(), 100);
    // The close that was put off happens once the action has ended.
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, ReceiveAndSendThroughTheButtonsMoveItemsIntoOtherSlots) {
    window->formCreate();
    window->show();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    const kbdsim::KeyboardMemory original = simulator->memory();
    struct Trip {
        type::id type;
        int sourceRow, targetRow; // -1: no keyboard row selected
    };
    for (const Trip& trip :
         {Trip{type::UserToneWithWave, 0, 5}, Trip{type::UserDrumWithWave, 0, 2},
          Trip{type::UserRhythm, 0, 9}, Trip{type::Song, 0, 4}, Trip{type::Smf, 0, -1}}) {
        SCOPED_TRACE(typeLabels[trip.type]);
        chooseType(trip.type);
        window->kbdList()->setCurrentIndex(window->kbdList()->model()->index(trip.sourceRow, 0));
        window->receiveButton()->click();
        ASSERT_EQ(window->pcList()->model()->rowCount(), 1) << "the received file is listed";
        window->pcList()->setCurrentIndex(window->pcList()->model()->index(0, 0));
        window->kbdList()->clearSelection();
        if (trip.targetRow >= 0)
            window->kbdList()->setCurrentIndex(
                window->kbdList()->model()->index(trip.targetRow, 0));
        window->sendButton()->click();
        EXPECT_TRUE(window->sendButton()->isEnabled()) << "the buttons are given back";
    }
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    const kbdsim::KeyboardMemory& memory = simulator->memory();
    EXPECT_EQ(*memory.data(category::Rhythm, 149), *original.data(category::Rhythm, 140));
    EXPECT_EQ(*memory.data(category::Song, 4), *original.data(category::Song, 0));
    EXPECT_EQ(*memory.data(category::SMF, 3), *original.data(category::SMF, 0));
    EXPECT_EQ(memory.name(category::Tone, 855), original.name(category::Tone, 850));
    EXPECT_EQ(memory.name(category::Drum, 19), original.name(category::Drum, 17));
    chooseType(type::UserRhythm);
    EXPECT_EQ(window->kbdList()->model()->index(9, 2).data().toString().toStdString(),
              original.name(category::Rhythm, 140));
}

TEST_F(MainWindow, SendOnTheCardTabWritesTheFileToTheCardAndListsIt) {
    const EveryMessageBox boxes;
    const QString drive = folder.filePath("card");
    ASSERT_TRUE(QDir().mkpath(drive + "/VORLA_MD"));
    registry::Registry(registry).writeString(settings::cardKey, settings::driveValue,
                                             drive.toStdString() + "/");
    window->formCreate();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    chooseType(type::UserRhythm);
    window->kbdList()->setCurrentIndex(window->kbdList()->model()->index(0, 0));
    window->receiveButton()->click();
    ASSERT_EQ(window->pcList()->model()->rowCount(), 1);
    const QString received = window->pcList()->model()->index(0, 0).data().toString();

    window->kbdPages()->setCurrentIndex(1); // Card
    EXPECT_EQ(window->cardList()->model()->rowCount(), 0) << "the card starts empty";
    window->pcList()->setCurrentIndex(window->pcList()->model()->index(0, 0));
    window->sendButton()->click();
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join("; ").toStdString();
    ASSERT_EQ(window->cardList()->model()->rowCount(), 1);
    EXPECT_EQ(window->cardList()->model()->index(0, 0).data().toString(), received);
    EXPECT_EQ(QDir(drive + "/VORLA_MD").entryList(QDir::Files).size(), 1);
}

TEST_F(MainWindow, SendOnTheDiskTabSaysThatItIsNotProvided) {
    window->formCreate();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    window->kbdPages()->setCurrentIndex(2);
    ASSERT_EQ(window->kbdPages()->currentIndex(), 2);
    EXPECT_FALSE(window->kbdPages()->widget(2)->isEnabled());
    NextMessageBox answer;
    window->sendButton()->click();
    ASSERT_TRUE(answer.seen());
    EXPECT_EQ(answer.caption, QApplication::applicationName());
    EXPECT_EQ(answer.text, "Put Data To Disk.");
}

// ---- Exit after a failure ----

enum class MidiFailure { NoSuchDevice, TimeOut, RefusedPort };

class ExitAfterAFailure : public MainWindow, public testing::WithParamInterface<MidiFailure> {};

TEST_P(ExitAfterAFailure, EndsTheProgram) {
    std::unique_ptr<midi::InputDevice> heldElsewhere;
    switch (GetParam()) {
    case MidiFailure::NoSuchDevice:
        registry::Registry(registry).writeString(settings::midiKey, settings::inputDeviceValue,
                                                 "Gone Keyboard");
        break;
    case MidiFailure::TimeOut: {
        kbdsim::Options options = simulator->options();
        options.faults.noReply.kind = kbdsim::MessageKind::ModelRequest;
        simulator->setOptions(options);
        break;
    }
    case MidiFailure::RefusedPort:
        // Another user of the input: the dialog's own open is refused.
        ASSERT_EQ(driver->openInput(0, 256, {}, heldElsewhere), 0u);
        break;
    }
    window->formCreate();
    window->show();
    {
        EveryMessageBox answers;
        window->action(FormMain::Action::UpdateKbdList)->trigger();
        window->action(FormMain::Action::InitSystem)->trigger();
        ASSERT_FALSE(answers.texts().isEmpty());
        EXPECT_TRUE(answers.texts().back().contains("MIDI"))
            << answers.texts().back().toStdString();
    }
    ASSERT_FALSE(window->manager().busy());
    ASSERT_TRUE(window->action(FormMain::Action::Exit)->isEnabled());
    EXPECT_TRUE(exitEndsTheProgram(window->action(FormMain::Action::Exit)));
    EXPECT_FALSE(window->isVisible());
}

INSTANTIATE_TEST_SUITE_P(MainWindow, ExitAfterAFailure,
                         testing::Values(MidiFailure::NoSuchDevice, MidiFailure::TimeOut,
                                         MidiFailure::RefusedPort),
                         [](const auto& info) {
                             switch (info.param) {
                             case MidiFailure::NoSuchDevice:
                                 return "NoSuchDevice";
                             case MidiFailure::TimeOut:
                                 return "TimeOut";
                             case MidiFailure::RefusedPort:
                                 return "RefusedPort";
                             }
                             return "";
                         });

TEST_F(MainWindow, ACloseAskedForDuringInitializeHappensOnceItHasEnded) {
    registry::Registry(registry).writeString(settings::midiKey, settings::inputDeviceValue,
                                             "Gone Keyboard");
    window->formCreate();
    window->show();
    // The desktop closes every window (a logout) while Initialize shows that
    // the device is missing. Initialize keeps the buttons as they are, so the
    // window is never unlocked afterwards: the close must not wait for that.
    {
        EveryMessageBox answers([&] {
            window->close();
            EXPECT_TRUE(window->isVisible()) << "the close waits for the action";
        });
        window->action(FormMain::Action::InitSystem)->trigger();
        EXPECT_FALSE(answers.texts().isEmpty());
    }
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, ACloseThatHappenedIsNotRepeatedAfterTheNextAction) {
    window->formCreate();
    window->show();
    duringWait = [&] { window->close(); };
    window->action(FormMain::Action::UpdateThisType)->trigger();
    duringWait = {};
    QApplication::processEvents();
    ASSERT_FALSE(window->isVisible());
    window->show(); // shown again, as after a minimised start
    window->action(FormMain::Action::UpdateThisType)->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible()) << "a close is carried out once";
}

// ---- the preferences ----

struct DeviceChange {
    const char* name;
    const char* input;
    const char* output;
    bool forgotten;
};

class PreferencesClosed : public MainWindow, public testing::WithParamInterface<DeviceChange> {};

TEST_P(PreferencesClosed, ClearTheKeyboardListOnlyWhenTheDevicesChanged) {
    window->formCreate();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    chooseType(type::Song);
    const int rows = window->kbdList()->model()->rowCount();
    ASSERT_GT(rows, 0);
    ASSERT_TRUE(window->sendButton()->isEnabled());
    window->setPreferencesOpener([this](QWidget*) {
        registry::Registry settings(registry);
        settings.writeString(settings::midiKey, settings::inputDeviceValue, GetParam().input);
        settings.writeString(settings::midiKey, settings::outputDeviceValue, GetParam().output);
    });
    window->action(FormMain::Action::OpenPrefDialog)->trigger();
    if (GetParam().forgotten) {
        EXPECT_EQ(window->kbdList()->model()->rowCount(), 0);
        EXPECT_FALSE(window->sendButton()->isEnabled());
        EXPECT_FALSE(window->receiveButton()->isEnabled());
        EXPECT_TRUE(window->freeMemoryBar()->isHidden()) << "no memory figures of the old keyboard";
    } else {
        EXPECT_EQ(window->kbdList()->model()->rowCount(), rows);
        EXPECT_TRUE(window->sendButton()->isEnabled());
    }
    // The next successful Update List, on the keyboard chosen again, brings it all back.
    window->setPreferencesOpener([this](QWidget*) {
        registry::Registry settings(registry);
        settings.writeString(settings::midiKey, settings::inputDeviceValue,
                             kbdsim::virtualKeyboardName);
        settings.writeString(settings::midiKey, settings::outputDeviceValue,
                             kbdsim::virtualKeyboardName);
    });
    window->action(FormMain::Action::OpenPrefDialog)->trigger();
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    EXPECT_EQ(window->kbdList()->model()->rowCount(), rows);
    EXPECT_TRUE(window->sendButton()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, PreferencesClosed,
    testing::Values(DeviceChange{"Unchanged", kbdsim::virtualKeyboardName,
                                 kbdsim::virtualKeyboardName, false},
                    DeviceChange{"OtherInput", "Other In", kbdsim::virtualKeyboardName, true},
                    DeviceChange{"OtherOutput", kbdsim::virtualKeyboardName, "Other Out", true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the actions the window does not provide ----

TEST_F(MainWindow, TheActionsNotProvidedSayTheirTitles) {
    struct NotProvided {
        FormMain::Action action;
        const char* message;
    };
    const NotProvided cases[] = {{FormMain::Action::DeleteCardData, "Delete Card Data."},
                                 {FormMain::Action::GetFromCard, "Get Data From Card."},
                                 {FormMain::Action::UpdateDiskList, "Update Disk List."},
                                 {FormMain::Action::DeleteDiskData, "Delete Disk Data."},
                                 {FormMain::Action::PutToDisk, "Put Data To Disk."},
                                 {FormMain::Action::GetFromDisk, "Get Data From Disk."}};
    window->formCreate();
    for (const NotProvided& c : cases) {
        // Some are disabled on screen; what they say when used is the same.
        window->action(c.action)->setEnabled(true);
        NextMessageBox answer;
        window->action(c.action)->trigger();
        ASSERT_TRUE(answer.seen()) << c.message;
        EXPECT_EQ(answer.caption, QApplication::applicationName());
        EXPECT_EQ(answer.text, c.message);
    }
    EXPECT_TRUE(messages.empty()) << "no MIDI traffic";
}

// ---- backup and restore through the window ----

TEST_F(MainWindow, BackUpAndRestoreRunThroughTheWindowsActionsIntoTheChosenFolder) {
    const std::string backupFolder = folder.filePath("backups").toStdString();
    QStringList titles;
    window->setFolderChooser([&](QWidget*, const QString& title) {
        titles.push_back(title);
        return QString::fromStdString(backupFolder);
    });
    window->formCreate();
    const auto original = simulator->memory().storedSlots();
    ASSERT_FALSE(original.empty()) << "the demo content has items to back up";

    window->action(FormMain::Action::BackupKbd)->trigger();
    const std::string snapshot = test::newestSnapshot(backupFolder);
    EXPECT_TRUE(std::filesystem::exists(snapshot + "/manifest.json")) << snapshot;
    EXPECT_EQ(titles, QStringList{"Back Up Keyboard Into"});

    // The keyboard changes; the restore puts every backed-up item back.
    window->action(FormMain::Action::UpdateKbdList)->trigger();
    chooseType(type::UserRhythm);
    ASSERT_NE(window->kbdList()->model()->index(0, 2).data().toString(), "(empty)");
    window->kbdList()->setCurrentIndex(window->kbdList()->model()->index(0, 0));
    window->action(FormMain::Action::DeleteKbdData)->trigger();
    ASSERT_EQ(window->kbdList()->model()->index(0, 2).data().toString(), "(empty)");
    const kbdsim::Bytes* deleted = simulator->memory().data(category::Rhythm, 140);
    ASSERT_TRUE(deleted == nullptr || deleted->empty());
    messages.clear();

    window->action(FormMain::Action::RestoreKbd)->trigger();
    EXPECT_EQ(titles.back(), "Restore Keyboard From");
    EXPECT_FALSE(messages.empty()) << "the restore sent the backup";
    const auto restored = simulator->memory().storedSlots();
    ASSERT_EQ(restored.size(), original.size());
    for (const auto& [key, slot] : original) {
        ASSERT_TRUE(restored.contains(key)) << key;
        EXPECT_EQ(restored.at(key).data, slot.data) << key;
    }
    EXPECT_NE(window->kbdList()->model()->index(0, 3).data().toString(), "0")
        << "the list read again shows the restored rhythm";
}

} // namespace
} // namespace qel::app
