// The preferences dialog, its directory chooser and the drive selector, on
// Qt's offscreen platform, each test with a registry in a folder of its own
// and MIDI devices made in-process.

#include "app/PrefDialog.h"

#include "app/DriveSelector.h"
#include "app/PrefDirectoryDialog.h"
#include "core/Exception.h"
#include "core/SettingsKeys.h"
#include "kbdsim/device/VirtualKeyboard.h"
#include "platform/files/DataDirectory.h"
#include "platform/midi/VirtualDevice.h"
#include "support/OnNextModal.h"
#include "support/ScratchFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace qel::app {
namespace {

using namespace std::chrono_literals;
using test::OnNextModal;
namespace keys = settings;

const std::string keyboardName = kbdsim::virtualKeyboardName;

std::unique_ptr<midi::Backend> silentDevice(const std::string& name) {
    return std::make_unique<midi::VirtualDeviceBackend>(
        name, [](const std::vector<std::uint8_t>&) { return std::vector<midi::TimedMessage>{}; });
}

// "Port A", "Port B" (both silent), then the virtual keyboard, in both lists.
std::shared_ptr<midi::Driver> threeDevices() {
    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(silentDevice("Port A"));
    backends.push_back(silentDevice("Port B"));
    backends.push_back(
        kbdsim::makeVirtualKeyboardBackend(std::make_shared<kbdsim::KeyboardSimulator>()));
    return std::make_shared<midi::Driver>(std::move(backends));
}

std::shared_ptr<midi::Driver> noDevices() {
    return std::make_shared<midi::Driver>(std::vector<std::unique_ptr<midi::Backend>>{});
}

class PrefDialogTest : public testing::Test {
protected:
    QString location() const { return QString::fromStdString(folder / "registry.json"); }
    registry::Registry stored() const { return registry::Registry(location()); }
    std::optional<std::string> value(const char* key, const char* name) const {
        return stored().readString(key, name);
    }
    void store(const char* key, const char* name, const std::string& text) {
        ASSERT_TRUE(stored().writeString(key, name, text));
    }
    std::unique_ptr<PrefDialog> open(std::shared_ptr<midi::Driver> driver = threeDevices(),
                                     std::chrono::milliseconds findTimeout = 1500ms) {
        return std::make_unique<PrefDialog>(nullptr, location(), std::move(driver), findTimeout);
    }
    // A folder inside the scratch folder, made on disk; its path without a final '/'.
    std::string makeFolder(const std::string& relative) {
        std::filesystem::create_directories(folder / relative);
        return QDir::cleanPath(QString::fromStdString(folder / relative)).toStdString();
    }

