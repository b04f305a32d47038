#include "app/PrefDialog.h"

#include "app/DriveSelector.h"
#include "app/PrefDirectoryDialog.h"
#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "core/SettingsKeys.h"
#include "platform/files/DataDirectory.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qel::app {

namespace {

registry::Registry registryAt(const QString& location) {
    return location.isEmpty() ? registry::Registry() : registry::Registry(location);
}

void fill(QComboBox* list, const std::vector<std::string>& names) {
    for (const std::string& name : names)
        list->addItem(QString::fromStdString(name));
}

// Selects the entry equal to `name` letter case aside, else the first entry.
void preselect(QComboBox* list, const std::string& name) {
    const int at = list->findText(QString::fromStdString(name), Qt::MatchFixedString);
    list->setCurrentIndex(at >= 0 ? at : (list->count() > 0 ? 0 : -1));
}

// Selects the entry named exactly `name`, when there is one.
void select(QComboBox* list, const std::string& name) {
    const int at = list->findText(QString::fromStdString(name), Qt::MatchExactly);
    if (at >= 0)
        list->setCurrentIndex(at);
}

// The search's progress in a window with a Cancel button. The window is a
// child of the preferences dialog; should that go during the search, the
// window goes with it and the search is told to stop.
class ProgressWindow : public ProgressReporter {
public:
    explicit ProgressWindow(QWidget* owner)
        : window_(new QProgressDialog("Finding the keyboard...", "Cancel", 0, 1, owner)) {
        window_->setWindowTitle("Find Keyboard");
        window_->setWindowModality(Qt::WindowModal);
        window_->setMinimumDuration(0);
        window_->setAutoClose(false);
        window_->setAutoReset(false);
    }
    ~ProgressWindow() override { delete window_.data(); }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    void setCaption(const std::string& text) override {
        if (window_)
            window_->setLabelText(QString::fromStdString(text));
    }
    void setRange(int maximum) override {
        if (window_)
            window_->setMaximum(std::max(maximum, 1));
    }
    void setPosition(int position) override {
        if (window_)
            window_->setValue(position);
    }
    bool cancelRequested() const override { return !window_ || window_->wasCanceled(); }

private:
    QPointer<QProgressDialog> window_;
};

QString quoted(const std::string& name) {
    return "\"" + QString::fromStdString(name) + "\"";
}

} // namespace

PrefDialog::PrefDialog(QWidget* owner, const QString& registryLocation,
                       std::shared_ptr<midi::Driver> driver,
                       std::chrono::milliseconds findReplyTimeout)
    : QDialog(owner), registry_(registryAt(registryLocation)), driver_(std::move(driver)),
      findReplyTimeout_(findReplyTimeout) {
    inputDevice_ = readSetting(settings::midiKey, settings::inputDeviceValue);
    outputDevice_ = readSetting(settings::midiKey, settings::outputDeviceValue);
    directory_ = readSetting(settings::programKey, settings::directoryValue);
    cardDrive_ = readSetting(settings::cardKey, settings::driveValue);
    buildPages();
    formCreate();
}

std::string PrefDialog::readSetting(const char* key, const char* value) {
    // Reading writes nothing: the settings file is written by OK alone.
    return registry_.readString(key, value).value_or("");
}

void PrefDialog::writeSetting(const char* key, const char* value, const std::string& text) {
    if (!registry_.writeString(key, value, text))
        throw Exception("Can't write the settings: " + registry_.location().toStdString());
}

