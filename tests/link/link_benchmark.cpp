// Measures the keyboard link against the in-process simulated keyboard:
//   1. the software overhead of one parameter request/reply cycle and of one
//      128-byte block round trip through the whole stack, without pacing
//      (median of many, in microseconds);
//   2. a 64 KB transfer against the paced keyboard: elapsed time divided by
//      the sum of the wire times of all its messages, both directions.
// A program to run by hand (build target link_benchmark), not a test.

#include "kbdsim/device/VirtualKeyboard.h"
#include "link/HeadlessMidiDialogView.h"
#include "link/MidiDialogFactory.h"
#include "platform/midi/VirtualDevice.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using namespace qel;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t smf = 16;
constexpr std::uint16_t waveData = 8;

// The virtual keyboard as makeVirtualKeyboardBackend() builds it, with every
// message counted in both directions for the wire-time sum.
struct CountingKeyboard {
    std::shared_ptr<kbdsim::KeyboardSimulator> simulator;
    std::size_t bytesOut = 0;
    std::size_t bytesIn = 0;

    explicit CountingKeyboard(bool paced) {
        kbdsim::Options options;
        options.content = kbdsim::StartContent::Blank;
        options.pacing.enabled = paced;
        simulator = std::make_shared<kbdsim::KeyboardSimulator>(options);
    }

    std::shared_ptr<midi::Driver> driver() {
        auto sim = simulator;
        std::vector<std::unique_ptr<midi::Backend>> backends;
        backends.push_back(std::make_unique<midi::VirtualDeviceBackend>(
            kbdsim::virtualKeyboardName,
            [this, sim](const Bytes& message) {
                bytesOut += message.size();
                std::vector<midi::TimedMessage> answers;
                for (auto& reply : sim->handle(message)) {
                    bytesIn += reply.message.size();
                    answers.push_back({std::move(reply.message), reply.delay});
                }
                return answers;
            },
            [sim](std::size_t bytes) {
                return sim->options().pacing.enabled ? kbdsim::Pacing::wireTime(bytes)
                                                     : std::chrono::microseconds{0};
            }));
        return std::make_shared<midi::Driver>(std::move(backends));
    }
};

std::unique_ptr<MidiDialog> openDialog(std::shared_ptr<midi::Driver> driver) {
    MidiDialogEnvironment environment;
    environment.driver = std::move(driver);
    environment.inputDevice = kbdsim::virtualKeyboardName;
    environment.outputDevice = kbdsim::virtualKeyboardName;
    environment.makeView = [] { return std::make_unique<HeadlessMidiDialogView>(); };
    auto dialog = createMidiDialog(environment);
    dialog->setShowProgress(false);
    return dialog;
}

template <typename Operation> double medianMicroseconds(int runs, Operation operation) {
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        operation();
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[static_cast<std::size_t>(runs / 2)];
}

bool check(const MidiDialog& dialog, const char* what) {
    if (dialog.getErrorCode() == 0)
        return true;
    std::fprintf(stderr, "%s failed: error %d\n", what, dialog.getErrorCode());
    return false;
}

bool unpaced() {
    CountingKeyboard keyboard(false);
    auto dialog = openDialog(keyboard.driver());
    if (!check(*dialog, "open"))
        return false;
    const int runs = 5000;
    for (int i = 0; i < 200; ++i) // warm-up
        dialog->getModel();
    const double cycle = medianMicroseconds(runs, [&] { dialog->getModel(); });
    if (!check(*dialog, "GetModel"))
        return false;
    const Bytes block(128, 0x55);
    const double send = medianMicroseconds(runs, [&] { dialog->sendData(smf, 3, block); });
    if (!check(*dialog, "SendData"))
        return false;
    Bytes back(128);
    const double receive = medianMicroseconds(runs, [&] { dialog->receiveData(smf, 3, back); });
    if (!check(*dialog, "ReceiveData") || back != block)
        return false;
    std::printf("parameter request/reply cycle (GetModel):        %8.1f us median of %d\n", cycle,
                runs);
    std::printf("128-byte block out (SendData: block, ack, end):   %8.1f us median of %d\n", send,
                runs);
    std::printf("128-byte block in (ReceiveData: size, block, end):%8.1f us median of %d\n",
                receive, runs);
    return true;
}

bool paced() {
    CountingKeyboard keyboard(true);
    auto dialog = openDialog(keyboard.driver());
    if (!check(*dialog, "open"))
        return false;
    Bytes data(64 * 1024);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 13);

    auto measure = [&](const char* what, auto operation) {
        keyboard.bytesOut = keyboard.bytesIn = 0;
        const auto start = Clock::now();
        operation();
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const double wire = std::chrono::duration<double>(
                                kbdsim::Pacing::wireTime(keyboard.bytesOut + keyboard.bytesIn))
                                .count();
        std::printf("paced 64 KB %-8s elapsed %7.3f s, wire time %7.3f s, ratio %.4f\n", what,
                    elapsed, wire, elapsed / wire);
    };
    measure("send", [&] { dialog->sendData(waveData, 800, data); });
    if (!check(*dialog, "paced SendData"))
        return false;
    Bytes back(data.size());
    measure("receive", [&] { dialog->receiveData(waveData, 800, back); });
    if (!check(*dialog, "paced ReceiveData") || back != data)
        return false;
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const bool skipPaced = argc > 1 && std::string(argv[1]) == "--no-paced";
    if (!unpaced())
        return 1;
    if (!skipPaced && !paced())
        return 1;
    return 0;
}
