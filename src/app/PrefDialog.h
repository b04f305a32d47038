#pragma once

// The preferences dialog (caption "Preferences"): the MIDI devices that lead to
// the keyboard, the data directory and the memory card's drive, kept as four
// string values in the registry. Pages "MIDI", "Directory" and "Card"; OK (the
// default button) writes what changed and closes, Cancel (and Escape) closes
// without writing.
//
// Only this dialog writes the settings, and only on OK: showing it and
// cancelling it leaves the settings file as it was (or absent).

#include "platform/midi/MidiDriver.h"
#include "platform/registry/Registry.h"
#include "workflows/KeyboardFinder.h"

#include <QDialog>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace qel::app {

class DriveSelector;

class PrefDialog : public QDialog {
public:
    // A dialog owned by `owner` and centred on it when shown, on the settings
    // kept at `registryLocation` (empty: the current user's), listing the
    // devices of `driver` (the program's one driver). `findReplyTimeout` is
    // how long "Find Keyboard" waits for each device pair. Reads the four
    // values (an absent value reads as empty) and fills the pages.
    PrefDialog(QWidget* owner, const QString& registryLocation,
               std::shared_ptr<midi::Driver> driver,
               std::chrono::milliseconds findReplyTimeout = keyboardSearchReplyTimeout);

    // Writes the settings: each device name when the selected entry differs
    // from the stored name (nothing for an empty list), the directory always
    // (the value held by the dialog, never the edit box's text), the drive
    // when it differs from the stored one. Throws Exception when the registry
    // cannot be written; what was written before that stays.
    void okBtnClick();
    // Writes nothing (the Cancel button closes the dialog).
    void cancelBtnClick() {}
    // Runs the directory chooser at the held directory; on its OK the
    // chooser's result becomes the held directory and the edit box shows it.
    void directoryBrowseButtonClick();
    // Asks every device pair for the keyboard's model (see findKeyboard),
    // with a cancellable progress window, shows the pair that answers and its
    // model, and selects that pair only when the user says so; reports the
    // outcome on the MIDI page. Stores nothing by itself.
    void findKeyboardButtonClick();

    // The values as held now: read at construction, the directory as the
    // page proposes or the chooser gave it.
    const std::string& directory() const { return directory_; }
    const std::string& cardDrive() const { return cardDrive_; }

    QTabWidget* pages() const { return pages_; }
    QComboBox* inputList() const { return inputList_; }
    QComboBox* outputList() const { return outputList_; }
    QPushButton* findKeyboardButton() const { return findKeyboardButton_; }
    QLabel* findKeyboardStatus() const { return findKeyboardStatus_; }
    QLineEdit* directoryEdit() const { return directoryEdit_; }
    QPushButton* directoryBrowseButton() const { return directoryBrowseButton_; }
    DriveSelector* cardDriveList() const { return cardDriveList_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The value `value` of `key`; empty when either is absent.
    std::string readSetting(const char* key, const char* value);
    void writeSetting(const char* key, const char* value, const std::string& text);
    void buildPages();
    // Fills and presets the controls from the values read.
    void formCreate();
    // The OK button: writes and closes, or shows why it could not write and stays open.
    void okClicked();
    // Asks whether the devices `found` (a sentence) are to be selected: true
    // for OK, false for Cancel; nothing when this dialog went meanwhile.
    std::optional<bool> askToUseFound(const QString& found);

    registry::Registry registry_;
    std::shared_ptr<midi::Driver> driver_;
    std::chrono::milliseconds findReplyTimeout_;
    std::string inputDevice_;
    std::string outputDevice_;
    std::string directory_;
    std::string cardDrive_;

    // All owned by this dialog through Qt parents.
    QTabWidget* pages_ = nullptr;
    QComboBox* inputList_ = nullptr;
    QComboBox* outputList_ = nullptr;
    QPushButton* findKeyboardButton_ = nullptr;
    QLabel* findKeyboardStatus_ = nullptr;
    QLineEdit* directoryEdit_ = nullptr;
    QPushButton* directoryBrowseButton_ = nullptr;
    DriveSelector* cardDriveList_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

} // namespace qel::app