void PrefDialog::buildPages() {
    setWindowTitle("Preferences");
    // A title bar without a close box or help button: OK or Cancel ends the dialog.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    pages_ = new QTabWidget(this);

    auto* midi = new QWidget(pages_);
    inputList_ = new QComboBox(midi);
    inputList_->setObjectName("MIDIInDevList");
    outputList_ = new QComboBox(midi);
    outputList_->setObjectName("MIDIOutDevList");
    // Only a listed device can be opened; typed names would never be.
    inputList_->setEditable(false);
    outputList_->setEditable(false);
    findKeyboardButton_ = new QPushButton("Find Keyboard", midi);
    findKeyboardButton_->setObjectName("FindKeyboardButton");
    findKeyboardButton_->setToolTip(
        "Ask every input and output pair which one the keyboard answers on");
    findKeyboardStatus_ = new QLabel(midi);
    findKeyboardStatus_->setObjectName("FindKeyboardStatus");
    findKeyboardStatus_->setWordWrap(true);
    auto* midiLayout = new QVBoxLayout(midi);
    midiLayout->addWidget(new QLabel("MIDI Input Device", midi));
    midiLayout->addWidget(inputList_);
    midiLayout->addWidget(new QLabel("MIDI Output Device", midi));
    midiLayout->addWidget(outputList_);
    auto* findRow = new QHBoxLayout;
    findRow->addWidget(findKeyboardButton_);
    findRow->addStretch();
    midiLayout->addSpacing(6);
    midiLayout->addLayout(findRow);
    midiLayout->addWidget(findKeyboardStatus_);
    midiLayout->addStretch();
    pages_->addTab(midi, "MIDI");

    auto* directory = new QWidget(pages_);
    directoryEdit_ = new QLineEdit(directory);
    directoryEdit_->setObjectName("DirectoryEdit");
    // The directory changes only through Browse...: a typed path would never
    // be kept, so the box does not take one.
    directoryEdit_->setReadOnly(true);
    directoryBrowseButton_ = new QPushButton("Browse...", directory);
    directoryBrowseButton_->setObjectName("DirectoryBrowseButton");
    auto* directoryRow = new QHBoxLayout;
    directoryRow->addWidget(directoryEdit_, 1);
    directoryRow->addWidget(directoryBrowseButton_);
    auto* directoryLayout = new QVBoxLayout(directory);
    directoryLayout->addLayout(directoryRow);
    auto* directoryHint = new QLabel("The folder of your data files.", directory);
    directoryLayout->addWidget(directoryHint);
    directoryLayout->addStretch();
    pages_->addTab(directory, "Directory");

    auto* card = new QWidget(pages_);
    cardDriveList_ = new DriveSelector(card, true);
    cardDriveList_->setObjectName("CardDrvList");
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->addWidget(cardDriveList_);
    auto* cardHint = new QLabel("The drive of the memory card; its files are in its VORLA_MD "
                                "folder. Browse... takes any folder, such as a copy of a card.",
                                card);
    cardHint->setWordWrap(true);
    cardLayout->addWidget(cardHint);
    cardLayout->addStretch();
    pages_->addTab(card, "Card");

    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName("OkBtn");
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("CancelBtn");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);
    // A fixed dialog box, with room for the longest search report.
    setFixedSize(QSize(440, 300).expandedTo(sizeHint()));

    connect(okButton_, &QPushButton::clicked, this, [this] { okClicked(); });
    // Escape reaches reject() as well.
    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        cancelBtnClick();
        reject();
    });
    connect(directoryBrowseButton_, &QPushButton::clicked, this,
            [this] { directoryBrowseButtonClick(); });
    connect(findKeyboardButton_, &QPushButton::clicked, this,
            [this] { findKeyboardButtonClick(); });
}

void PrefDialog::formCreate() {
    if (driver_) {
        fill(inputList_, driver_->inputNames());
        fill(outputList_, driver_->outputNames());
    }
    preselect(inputList_, inputDevice_);
    preselect(outputList_, outputDevice_);

    if (directory_.empty())
        directory_ = platform::defaultDataDirectory();
    directoryEdit_->setText(QString::fromStdString(directory_));

    if (!cardDrive_.empty())
        cardDriveList_->setDrive(QString::fromStdString(cardDrive_));
}

void PrefDialog::okBtnClick() {
    // An empty list has no selection: the stored name stays as it is.
    if (inputList_->currentIndex() >= 0) {
        const std::string name = inputList_->currentText().toStdString();
        if (name != inputDevice_)
            writeSetting(settings::midiKey, settings::inputDeviceValue, name);
    }
    if (outputList_->currentIndex() >= 0) {
        const std::string name = outputList_->currentText().toStdString();
        if (name != outputDevice_)
            writeSetting(settings::midiKey, settings::outputDeviceValue, name);
    }
    writeSetting(settings::programKey, settings::directoryValue, directory_);
    const std::string drive = cardDriveList_->drive().toStdString();
    if (!drive.empty() && drive != cardDrive_)
        writeSetting(settings::cardKey, settings::driveValue, drive);
}

