#include "cli/CommandRunner.h"

#include "cli/Interrupt.h"
#include "cli/SlotTable.h"
#include "cli/StandardOutput.h"
#include "core/Exception.h"
#include "core/NameText.h"
#include "kbdsim/device/VirtualKeyboard.h"
#include "link/MidiDialogFactory.h"
#include "model/VdfData.h"
#include "platform/files/StandardStreams.h"
#include "platform/files/WritableFolder.h"
#include "platform/registry/SettingsReader.h"
#include "workflows/FileDateText.h"
#include "workflows/ProgramMidi.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <iostream>

namespace qel::cli {

namespace {

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

// A name's characters for JSON, without the spaces that pad it to the
// keyboard's fixed width; every byte of it, those spaces included, goes
// beside it as hex ("nameBytes"), so that a script gets them back exactly.
std::string withoutTrailingSpaces(std::string name) {
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

QString jsonName(const std::string& name) {
    return QString::fromStdString(displayName(withoutTrailingSpaces(name)));
}

QString jsonBytes(const std::string& name) {
    return QString::fromStdString(hexBytes(name));
}

// Device names are compared without regard to letter case, as the MIDI dialog does.
bool sameDeviceName(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

bool isVirtualKeyboard(const std::string& deviceName) {
    return sameDeviceName(deviceName, kbdsim::virtualKeyboardName);
}

// A file to be read that does not exist or cannot be opened fails naming it
// with the system's reason, before it is read as a data file (which would only
// find it of no known format). Whatever is there but no regular file is left
// to the reader, which refuses it without opening it.
void requireReadableFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status found = std::filesystem::status(path, error);
    if (error)
        throw Exception(path + ": " + error.message());
    if (!std::filesystem::is_regular_file(found))
        return;
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(path + ": " + file.errorString().toStdString());
}

void printJson(std::ostream& out, const QJsonObject& object) {
    out << QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace

CommandRunner::CommandRunner(CliOptions options, std::ostream& out)
    : options_(std::move(options)), out_(out),
      line_(!options_.quiet && !options_.json && platform::standardErrorIsTerminal()) {}

int CommandRunner::run() {
    using Step = void (CommandRunner::*)();
    static const std::map<std::string, Step> steps{
        {"devices", &CommandRunner::devices}, {"model", &CommandRunner::model},
        {"list", &CommandRunner::list},       {"get", &CommandRunner::get},
        {"put", &CommandRunner::put},         {"delete", &CommandRunner::remove},
        {"init", &CommandRunner::initialize}, {"backup", &CommandRunner::backup},
        {"restore", &CommandRunner::restore}, {"card", &CommandRunner::card},
        {"info", &CommandRunner::info}};
    (this->*steps.at(options_.command))();
    return 0;
}

// ---- set-up ----

void CommandRunner::prepareSettings() {
    if (driver_)
        return;
    const QString stored = registry::Registry::defaultLocation();
    QFile storedFile(stored);
    if (storedFile.exists() && !storedFile.open(QIODevice::ReadOnly))
        throw Exception("Can't open the file: " + stored.toStdString());
    // Read only: a run of the command line never changes the stored settings,
    // not even to set an unusable file aside.
    settings_ =
        registry::readSettings(registry::Registry(stored, registry::Registry::Access::ReadOnly));
    std::optional<std::string> input = options_.input, output = options_.output;
    if (options_.virtualKeyboard)
        input = output = kbdsim::virtualKeyboardName;
    // A run that uses the virtual keyboard alone reaches no MIDI system of the
    // machine; `devices` lists them all.
    const bool virtualOnly = options_.command != "devices" &&
                             isVirtualKeyboard(input.value_or(settings_.inputDevice)) &&
                             isVirtualKeyboard(output.value_or(settings_.outputDevice));
    driver_ = makeProgramMidiDriver(options_.paced,
                                    virtualOnly ? SystemDevices::LeftOut : SystemDevices::Included);
    if (input)
        settings_.inputDevice = deviceName(driver_->inputNames(), *input, "input");
    if (output)
        settings_.outputDevice = deviceName(driver_->outputNames(), *output, "output");
    if (options_.dataDirectory)
        settings_.dataDirectory = withSlash(*options_.dataDirectory);
    if (options_.cardDrive)
        settings_.cardDrive = *options_.cardDrive;
}

std::string CommandRunner::deviceName(const std::vector<std::string>& names,
                                      const std::string& wanted, const char* kind) {
    for (const std::string& name : names)
        if (sameDeviceName(name, wanted))
            return name;
    throw Exception(std::string("No MIDI ") + kind + " device is called \"" + wanted +
                    "\" (see tq7400 devices)");
}

DataManager& CommandRunner::manager() {
    if (manager_)
        return *manager_;
    prepareSettings();
    view_ = std::make_unique<TerminalView>(line_, !options_.json, !options_.quiet);
    MidiDialogEnvironment environment = makeProgramMidiEnvironment(
        driver_, [line = &line_] { return std::make_unique<TerminalDialogView>(*line); });
    environment.inputDevice = settings_.inputDevice;
    environment.outputDevice = settings_.outputDevice;
    manager_ = std::make_unique<DataManager>(
        *view_, [environment] { return createMidiDialog(environment); }, settings_);
    if (options_.keepCopy) {
        manager_->setReplacedFolder(*options_.keepCopy);
        view_->setKeepCopies(true);
    }
    return *manager_;
}

void CommandRunner::check() const {
    // Whatever failed after the output was closed failed for that reason.
    if (outputClosed())
        throw OutputClosed{};
    // A failure after Ctrl+C is most likely the cancel itself.
    if (interrupted())
        throw Interrupted{};
    if (view_ && view_->failure())
        throw Exception(*view_->failure());
}

void CommandRunner::requireKeepCopyFolder() const {
    if (options_.keepCopy)
        platform::requireWritableFolder(*options_.keepCopy);
}

type::id CommandRunner::typeArgument(std::size_t index) const {
    const auto found = parseType(options_.arguments.at(index));
    if (!found || *found > type::Smf)
        throw UsageError("not a keyboard data type: " + options_.arguments.at(index));
    return *found;
}

int CommandRunner::rowOfPosition(const std::string& no) {
    const auto position = parseNumber(no);
    if (!position)
        throw UsageError("not a slot number: " + no);
    // The SMF list shows its empty slots too, but a command names an SMF by
    // the slot that holds it.
    const type::id current = manager_->currentType();
    for (int row = 0; const KbdDataAttributePtr item = manager_->kbdRowItem(row); ++row)
        if (item->position == *position && !(current == type::Smf && emptySlot(current, *item)))
            return row;
    throw Exception("No slot " + no + " holds an item of " + typeLabels[manager_->currentType()]);
}

// ---- commands ----

void CommandRunner::devices() {
    prepareSettings();
    if (options_.json) {
        QJsonArray inputs, outputs;
        for (const std::string& name : driver_->inputNames())
            inputs.append(QString::fromStdString(name));
        for (const std::string& name : driver_->outputNames())
            outputs.append(QString::fromStdString(name));
        printJson(out_, {{"inputs", inputs}, {"outputs", outputs}});
        return;
    }
    for (const std::string& name : driver_->inputNames())
        out_ << "in   " << name << '\n';
    for (const std::string& name : driver_->outputNames())
        out_ << "out  " << name << '\n';
}

void CommandRunner::model() {
    manager().identifyKbd();
    check();
    const command::Model* model =
        command::findModel(static_cast<std::uint16_t>(manager_->kbdModel()));
    const std::string name = model ? std::string(model->caption) : "";
    if (options_.json)
        printJson(out_, {{"code", manager_->kbdModel()}, {"name", QString::fromStdString(name)}});
    else
        out_ << manager_->kbdModel() << ' ' << name << '\n';
}

void CommandRunner::list() {
    DataManager& m = manager();
    std::vector<type::id> types;
    if (options_.arguments.empty()) {
        m.updateKbdList();
        for (int t = 0; t <= type::Smf; ++t)
            types.push_back(static_cast<type::id>(t));
    } else {
        types.push_back(typeArgument(0));
        m.changeDataType(types.front());
        m.updateThisType();
    }
    check();
    const std::int32_t dataFree = command::dataMemorySize - m.usedDataMemory();
    const std::int32_t songFree = command::songMemorySize - m.usedSongMemory();
    if (options_.json) {
        QJsonArray listed;
        for (type::id t : types) {
            QJsonArray slotList;
            for (const KbdDataAttributePtr& item : m.kbdLists().at(t))
                slotList.append(QJsonObject{{"no", item->position},
                                            {"number", item->number},
                                            {"name", jsonName(item->name)},
                                            {"nameBytes", jsonBytes(item->name)},
                                            {"size", item->size}});
            listed.append(QJsonObject{{"type", t}, {"label", typeLabels[t]}, {"slots", slotList}});
        }
        printJson(out_,
                  {{"model", m.kbdModel()},
                   {"types", listed},
                   {"dataMemory", QJsonObject{{"used", m.usedDataMemory()}, {"free", dataFree}}},
                   {"songMemory", QJsonObject{{"used", m.usedSongMemory()}, {"free", songFree}}}});
        return;
    }
    for (type::id t : types)
        printSlots(t);
    out_ << "data memory: " << m.usedDataMemory() << " bytes used, " << dataFree << " free\n"
         << "song memory: " << m.usedSongMemory() << " bytes used, " << songFree << " free\n";
}

void CommandRunner::printSlots(type::id type) {
    out_ << typeLabels[type] << '\n' << slotTable(manager_->kbdLists().at(type));
}

void CommandRunner::get() {
    const type::id t = typeArgument(0);
    // A folder that cannot take the file fails the run before any MIDI
    // device is opened, not after the whole transfer.
    const bool folderGiven = options_.arguments.size() == 3;
    if (folderGiven) {
        options_.dataDirectory = options_.arguments[2];
        platform::requireWritableFolder(*options_.dataDirectory);
    }
    DataManager& m = manager();
    if (!folderGiven)
        platform::requireWritableFolder(m.getDataDirectory());
    m.changeDataType(t);
    m.updateThisType();
    check();
    const int row = rowOfPosition(options_.arguments[1]);
    const KbdDataAttributePtr slot = m.kbdRowItem(row);
    if (slot->size == 0)
        throw Exception("Slot " + options_.arguments[1] + " of " + typeLabels[t] + " is empty");
    line_.clear();
    if (!options_.quiet)
        std::cerr << "receiving " << typeLabels[t] << ' ' << slot->position << " \""
                  << terminalName(slot->name) << "\", " << slot->size << " bytes" << std::endl;
    m.getFromKbd(row);
    check();
    out_ << m.pcLists()[t].back()->path << '\n';
}

void CommandRunner::put() {
    const std::string path = options_.arguments[0];
    requireReadableFile(path);
    VdfData file(path);
    const type::id t = file.type();
    if (t > type::Package)
        throw Exception("The file " + path + " holds no item that can be sent");
    // The whole file is read as the send will read it (sizes and offsets
    // against its length, a song through the converter), so that a file the
    // send would refuse is refused before the keyboard is asked anything.
    file.loadForSending();
    requireKeepCopyFolder();
    DataManager& m = manager();
    m.changeDataType(t);
    if (t == type::Package)
        m.updateKbdList(); // a package clears slots of four types
    else
        m.updateThisType();
    check();
    const int row = options_.arguments.size() == 2 ? rowOfPosition(options_.arguments[1]) : -1;
    // The data manager says which slot it used and what it replaced.
    m.putFileToKbd(path, row);
    check();
}

void CommandRunner::remove() {
    const type::id t = typeArgument(0);
    if (!DataManager::deletable(t))
        throw Exception(std::string(typeLabels[t]) + " items cannot be deleted");
    requireKeepCopyFolder();
    DataManager& m = manager();
    m.changeDataType(t);
    m.updateThisType();
    check();
    m.deleteKbdData(rowOfPosition(options_.arguments[1]));
    check();
}

void CommandRunner::initialize() {
    const std::string& what = options_.arguments[0];
    DataManager& m = manager();
    if (what == "mixer")
        m.initMixer();
    else if (what == "parameter")
        m.initParameter();
    else if (what == "system")
        m.initSystem();
    else
        throw UsageError("init takes mixer, parameter or system");
    check();
}

void CommandRunner::backup() {
    manager().backupKbd(options_.arguments[0]);
    check();
}

void CommandRunner::restore() {
    manager().restoreKbd(options_.arguments[0]);
    check();
}

void CommandRunner::card() {
    const std::string& what = options_.arguments[0];
    DataManager& m = manager();
    if (what == "put" && options_.arguments.size() == 2) {
        requireReadableFile(options_.arguments[1]);
        m.putFileToCard(options_.arguments[1]);
        check();
        out_ << "written " << options_.arguments[1] << '\n';
        return;
    }
    if (what != "list")
        throw UsageError("card takes list [TYPE] or put FILE");
    // An empty list would look like an empty card.
    const std::string drive = m.getCardDrive();
    if (drive.empty())
        throw Exception("No card drive is set: choose one with --card or in the preferences.");
    std::error_code error;
    const std::filesystem::file_status found = std::filesystem::status(drive, error);
    if (!std::filesystem::exists(found))
        throw Exception("The card drive " + drive + " does not exist");
    if (!std::filesystem::is_directory(found))
        throw Exception("The card drive " + drive + " is not a folder");
    std::vector<type::id> types;
    if (options_.arguments.size() == 2)
        types.push_back(typeArgument(1));
    else
        for (int t = 0; t <= type::Smf; ++t)
            types.push_back(static_cast<type::id>(t));
    m.updateCardList();
    check();
    // A card file's name is its file name without the extension: UTF-8 already,
    // with the keyboard's bytes from 0x80 up written as characters.
    QJsonArray files;
    for (type::id t : types)
        for (const VdfDataAttributePtr& item : m.cardLists()[t]) {
            if (options_.json)
                files.append(
                    QJsonObject{{"type", t},
                                {"name", QString::fromUtf8(withoutTrailingSpaces(item->name))},
                                {"nameBytes", jsonBytes(item->name)},
                                {"size", static_cast<qint64>(item->size)},
                                {"path", QString::fromStdString(item->path)}});
            else
                out_ << typeLabels[t] << "  " << terminalText(item->name) << "  " << item->size
                     << "  " << formatDosDateTime(item->date) << '\n';
        }
    if (options_.json)
        printJson(out_, {{"folder", QString::fromStdString(m.getCardFolder())}, {"files", files}});
}

void CommandRunner::info() {
    requireReadableFile(options_.arguments[0]);
    VdfData file(options_.arguments[0]);
    const std::string date = formatDosDateTime(file.fileTime());
    // The file's own size: a song's changes when it is converted below.
    const std::uint32_t size = file.size();
    // Read whole, as a send reads it: a file that could not be sent is no
    // file to describe.
    file.loadForSending();
    // A package lists its items too; a group file's items stay unlisted.
    static const VdfDataChildren none;
    const VdfDataChildren& children = file.type() == type::Package ? file.children() : none;
    if (options_.json) {
        QJsonArray items;
        for (const auto& [c, list] : children)
            for (const VdfDataPtr& item : list)
                items.append(QJsonObject{{"category", QString::fromStdString(categoryName(c))},
                                         {"name", jsonName(item->name())},
                                         {"nameBytes", jsonBytes(item->name())},
                                         {"size", static_cast<qint64>(item->size())}});
        QJsonObject object{{"type", file.type()},
                           {"label", typeLabels[file.type()]},
                           {"category", QString::fromStdString(categoryName(file.category()))},
                           {"name", jsonName(file.name())},
                           {"nameBytes", jsonBytes(file.name())},
                           {"size", static_cast<qint64>(size)},
                           {"date", QString::fromStdString(date)}};
        if (!items.isEmpty())
            object.insert("items", items);
        printJson(out_, object);
        return;
    }
    out_ << "type      " << typeLabels[file.type()] << '\n'
         << "category  " << categoryName(file.category()) << '\n'
         << "name      " << terminalName(file.name()) << '\n'
         << "size      " << size << '\n'
         << "date      " << date << '\n';
    for (const auto& [c, list] : children)
        for (const VdfDataPtr& item : list)
            out_ << "  " << categoryName(c) << "  " << terminalName(item->name()) << "  "
                 << item->size() << '\n';
}

} // namespace qel::cli
