#pragma once

// The main window on Qt's offscreen platform with a virtual keyboard, a
// registry and a data directory of its own, and the helpers its tests share.

#include "app/FormMain.h"
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

namespace qel::app::test_support {

using namespace std::chrono_literals;
using test::NextMessageBox;

// Answers every modal message box with OK while it lives, keeping their
// texts; `beforeAnswer` runs while each box is still up.
class EveryMessageBox {
public:
    explicit EveryMessageBox(std::function<void()> beforeAnswer = {})
        : beforeAnswer_(std::move(beforeAnswer)) {
        poll();
    }
    ~EveryMessageBox() { *alive_ = false; }
    EveryMessageBox(const EveryMessageBox&) = delete;
    EveryMessageBox& operator=(const EveryMessageBox&) = delete;
    const QStringList& texts() const { return texts_; }

private:
    void poll() {
        QTimer::singleShot(5, [this, alive = alive_] {
            if (!*alive)
                return;
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts_.push_back(box->text());
                if (beforeAnswer_)
                    beforeAnswer_();
                box->accept();
            }
            poll();
        });
    }
    std::function<void()> beforeAnswer_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    QStringList texts_;
};

// Triggers `exit` from the application's event loop and tells whether the
// loop then ends because the last window closed, as the program's does;
// false when it still runs 5 s later.
inline bool exitEndsTheProgram(QAction* exit) {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(2); });
    watchdog.start(5000);
    QTimer::singleShot(0, exit, &QAction::trigger);
    return QApplication::exec() == 0 && watchdog.isActive();
}

class MainWindow : public testing::Test {
protected:
    explicit MainWindow(bool configured = true) {
        registry = folder.filePath("settings.json");
        if (configured) {
            registry::Registry settings(registry);
            settings.writeString(settings::midiKey, settings::inputDeviceValue,
                                 kbdsim::virtualKeyboardName);
            settings.writeString(settings::midiKey, settings::outputDeviceValue,
                                 kbdsim::virtualKeyboardName);
            settings.writeString(settings::programKey, settings::directoryValue,
                                 folder.path().toStdString() + "/");
        }
        const test::VirtualKeyboardBench bench(
            [this](const std::vector<std::uint8_t>& message) {
                messages.push_back(message);
                if (duringWait)
                    duringWait();
            },
            simulator);
        driver = bench.driver;
        MidiDialogEnvironment environment;
        environment.driver = driver;
        environment.replyTimeout = 2000ms;
        window = std::make_unique<FormMain>(environment, registry);
        window->setPreferencesOpener([this](QWidget*) {
            ++preferencesShown;
            registry::Registry(registry).createKey(settings::midiKey);
        });
        // The user goes on when asked before something is destroyed.
        window->setDestroyAsker([this](const DestroyQuestion& question) {
            questions.push_back(question);
            return DestroyAnswer{DestroyAnswer::Choice::Proceed, false, {}};
        });
    }

    void chooseType(int index) {
        window->dataTypeBox()->setCurrentIndex(index);
        emit window->dataTypeBox()->activated(index);
    }

    QTemporaryDir folder;
    QString registry;
    std::shared_ptr<kbdsim::KeyboardSimulator> simulator =
        std::make_shared<kbdsim::KeyboardSimulator>();
    std::shared_ptr<midi::Driver> driver;
    std::vector<std::vector<std::uint8_t>> messages;
    std::vector<DestroyQuestion> questions;
    std::function<void()> duringWait;
    int preferencesShown = 0;
    std::unique_ptr<FormMain> window;
};

} // namespace qel::app::test_support