void PrefDialog::okClicked() {
    try {
        okBtnClick();
    } catch (const std::exception& failure) {
        // The dialog stays open: the user may try again or cancel.
        QMessageBox::critical(this, QCoreApplication::applicationName(), failure.what());
        return;
    }
    accept();
}

void PrefDialog::directoryBrowseButtonClick() {
    PrefDirectoryDialog chooser(this);
    chooser.setInitialPath(QString::fromStdString(directory_));
    if (chooser.exec() != QDialog::Accepted)
        return;
    directory_ = chooser.resultPath().toStdString();
    directoryEdit_->setText(QString::fromStdString(directory_));
}

void PrefDialog::findKeyboardButtonClick() {
    findKeyboardButton_->setEnabled(false);
    okButton_->setEnabled(false);
    cancelButton_->setEnabled(false);
    findKeyboardStatus_->setText("Finding the keyboard...");
    KeyboardSearch search;
    {
        // The search handles events while it waits; this dialog may go
        // meanwhile, so the search holds what it needs itself.
        QPointer<PrefDialog> alive(this);
        const std::shared_ptr<midi::Driver> driver = driver_;
        ProgressWindow progress(this);
        search = findKeyboard(driver, findReplyTimeout_, &progress);
        if (!alive)
            return;
    }
    findKeyboardButton_->setEnabled(true);
    okButton_->setEnabled(true);
    cancelButton_->setEnabled(true);

    switch (search.outcome) {
    case KeyboardSearch::Outcome::Found: {
        const command::Model* model = command::findModel(search.model);
        const QString found =
            QString("Found a %1 on %2 / %3.")
                .arg(model ? QString::fromUtf8(model->caption.data(),
                                               static_cast<qsizetype>(model->caption.size()))
                           : QString("keyboard"),
                     quoted(search.pair.input), quoted(search.pair.output));
        const std::optional<bool> use = askToUseFound(found);
        if (!use)
            return; // this dialog went while the question was up
        if (*use) {
            select(inputList_, search.pair.input);
            select(outputList_, search.pair.output);
            findKeyboardStatus_->setText(found + " Press OK to keep them.");
        } else {
            findKeyboardStatus_->setText(found + " The selection is unchanged.");
        }
        break;
    }
    case KeyboardSearch::Outcome::NoneAnswered:
        findKeyboardStatus_->setText(
            search.pairsTotal == 0
                ? QString("No keyboard found: there are no MIDI input and output devices to ask.")
                : QString("No keyboard answered on any of the %1 input and output pairs. Check "
                          "that the keyboard is on and its MIDI cables are connected, then try "
                          "again.")
                      .arg(search.pairsTotal));
        break;
    case KeyboardSearch::Outcome::Cancelled:
        findKeyboardStatus_->setText("The search was stopped; the selection is unchanged.");
        break;
    }
}

std::optional<bool> PrefDialog::askToUseFound(const QString& found) {
    QPointer<PrefDialog> alive(this);
    // On the heap: a box on the stack would be deleted twice should this
    // dialog, its parent, go while the box is up.
    QPointer<QMessageBox> question =
        new QMessageBox(QMessageBox::Question, "Find Keyboard", found + " Use these devices?",
                        QMessageBox::Ok | QMessageBox::Cancel, this);
    question->setObjectName("FindKeyboardQuestion");
    question->setDefaultButton(QMessageBox::Ok);
    const int answer = question->exec();
    if (!alive)
        return std::nullopt;
    delete question.data();
    return answer == QMessageBox::Ok;
}

void PrefDialog::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget()) {
        const QPoint centre = owner->frameGeometry().center();
        move(centre.x() - width() / 2, centre.y() - height() / 2);
    }
    QDialog::showEvent(event);
}

} // namespace qel::app
