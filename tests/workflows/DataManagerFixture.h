#pragma once

// The data manager's test bench: the in-process virtual keyboard, a settings
// document and a data directory in a temporary folder, and a view that
// records what it was told: the lists, the memory bar, the locks and the two
// error displays.

#include "core/KeyboardTables.h"
#include "core/Settings.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/device/VirtualKeyboard.h"
#include "link/MidiDialogFactory.h"
#include "support/VirtualKeyboardBench.h"
#include "workflows/DataManager.h"

#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace qel::test {

using namespace std::chrono_literals;

// Every stored slot of a keyboard memory: its data and kept name, by key.
inline std::map<std::uint32_t, std::pair<ByteVector, std::string>>
slotContents(const kbdsim::KeyboardMemory& memory) {
    std::map<std::uint32_t, std::pair<ByteVector, std::string>> contents;
    for (const auto& [key, slot] : memory.storedSlots())
        contents[key] = {slot.data, slot.keptName};
    return contents;
}

class RecordingProgress : public ProgressReporter {
public:
    void setCaption(const std::string& text) override { caption = text; }
    void setRange(int value) override { maximum = value; }
    void setPosition(int value) override {
        position = value;
        positions.push_back(value);
    }
    void setItem(const std::string& name) override { items.push_back(name); }
    void setBytes(std::int64_t done, std::int64_t total) override { bytes = {done, total}; }
    void setWaiting(bool value) override {
        if (waitings.empty() || waitings.back() != value)
            waitings.push_back(value);
    }
    bool cancelRequested() const override { return cancelWhen && cancelWhen(); }
    std::string caption;
    int maximum = 0;
    int position = 0;
    // Every position, item and change of the waiting notice, in order.
    std::vector<int> positions;
    std::vector<std::string> items;
    std::vector<bool> waitings;
    std::pair<std::int64_t, std::int64_t> bytes{0, 0};
    // The window's Cancel: pressed while this returns true.
    std::function<bool()> cancelWhen;
};

// The MIDI dialog's window: the user presses its Cancel button once a
// transfer's bar has reached `cancelAt` (never when it is negative).
struct DialogWindowLog {
    int position = 0;
    int cancelAt = -1;
    int shows = 0;
    // Another source of cancel requests (a terminal's interrupt); none when empty.
    std::function<bool()> cancelCheck;
};

class CancellingDialogView : public MidiDialogView {
public:
    explicit CancellingDialogView(std::shared_ptr<DialogWindowLog> log) : log_(std::move(log)) {}
    void setCaption(const std::string&) override {}
    void setRange(int) override {}
    void setPosition(int position) override { log_->position = position; }
    void show() override { ++log_->shows; }
    void hide() override {}
    void showError(const std::string&) override {}
    bool cancelRequested() const override {
        return (log_->cancelAt >= 0 && log_->position >= log_->cancelAt) ||
               (log_->cancelCheck && log_->cancelCheck());
    }

private:
    std::shared_ptr<DialogWindowLog> log_;
};

// One row of the keyboard list as shown: "No", "Name", "Size" (names as the
// keyboard's bytes).
struct KbdRow {
    std::string no;
    std::string name;
    std::string size;
};

// One row of the PC (or card) list as shown: "Name", "Size", "Date".
struct FileRow {
    std::string name;
    std::string size;
    std::string date;
};

inline std::string shownText(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString().toLatin1().toStdString();
}

// The rows a list model shows now, as text.
inline std::vector<KbdRow> shownRows(const KbdSlotModel& model) {
    std::vector<KbdRow> rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows.push_back({shownText(model, row, KbdSlotModel::NoColumn),
                        shownText(model, row, KbdSlotModel::NameColumn),
                        shownText(model, row, KbdSlotModel::SizeColumn)});
    return rows;
}

inline std::vector<FileRow> shownRows(const FileListModel& model) {
    std::vector<FileRow> rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows.push_back({shownText(model, row, FileListModel::NameColumn),
                        shownText(model, row, FileListModel::SizeColumn),
                        shownText(model, row, FileListModel::DateColumn)});
    return rows;
}

