// The MIDI dialog over JACK against the stand-alone simulator, on a JACK
// server this program starts for itself (dummy driver, synchronous mode, by
// default without real-time scheduling) with busy-loop processes beside it:
//   1. open and close a MIDI dialog many times: median, 90th percentile and
//      largest time, in milliseconds;
//   2. "send a small item, close the dialog at once", many times: after each,
//      a new dialog reads the slot's name and content back, and every item
//      the keyboard did not store is counted.
// A program to run by hand (build target link_jack_benchmark), not a test:
//   link_jack_benchmark [--opens N] [--actions N] [--busy N] [--realtime]

#include "link/DialogBench.h"
#include "platform/midi/MidiDriver.h"
#include "support/JackServer.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace qel;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t smf = 16;
constexpr std::uint16_t smfSlots = 200;
const std::string simulatorName = "TQ-7400 Simulator";

struct Settings {
    int opens = 200;
    int actions = 500;
    int busy = 2;
    bool realtime = false;
};

Settings parse(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (std::strcmp(argv[i], "--opens") == 0 && more)
            settings.opens = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--actions") == 0 && more)
            settings.actions = std::max(0, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--busy") == 0 && more)
            settings.busy = std::max(0, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--realtime") == 0)
            settings.realtime = true;
        else
            std::fprintf(stderr, "ignored: %s\n", argv[i]);
    }
    return settings;
}

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Processes that keep the CPU busy: `sh -c 'while :; do :; done'`, killed by
// their process id when this object goes.
class BusyLoops {
public:
    explicit BusyLoops(int count) {
        for (int i = 0; i < count; ++i) {
            auto loop = std::make_unique<QProcess>();
            loop->start("/bin/sh", {"-c", "while :; do :; done"});
            if (loop->waitForStarted(5000)) {
                std::printf("busy loop: pid %lld\n", static_cast<long long>(loop->processId()));
                loops_.push_back(std::move(loop));
            }
        }
    }
    ~BusyLoops() {
        for (auto& loop : loops_) {
            loop->kill();
            loop->waitForFinished(5000);
        }
    }

private:
    std::vector<std::unique_ptr<QProcess>> loops_;
};

void measureOpenAndClose(test::DialogBench& bench, int opens) {
    std::vector<double> times;
    int failures = 0;
    for (int i = 0; i < opens; ++i) {
        const auto start = Clock::now();
        auto dialog = bench.create();
        const bool opened = dialog->getErrorCode() == 0;
        dialog.reset();
        times.push_back(milliseconds(Clock::now() - start));
        failures += opened ? 0 : 1;
    }
    const double first = times.front();
    times.erase(times.begin()); // the first also connects the backend's JACK client
    std::sort(times.begin(), times.end());
    if (times.empty())
        times.push_back(first);
    std::printf(
        "open + close of a MIDI dialog, %zu times after the first (%.2f ms): median %.2f ms, "
        "90%% %.2f ms, largest %.2f ms; failed opens: %d\n",
        times.size(), first, times[times.size() / 2], times[times.size() * 9 / 10], times.back(),
        failures);
}

// Sends, names and leaves at once; a new dialog reads name and content back.
void sendAndCloseAtOnce(test::DialogBench& bench, int actions) {
    std::mt19937 random(7400);
    int stored = 0;
    int failedActions = 0;
    int lost = 0;
    const auto start = Clock::now();
    for (int action = 0; action < actions; ++action) {
        const auto slot = static_cast<std::uint16_t>(action % smfSlots);
        // One to three blocks, an even number of bytes: a block carries whole
        // pairs, so an odd item would come back with a padding zero.
        Bytes item(2 * (50 + random() % 100));
        for (auto& byte : item)
            byte = static_cast<std::uint8_t>(random());
        std::string name = std::to_string(10000000 + action % 10000000);
        name.front() = 'A';
        {
            auto dialog = bench.create();
            dialog->sendData(smf, slot, item);
            const int sent = dialog->getErrorCode();
            dialog->sendDataName(smf, slot, name);
            const int named = dialog->getErrorCode();
            if (sent != 0 || named != 0) {
                ++failedActions;
                std::printf("action %d: the dialog reported error %d / %d\n", action, sent, named);
                continue;
            }
        } // closed at once
        auto check = bench.create();
        const std::string storedName = check->getDataName(smf, slot);
        Bytes back(item.size());
        const std::size_t received = check->receiveData(smf, slot, back);
        if (storedName == name && received == item.size() && back == item) {
            ++stored;
        } else {
            ++lost;
            std::printf("action %d: slot %u holds \"%s\" (%zu bytes%s), error %d\n", action,
                        unsigned{slot}, storedName.c_str(), received,
                        back == item ? ", same content" : "", check->getErrorCode());
        }
    }
    std::printf("send a small item, close at once: %d actions in %.1f s; stored %d, lost %d, "
                "reported failed %d\n",
                actions, milliseconds(Clock::now() - start) / 1000.0, stored, lost, failedActions);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const Settings settings = parse(argc, argv);

    const std::string serverName = test::uniqueServerName("qel-bench");
    ::setenv("JACK_DEFAULT_SERVER", serverName.c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    ::setenv("QEL_MIDI_API", "jack", 1);
    QStringList serverArguments{"-S", settings.realtime ? "--realtime" : "--no-realtime",
                                "-n", QString::fromStdString(serverName),
                                "-d", "dummy",
                                "-r", "48000",
                                "-p", "64"};
    std::printf("jackd %s\n", serverArguments.join(' ').toStdString().c_str());
    test::Program server(test::JackServer::jackd, serverArguments);
    test::Program wait(test::JackServer::jackWait, {"-w", "-t", "10"});
    if (!server.started() || wait.waitForExit(15s) != 0) {
        std::fprintf(stderr, "no JACK server:\n%s\n", server.output().c_str());
        return 1;
    }
    int status = 0;
    {
        test::Program simulator(TQ7400_KBDSIM, {"--api", "jack", "--name",
                                                QString::fromStdString(simulatorName), "--blank"});
        if (!simulator.waitForOutput("tq7400-kbdsim ready", 10s)) {
            std::fprintf(stderr, "no simulator:\n%s\n", simulator.output().c_str());
            return 1;
        }
        BusyLoops busy(settings.busy);
        {
            test::DialogBench bench(midi::makeSystemDevicesOnlyDriver(), 5000ms);
            bench.useDevices(simulatorName + " Out:MIDI Out", simulatorName + " In:MIDI In");
            measureOpenAndClose(bench, settings.opens);
            sendAndCloseAtOnce(bench, settings.actions);
        }
        if (!simulator.stop()) {
            std::fprintf(stderr, "the simulator did not end cleanly:\n%s\n",
                         simulator.output().c_str());
            status = 1;
        }
    }
    if (!server.stop()) {
        std::fprintf(stderr, "the JACK server did not end cleanly\n");
        status = 1;
    }
    return status;
}