    test::ScratchFolder folder;
};

// ---- the window ----

TEST_F(PrefDialogTest, ShowsItsPagesAndButtonsWithoutACloseBox) {
    auto dialog = open();
    EXPECT_EQ(dialog->windowTitle(), "Preferences");
    ASSERT_EQ(dialog->pages()->count(), 3);
    EXPECT_EQ(dialog->pages()->tabText(0), "MIDI");
    EXPECT_EQ(dialog->pages()->tabText(1), "Directory");
    EXPECT_EQ(dialog->pages()->tabText(2), "Card");
    EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_TRUE(dialog->okButton()->isDefault());
    EXPECT_EQ(dialog->cancelButton()->text(), "Cancel");
    EXPECT_EQ(dialog->directoryBrowseButton()->text(), "Browse...");
    EXPECT_FALSE(dialog->inputList()->isEditable()) << "only a listed device can be chosen";
    EXPECT_FALSE(dialog->outputList()->isEditable());
    EXPECT_TRUE(dialog->directoryEdit()->isReadOnly()) << "the directory comes from Browse... only";
    EXPECT_EQ(dialog->findChild<QComboBox*>("MIDIInDevList"), dialog->inputList());
    EXPECT_EQ(dialog->findChild<QComboBox*>("MIDIOutDevList"), dialog->outputList());
    EXPECT_EQ(dialog->findChild<QLineEdit*>("DirectoryEdit"), dialog->directoryEdit());
    EXPECT_EQ(dialog->findChild<DriveSelector*>("CardDrvList"), dialog->cardDriveList());
    QStringList labels;
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        labels << label->text();
    EXPECT_TRUE(labels.contains("MIDI Input Device"));
    EXPECT_TRUE(labels.contains("MIDI Output Device"));
}

TEST_F(PrefDialogTest, ShowsCentredOnItsOwner) {
    QWidget owner;
    owner.setGeometry(200, 150, 800, 600);
    owner.show();
    PrefDialog dialog(&owner, location(), threeDevices());
    dialog.show();
    EXPECT_LE((dialog.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(),
              4);
    dialog.reject();
}

// ---- the MIDI page ----

TEST_F(PrefDialogTest, ListsTheDevicesInDriverOrder) {
    auto dialog = open();
    const QStringList expected{"Port A", "Port B", QString::fromStdString(keyboardName)};
    QStringList inputs, outputs;
    for (int i = 0; i < dialog->inputList()->count(); ++i)
        inputs << dialog->inputList()->itemText(i);
    for (int i = 0; i < dialog->outputList()->count(); ++i)
        outputs << dialog->outputList()->itemText(i);
    EXPECT_EQ(inputs, expected);
    EXPECT_EQ(outputs, expected);
}

struct StoredDeviceCase {
    const char* name;
    std::optional<std::string> storedInput;
    std::optional<std::string> storedOutput;
    std::string shownInput;
    std::string shownOutput;
};

void PrintTo(const StoredDeviceCase& c, std::ostream* out) {
    *out << c.name;
}

class StoredDevices : public PrefDialogTest,
                      public testing::WithParamInterface<StoredDeviceCase> {};

TEST_P(StoredDevices, PreselectTheStoredDeviceOrTheFirstAndOkStoresTheSelection) {
    const StoredDeviceCase& c = GetParam();
    if (c.storedInput)
        store(keys::midiKey, keys::inputDeviceValue, *c.storedInput);
    if (c.storedOutput)
        store(keys::midiKey, keys::outputDeviceValue, *c.storedOutput);
    auto dialog = open();
    EXPECT_EQ(dialog->inputList()->currentText().toStdString(), c.shownInput);
    EXPECT_EQ(dialog->outputList()->currentText().toStdString(), c.shownOutput);
    dialog->okButton()->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(value(keys::midiKey, keys::inputDeviceValue), c.shownInput);
    EXPECT_EQ(value(keys::midiKey, keys::outputDeviceValue), c.shownOutput);
}

INSTANTIATE_TEST_SUITE_P(
    Names, StoredDevices,
    testing::Values(
        StoredDeviceCase{"nothing stored", std::nullopt, std::nullopt, "Port A", "Port A"},
        StoredDeviceCase{"stored names", "Port B", keyboardName, "Port B", keyboardName},
        StoredDeviceCase{"other letter case", "port b", "tq-7400 VIRTUAL keyboard", "Port B",
                         keyboardName},
        StoredDeviceCase{"a device that is gone", "Old Cable", "Port B", "Port A", "Port B"},
        StoredDeviceCase{"a part of a name is no match", "Port", "Port B ", "Port A", "Port A"}),
    [](const testing::TestParamInfo<StoredDeviceCase>& info) {
        std::string name;
        for (const char* c = info.param.name; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST_F(PrefDialogTest, WithoutDevicesOkStoresNoDeviceAndKeepsTheStoredNames) {
    store(keys::midiKey, keys::inputDeviceValue, "Old In");
    auto dialog = open(noDevices());
    EXPECT_EQ(dialog->inputList()->count(), 0);
    EXPECT_EQ(dialog->inputList()->currentIndex(), -1);
    EXPECT_NO_THROW(dialog->okBtnClick());
    EXPECT_EQ(value(keys::midiKey, keys::inputDeviceValue), "Old In");
    EXPECT_EQ(value(keys::midiKey, keys::outputDeviceValue), std::nullopt);
    EXPECT_TRUE(value(keys::programKey, keys::directoryValue).has_value())
        << "the other settings are written as ever";
}

// ---- OK and Cancel ----

TEST_F(PrefDialogTest, OkOnAFreshSystemWritesAllFourValues) {
    auto dialog = open();
    const std::string proposed = platform::defaultDataDirectory();
    EXPECT_EQ(dialog->directoryEdit()->text().toStdString(), proposed);
    const std::string drive = dialog->cardDriveList()->drive().toStdString();
    ASSERT_FALSE(drive.empty()) << "at least the volume of the scratch folder is mounted";
    dialog->okButton()->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(value(keys::midiKey, keys::inputDeviceValue), "Port A");
    EXPECT_EQ(value(keys::midiKey, keys::outputDeviceValue), "Port A");
    EXPECT_EQ(value(keys::programKey, keys::directoryValue), proposed);
    EXPECT_EQ(value(keys::cardKey, keys::driveValue), drive);
    EXPECT_EQ(drive.back(), '/');
}

TEST_F(PrefDialogTest, OpeningAndCancellingWriteNoSettingsFile) {
    ASSERT_FALSE(stored().keyExists(keys::midiKey));
    auto dialog = open();
    EXPECT_FALSE(QFile::exists(location())) << "opening the dialog writes nothing";
    dialog->cancelButton()->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(QFile::exists(location())) << "nor does Cancel";
    EXPECT_FALSE(stored().keyExists(keys::midiKey));
    EXPECT_EQ(value(keys::midiKey, keys::inputDeviceValue), std::nullopt);
    EXPECT_EQ(value(keys::midiKey, keys::outputDeviceValue), std::nullopt);
    EXPECT_EQ(value(keys::programKey, keys::directoryValue), std::nullopt);
    EXPECT_EQ(value(keys::cardKey, keys::driveValue), std::nullopt);
}

TEST_F(PrefDialogTest, EscapeCancels) {
    auto dialog = open();
    dialog->show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog.get(), &escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(value(keys::programKey, keys::directoryValue), std::nullopt);
}

TEST_F(PrefDialogTest, OkFailsClearlyWhenTheSettingsCannotBeWritten) {
    // A file where the registry's folder would have to be.
    const std::string blocker = folder / "not-a-folder";
    { std::ofstream(blocker) << "x"; }
    const QString location = QString::fromStdString(blocker + "/registry.json");
    PrefDialog dialog(nullptr, location, threeDevices());
    EXPECT_EQ(dialog.inputList()->currentText(), "Port A");
    try {
        dialog.okBtnClick();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "Can't write the settings: " + location.toStdString());
    }
}

// ---- the directory ----

TEST_F(PrefDialogTest, ShowsTheStoredDirectory) {
    const std::string data = makeFolder("my data") + "/";
    store(keys::programKey, keys::directoryValue, data);
    auto dialog = open();
    EXPECT_EQ(dialog->directoryEdit()->text().toStdString(), data);
    EXPECT_EQ(dialog->directory(), data);
}

TEST_F(PrefDialogTest, TypedDirectoryTextIsNeverStored) {
    const std::string data = makeFolder("data") + "/";
    store(keys::programKey, keys::directoryValue, data);
    auto dialog = open();
    dialog->directoryEdit()->setText(QString::fromStdString(makeFolder("typed") + "/"));
    dialog->okButton()->click();
    EXPECT_EQ(value(keys::programKey, keys::directoryValue), data);
}

// What the chooser does between Browse... and the directory stored by OK.
struct ChooserCase {
    const char* name;
    std::string storedDirectory; // relative to the scratch folder
    std::string clicked;         // relative; empty: no click
    bool confirm;
    std::string result; // relative
};

void PrintTo(const ChooserCase& c, std::ostream* out) {
    *out << c.name;
}

class DirectoryChooser : public PrefDialogTest, public testing::WithParamInterface<ChooserCase> {};

TEST_P(DirectoryChooser, GivesTheDirectoryOkStores) {
    const ChooserCase& c = GetParam();
    const std::string base = QDir::cleanPath(QString::fromStdString(folder.path())).toStdString();
    makeFolder("data/songs");
    makeFolder("other");
    store(keys::programKey, keys::directoryValue, base + "/" + c.storedDirectory);
    auto dialog = open();
    OnNextModal driveChooser([&](QWidget* modal) {
        auto* chooser = dynamic_cast<PrefDirectoryDialog*>(modal);
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->windowTitle(), "Directory");
        if (!c.clicked.empty()) {
            const QModelIndex entry =
                chooser->folders()->index(QString::fromStdString(base + "/" + c.clicked));
            ASSERT_TRUE(entry.isValid());
            chooser->dirListClick(entry);
        }
        (c.confirm ? chooser->okButton() : chooser->cancelButton())->click();
    });
    dialog->directoryBrowseButtonClick();
    ASSERT_TRUE(driveChooser.ran());
    EXPECT_EQ(dialog->directoryEdit()->text().toStdString(), base + "/" + c.result);
    dialog->okBtnClick();
    EXPECT_EQ(value(keys::programKey, keys::directoryValue), base + "/" + c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, DirectoryChooser,
    testing::Values(
        ChooserCase{"a clicked folder gets a separator", "data/", "other", true, "other/"},
        ChooserCase{"a clicked subfolder", "data/", "data/songs", true, "data/songs/"},
        ChooserCase{"no click keeps the directory", "data/", "", true, "data/"},
        ChooserCase{"no click adds the missing separator", "data", "", true, "data/"},
        ChooserCase{"a directory not made yet", "new/", "", true, "new/"},
        ChooserCase{"cancel keeps the directory as stored", "data", "other", false, "data"}),
    [](const testing::TestParamInfo<ChooserCase>& info) {
        std::string name;
        for (const char* c = info.param.name; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST_F(PrefDialogTest, TheChooserOpensAtThePathAndOnlyAClickChooses) {
    const QString data = QString::fromStdString(makeFolder("data/songs"));
    const QString elsewhere = QString::fromStdString(makeFolder("elsewhere"));
    PrefDirectoryDialog chooser(nullptr);
    chooser.setInitialPath(data);
    EXPECT_EQ(chooser.driveSelector()->drive(), DriveSelector::driveOf(data));
    EXPECT_EQ(chooser.folders()->filePath(chooser.tree()->currentIndex()), data);
    EXPECT_EQ(chooser.resultPath(), data + "/");

    // Another drive shows another tree but chooses nothing.
    chooser.driveSelector()->setDrive(elsewhere);
    EXPECT_EQ(chooser.driveSelector()->drive(), elsewhere + "/");
    EXPECT_EQ(chooser.folders()->filePath(chooser.tree()->rootIndex()), elsewhere);
    EXPECT_EQ(chooser.resultPath(), data + "/");

    chooser.dirListClick(chooser.folders()->index(elsewhere));
    EXPECT_EQ(chooser.resultPath(), elsewhere + "/");
}

TEST_F(PrefDialogTest, TheChooserShowsFoldersOnly) {
    const QString data = QString::fromStdString(makeFolder("data"));
    { std::ofstream(folder / "data/TONE.VDF") << "x"; }
    makeFolder("data/songs");
    PrefDirectoryDialog chooser(nullptr);
    chooser.setInitialPath(data);
    const QModelIndex at = chooser.folders()->index(data);
    ASSERT_TRUE(at.isValid());
    // The model lists a folder's entries in the background.
    QElapsedTimer clock;
    clock.start();
    while (chooser.folders()->rowCount(at) == 0 && clock.elapsed() < 10000) {
        chooser.folders()->fetchMore(at);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_EQ(chooser.folders()->rowCount(at), 1);
    EXPECT_EQ(chooser.folders()->fileName(chooser.folders()->index(0, 0, at)), "songs");
}

// ---- the card drive ----

TEST_F(PrefDialogTest, ABrowsedFolderIsStoredAsTheDrive) {
    const std::string card = makeFolder("card image");
    auto dialog = open();
    OnNextModal pickFolder([&](QWidget* modal) {
        auto* picker = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(picker, nullptr);
        picker->selectFile(QString::fromStdString(card));
        QMetaObject::invokeMethod(picker, "accept");
    });
    dialog->cardDriveList()->browse();
    ASSERT_TRUE(pickFolder.ran());
    EXPECT_EQ(dialog->cardDriveList()->drive().toStdString(), card + "/");
    dialog->okButton()->click();
    EXPECT_EQ(value(keys::cardKey, keys::driveValue), card + "/");
}

TEST_F(PrefDialogTest, CancellingTheFolderDialogKeepsTheDrive) {
    auto dialog = open();
    const QString before = dialog->cardDriveList()->drive();
    OnNextModal cancel([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    dialog->cardDriveList()->browse();
    ASSERT_TRUE(cancel.ran());
    EXPECT_EQ(dialog->cardDriveList()->drive(), before);
}

TEST_F(PrefDialogTest, TheStoredDriveIsSelectedAndKept) {
    const std::string card = makeFolder("card") + "/";
    store(keys::cardKey, keys::driveValue, card);
    auto dialog = open();
    EXPECT_EQ(dialog->cardDriveList()->drive().toStdString(), card);
    dialog->okButton()->click();
    EXPECT_EQ(value(keys::cardKey, keys::driveValue), card);
}

TEST_F(PrefDialogTest, TheDriveSelectorListsMountedVolumesAsRootsWithASeparator) {
    const std::vector<QString> drives = DriveSelector::mountedDrives();
    for (const QString& drive : drives)
        EXPECT_TRUE(drive.endsWith('/')) << drive.toStdString();
    const QString mine = DriveSelector::driveOf(QString::fromStdString(folder.path()));
    EXPECT_TRUE(mine.endsWith('/'));
    EXPECT_TRUE(QString::fromStdString(folder.path()).startsWith(mine));
    EXPECT_EQ(DriveSelector::defaultDrive({}), "");
    EXPECT_EQ(DriveSelector::defaultDrive({"/", "/media/me/CARD/", "/srv/"}), "/media/me/CARD/");
}

// ---- Find Keyboard ----

// A silent "Port A", then the virtual keyboard, in both lists.
std::shared_ptr<midi::Driver> silentPortAndKeyboard() {
    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(silentDevice("Port A"));
    backends.push_back(
        kbdsim::makeVirtualKeyboardBackend(std::make_shared<kbdsim::KeyboardSimulator>()));
    return std::make_shared<midi::Driver>(std::move(backends));
}

struct FoundAnswer {
    const char* name;
    QMessageBox::StandardButton answer;
    std::string input, output; // selected afterwards
    const char* status;        // how the status line ends
};

void PrintTo(const FoundAnswer& c, std::ostream* out) {
    *out << c.name;
}

class FindKeyboardFound : public PrefDialogTest, public testing::WithParamInterface<FoundAnswer> {};

TEST_P(FindKeyboardFound, ShowsThePairAndTheModelAndSelectsThemOnlyOnOk) {
    store(keys::midiKey, keys::inputDeviceValue, "Port A");
    store(keys::midiKey, keys::outputDeviceValue, "Port A");
    auto dialog = open(silentPortAndKeyboard(), 1500ms);
    // The question that shows what the search found, not the progress window before it.
    test::NextMessageBox question(GetParam().answer);
    dialog->findKeyboardButtonClick();
    const QString found = QString::fromStdString("Found a TQ-7400 on \"" + keyboardName +
                                                 "\" / \"" + keyboardName + "\".");
    EXPECT_EQ(question.caption, "Find Keyboard");
    EXPECT_EQ(question.text, found + " Use these devices?");
    EXPECT_TRUE(question.defaultIsOk);
    EXPECT_EQ(dialog->inputList()->currentText().toStdString(), GetParam().input);
    EXPECT_EQ(dialog->outputList()->currentText().toStdString(), GetParam().output);
    EXPECT_EQ(dialog->findKeyboardStatus()->text(), found + " " + GetParam().status);
    EXPECT_TRUE(dialog->okButton()->isEnabled());
    EXPECT_TRUE(dialog->findKeyboardButton()->isEnabled());
    EXPECT_EQ(value(keys::midiKey, keys::inputDeviceValue), "Port A") << "nothing stored yet";
    dialog->okButton()->click();
    EXPECT_EQ(value(keys::midiKey, keys::inputDeviceValue), GetParam().input);
    EXPECT_EQ(value(keys::midiKey, keys::outputDeviceValue), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(Answers, FindKeyboardFound,
                         testing::Values(FoundAnswer{"Ok", QMessageBox::Ok, keyboardName,
                                                     keyboardName, "Press OK to keep them."},
                                         FoundAnswer{"Cancel", QMessageBox::Cancel, "Port A",
                                                     "Port A", "The selection is unchanged."}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrefDialogTest, FindKeyboardSurvivesItsDialogGoingWhileItsQuestionIsUp) {
    auto dialog = open(silentPortAndKeyboard(), 1500ms);
    PrefDialog* searching = dialog.get();
    QElapsedTimer clock;
    clock.start();
    std::function<void()> closeAll = [&] {
        if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            dialog.reset();
        else if (clock.elapsed() < 20000)
            QTimer::singleShot(5, closeAll);
    };
    QTimer::singleShot(0, closeAll);
    searching->findKeyboardButtonClick(); // returns without touching the gone dialog
    EXPECT_EQ(dialog, nullptr);
}

TEST_F(PrefDialogTest, FindKeyboardSaysSoWhenNoneAnswersAndKeepsTheSelection) {
    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(silentDevice("Port A"));
    backends.push_back(silentDevice("Port B"));
    store(keys::midiKey, keys::inputDeviceValue, "Port B");
    auto dialog = open(std::make_shared<midi::Driver>(std::move(backends)), 100ms);
    dialog->findKeyboardButtonClick();
    EXPECT_TRUE(dialog->findKeyboardStatus()->text().startsWith(
        "No keyboard answered on any of the 4 input and output pairs"))
        << dialog->findKeyboardStatus()->text().toStdString();
    EXPECT_EQ(dialog->inputList()->currentText(), "Port B");
    EXPECT_EQ(dialog->outputList()->currentText(), "Port A");
}

// Three silent devices: nine pairs, each waiting the whole time-out.
std::shared_ptr<midi::Driver> threeSilentDevices() {
    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(silentDevice("Port A"));
    backends.push_back(silentDevice("Port B"));
    backends.push_back(silentDevice("Port C"));
    return std::make_shared<midi::Driver>(std::move(backends));
}

TEST_F(PrefDialogTest, FindKeyboardStopsWhenItsProgressWindowIsCancelled) {
    auto dialog = open(threeSilentDevices(), 1500ms);
    OnNextModal cancel([&](QWidget* modal) {
        auto* progress = qobject_cast<QProgressDialog*>(modal);
        ASSERT_NE(progress, nullptr);
        EXPECT_EQ(progress->maximum(), 9);
        EXPECT_FALSE(dialog->okButton()->isEnabled()) << "no OK while the search runs";
        progress->cancel();
    });
    dialog->findKeyboardButtonClick();
    ASSERT_TRUE(cancel.ran());
    EXPECT_EQ(dialog->findKeyboardStatus()->text(),
              "The search was stopped; the selection is unchanged.");
    EXPECT_EQ(dialog->inputList()->currentText(), "Port A");
    EXPECT_TRUE(dialog->okButton()->isEnabled());
}

TEST_F(PrefDialogTest, FindKeyboardSurvivesItsDialogGoingDuringTheSearch) {
    auto dialog = open(threeSilentDevices(), 1500ms);
    PrefDialog* searching = dialog.get();
    OnNextModal closeAll([&](QWidget*) { dialog.reset(); });
    searching->findKeyboardButtonClick(); // returns without touching the gone dialog
    ASSERT_TRUE(closeAll.ran());
    EXPECT_EQ(dialog, nullptr);
}

TEST_F(PrefDialogTest, FindKeyboardWithoutDevicesSaysThereAreNone) {
    auto dialog = open(noDevices(), 100ms);
    dialog->findKeyboardButtonClick();
    EXPECT_TRUE(dialog->findKeyboardStatus()->text().contains("no MIDI input and output devices"))
        << dialog->findKeyboardStatus()->text().toStdString();
}

} // namespace
} // namespace qel::app