struct RecordingView : DataManagerView {
    void selectKbdRow(int row) override { selectedKbdRow = row; }
    void showBackupStep(const std::string& line) override { backupSteps.push_back(line); }
    void showResult(const std::string& text) override { results.push_back(text); }
    void showSummary(const std::string& title, const std::vector<std::string>& lines) override {
        summaries.emplace_back(title, lines);
    }
    void showMemoryBar(bool visible, int maximum, int position) override {
        bar = {visible, maximum, position};
    }
    void setKeyboardCaption(const std::string& text) override { caption = text; }
    void showCardTab() override { cardTab = true; }
    void showDiskTab() override { diskTab = true; }
    void enableSendReceive(bool s, bool r) override {
        send = s;
        receive = r;
    }
    void enableKbdUpdate(bool enabled) override { update = enabled; }
    void enableKbdDelete(bool enabled) override { kbdDelete = enabled; }
    void lockForKbdOperation(bool on) override { locked = on; }
    ProgressReporter& progress() override { return progressBar; }
    void showProgress() override { progressShown = true; }
    void hideProgress() override { progressShown = false; }
    DestroyAnswer askBeforeDestroying(const DestroyQuestion& question) override {
        questions.push_back(question);
        return answer;
    }
    void showKbdError(const std::string& text, const std::string& step) override {
        kbdErrors.push_back(text);
        kbdErrorSteps.push_back(step);
    }
    void showDefaultError(const std::string& text) override { defaultErrors.push_back(text); }

    struct Bar {
        bool visible = false;
        int maximum = 0;
        int position = 0;
    };
    int selectedKbdRow = -1;
    std::vector<std::string> backupSteps;
    std::vector<std::string> results;
    std::vector<std::pair<std::string, std::vector<std::string>>> summaries;
    Bar bar;
    std::string caption;
    bool cardTab = false, diskTab = false;
    bool send = true, receive = true, update = true, kbdDelete = true, locked = false;
    RecordingProgress progressBar;
    bool progressShown = false;
    std::vector<std::string> kbdErrors, defaultErrors;
    // The step of each keyboard error, in the same order.
    std::vector<std::string> kbdErrorSteps;
    // Every question asked before destroying, and the answer each one gets.
    std::vector<DestroyQuestion> questions;
    DestroyAnswer answer{DestroyAnswer::Choice::Proceed, false, {}};
};

class DataManagerTest : public testing::Test {
protected:
    // What the keyboard, PC and card lists show now.
    std::vector<KbdRow> kbdRows() const { return shownRows(manager->kbdSlotModel()); }
    std::vector<FileRow> pcRows() const { return shownRows(manager->pcFileModel()); }
    std::vector<FileRow> cardRows() const { return shownRows(manager->cardFileModel()); }

    DataManagerTest() {
        dataDirectory = folder.filePath("data").toStdString() + "/";
        std::filesystem::create_directories(dataDirectory);
        settings.inputDevice = kbdsim::virtualKeyboardName;
        settings.outputDevice = kbdsim::virtualKeyboardName;
        settings.dataDirectory = dataDirectory;
        settings.midiKeyExists = true;

        const test::VirtualKeyboardBench bench(
            [this](const std::vector<std::uint8_t>& message) {
                ++messages;
                sent.push_back(message);
                if (duringWait)
                    duringWait();
            },
            simulator);
        environment = bench.environment();
        environment.makeView = [log = dialogWindow] {
            return std::make_unique<CancellingDialogView>(log);
        };
        manager = std::make_unique<DataManager>(
            view, [this] { return createMidiDialog(environment); }, settings);
        manager->frame().setReadinessPause(1ms);
    }

    void setOptions(const std::function<void(kbdsim::Options&)>& change) {
        kbdsim::Options options = simulator->options();
        change(options);
        simulator->setOptions(options);
    }

    QTemporaryDir folder;
    // The settings the manager was made with.
    Settings settings;
    std::string dataDirectory;
    std::shared_ptr<kbdsim::KeyboardSimulator> simulator =
        std::make_shared<kbdsim::KeyboardSimulator>();
    std::size_t messages = 0;
    std::vector<ByteVector> sent;
    std::function<void()> duringWait;
    std::shared_ptr<DialogWindowLog> dialogWindow = std::make_shared<DialogWindowLog>();
    MidiDialogEnvironment environment;
    RecordingView view;
    std::unique_ptr<DataManager> manager;
};

} // namespace qel::test
