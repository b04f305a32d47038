// "Update List" through the data manager against the virtual keyboard paced
// at MIDI wire speed (31250 baud), as the window runs it:
//   - elapsed time divided by the summed wire time of all its messages in
//     both directions (1.00 would be a program that adds nothing);
//   - the longest gap between two ticks of a 10 ms timer on the UI thread
//     meanwhile: how responsive the window stays.
// With the argument "backup", the same for a whole-keyboard backup of a
// keyboard whose every slot holds an item.
// A program to run by hand (build target update_list_benchmark), not a test.

#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/SlotLayout.h"
#include "kbdsim/device/VirtualKeyboard.h"
#include "link/MidiDialogFactory.h"
#include "platform/midi/VirtualDevice.h"
#include "workflows/DataManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

using namespace qel;
using Bytes = std::vector<std::uint8_t>;

struct SilentProgress : ProgressReporter {
    void setCaption(const std::string&) override {}
    void setRange(int) override {}
    void setPosition(int) override {}
};

struct CountingView : DataManagerView {
    void selectKbdRow(int) override {}
    void showBackupStep(const std::string&) override { ++steps; }
    void showResult(const std::string&) override {}
    void showMemoryBar(bool, int, int) override {}
    void setKeyboardCaption(const std::string&) override {}
    void showCardTab() override {}
    void showDiskTab() override {}
    void enableSendReceive(bool, bool) override {}
    void enableKbdUpdate(bool) override {}
    void enableKbdDelete(bool) override {}
    void lockForKbdOperation(bool) override {}
    ProgressReporter& progress() override { return bar; }
    void showProgress() override {}
    void hideProgress() override {}
    DestroyAnswer askBeforeDestroying(const DestroyQuestion&) override {
        return {DestroyAnswer::Choice::Proceed, false, {}};
    }
    void showKbdError(const std::string& text, const std::string&) override { error = text; }
    void showDefaultError(const std::string& text) override { error = text; }
    SilentProgress bar;
    std::size_t steps = 0;
    std::string error;
};

// Every slot of every type 0 to 8 holds an item: the fixed-size ones always
// do; songs, rhythms, SMF and one wave of every tone and drum group get one.
void fillEverySlot(kbdsim::KeyboardMemory& memory) {
    for (std::uint16_t n = 0; n < 5; ++n)
        memory.store(category::Song, n, Bytes(1000, 0x21));
    for (std::uint16_t n = 140; n < 156; ++n)
        memory.store(category::Rhythm, n, Bytes(600, 0x22));
    for (std::uint16_t n = 0; n < 200; ++n) {
        memory.store(category::SMF, n, Bytes(300, 0x23));
        memory.setName(category::SMF, n, "SMF " + std::to_string(1000 + n));
    }
    for (std::uint16_t g = 850; g < 870; ++g)
        memory.store(category::WaveData, kbdsim::layout::toneGroupChildren(g)[4].first,
                     Bytes(512, 0x24));
    for (std::uint16_t g = 17; g < 21; ++g)
        memory.store(category::WaveData, kbdsim::layout::drumGroupChildren(g)[3].first,
                     Bytes(512, 0x25));
}

} // namespace

int main(int argc, char* argv[]) {
    const bool backup = argc > 1 && std::string(argv[1]) == "backup";
    QCoreApplication application(argc, argv);
    QTemporaryDir folder;
    kbdsim::Options options;
    options.pacing.enabled = true;
    auto simulator = std::make_shared<kbdsim::KeyboardSimulator>(options);
    if (backup)
        fillEverySlot(simulator->memory());
    std::size_t bytes = 0;
    std::chrono::microseconds processing{0};
    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(std::make_unique<midi::VirtualDeviceBackend>(
        kbdsim::virtualKeyboardName,
        [&](const Bytes& message) {
            bytes += message.size();
            std::vector<midi::TimedMessage> answers;
            for (auto& reply : simulator->handle(message)) {
                bytes += reply.message.size();
                answers.push_back({std::move(reply.message), reply.delay});
            }
            if (!answers.empty())
                processing += simulator->options().pacing.processingDelay;
            return answers;
        },
        [](std::size_t count) { return kbdsim::Pacing::wireTime(count); }));
    MidiDialogEnvironment environment;
    environment.driver = std::make_shared<midi::Driver>(std::move(backends));
    environment.inputDevice = kbdsim::virtualKeyboardName;
    environment.outputDevice = kbdsim::virtualKeyboardName;

    CountingView view;
    DataManager manager(
        view, [&] { return createMidiDialog(environment); }, Settings{});

    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    sinceTick.start();
    ticker.start(10);

    QElapsedTimer clock;
    clock.start();
    if (backup)
        manager.backupKbd(folder.filePath("backup").toStdString());
    else
        manager.updateKbdList();
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    ticker.stop();
    if (!view.error.empty()) {
        std::fprintf(stderr, "%s failed: %s\n", backup ? "Backup" : "Update List",
                     view.error.c_str());
        return 1;
    }
    const double wire =
        static_cast<double>((kbdsim::Pacing::wireTime(bytes) + processing).count()) / 1e6;
    std::printf("%s: %zu messages, %zu bytes, wire time %.3f s, elapsed %.3f s, ratio %.4f\n",
                backup ? "Backup" : "Update List", simulator->messageCount(), bytes, wire, elapsed,
                elapsed / wire);
    if (backup)
        std::printf("Items backed up: %zu\n", view.steps);
    std::printf("Longest gap between two 10 ms ticks on the UI thread: %lld ms\n",
                static_cast<long long>(longestGap));
    return 0;
}
