// The MIDI dialog across processes: a JACK server of the test's own (dummy
// driver, synchronous mode, a unique name) and the stand-alone keyboard
// simulator tq7400-kbdsim on it, reached through the RtMidi backend with the
// simulator's port names stored as the MIDI settings.

#include "link/MidiDialogFactory.h"
#include "platform/midi/MidiDriver.h"

#include "link/DialogBench.h"

#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace {

using namespace qel;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

const char* const jackd = "/usr/bin/jackd";
const char* const jackWait = "/usr/bin/jack_wait";
const std::string simulatorName = "TQ-7400 Simulator";
// The simulator's ports: what the PC receives from, and what it sends to.
const std::string keyboardOut = simulatorName + " Out:MIDI Out";
const std::string keyboardIn = simulatorName + " In:MIDI In";

// A program the test starts and always stops again: SIGINT (JACK then leaves
// its server registry clean), SIGKILL if it does not end within 10 s.
class Program {
public:
    Program(const QString& path, const QStringList& arguments) {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(path, arguments);
        started_ = process_.waitForStarted(5000);
    }
    ~Program() { stop(); }

    bool started() const { return started_; }
    bool running() const { return process_.state() == QProcess::Running; }

    // Waits up to `bound` until the program has printed `text`.
    bool waitForOutput(const QByteArray& text, std::chrono::milliseconds bound) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (!output_.contains(text) && std::chrono::steady_clock::now() < deadline) {
            process_.waitForReadyRead(100);
            output_ += process_.readAll();
        }
        return output_.contains(text);
    }
    // Waits up to `bound` for the program to end by itself; its exit code, or -1.
    int waitForExit(std::chrono::milliseconds bound) {
        if (!process_.waitForFinished(static_cast<int>(bound.count())))
            return -1;
        return process_.exitCode();
    }
    // Stops it with SIGINT; true when it ended by itself in time.
    bool stop() {
        if (!running())
            return true;
        ::kill(static_cast<pid_t>(process_.processId()), SIGINT);
        if (process_.waitForFinished(10000))
            return true;
        process_.kill();
        process_.waitForFinished(5000);
        return false;
    }
    std::string output() {
        output_ += process_.readAll();
        return output_.toStdString();
    }

private:
    QProcess process_;
    QByteArray output_;
    bool started_ = false;
};

class DialogOverJack : public testing::Test {
protected:
    void SetUp() override {
        if (::access(jackd, X_OK) != 0)
            GTEST_SKIP() << "jackd is not installed (scripts/setup.sh installs jackd2)";
        serverName = "qel-link-" + std::to_string(::getpid());
        // Every JACK client of this test, the simulator included, goes to this
        // server and never starts one of its own.
        ::setenv("JACK_DEFAULT_SERVER", serverName.c_str(), 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
        ::setenv("QEL_MIDI_API", "jack", 1);
        server = std::make_unique<Program>(
            jackd, QStringList{"-S", "-n", QString::fromStdString(serverName), "-d", "dummy", "-r",
                               "48000", "-p", "64"});
        ASSERT_TRUE(server->started());
        Program wait(jackWait, {"-w", "-t", "10"});
        if (wait.waitForExit(15s) != 0 || !server->running())
            GTEST_SKIP() << "no JACK server can start here:\n" << server->output();
        simulator = std::make_unique<Program>(
            TQ7400_KBDSIM, QStringList{"--api", "jack", "--name",
                                       QString::fromStdString(simulatorName)});
        ASSERT_TRUE(simulator->started());
        ASSERT_TRUE(simulator->waitForOutput("tq7400-kbdsim ready", 10s)) << simulator->output();
    }

    void TearDown() override {
        dialog.reset(); // close our ports while the server still runs
        if (simulator) {
            EXPECT_TRUE(simulator->stop()) << simulator->output();
        }
        if (server) {
            EXPECT_TRUE(server->stop()) << server->output();
        }
        ::unsetenv("QEL_MIDI_API");
    }

    std::string serverName;
    std::unique_ptr<Program> server;
    std::unique_ptr<Program> simulator;
    std::unique_ptr<IQelMidiDialog> dialog;
};

TEST_F(DialogOverJack, ListsReceivesAndSendsItemsWithTheStoredPortNames) {
    auto driver = midi::makeSystemDriver();
    const auto inputs = driver->inputNames();
    const auto outputs = driver->outputNames();
    EXPECT_NE(std::find(inputs.begin(), inputs.end(), keyboardOut), inputs.end());
    EXPECT_NE(std::find(outputs.begin(), outputs.end(), keyboardIn), outputs.end());

    test::DialogBench bench(driver, 5000ms);
    bench.storeDevices(keyboardOut, keyboardIn);
    dialog = bench.create();
    ASSERT_EQ(dialog->GetErrorCode(), 0) << dialog->GetErrorText(dialog->GetErrorCode());
    ASSERT_TRUE(bench.view->errors.empty());

    // Listing, as the keyboard list refresh does it.
    dialog->BeginCommunication();
    ASSERT_EQ(dialog->GetErrorCode(), 0);
    EXPECT_EQ(dialog->GetModel(), 3);
    ASSERT_EQ(dialog->GetErrorCode(), 0);
    const std::string toneName = dialog->GetDataName(2, 750);
    ASSERT_EQ(dialog->GetErrorCode(), 0);
    EXPECT_EQ(toneName.size(), 8u);

    // An SMF of the demo content, several blocks long.
    const std::int32_t size = dialog->GetDataSize(16, 2);
    ASSERT_EQ(dialog->GetErrorCode(), 0);
    ASSERT_GT(size, 256);
    Bytes item(static_cast<std::size_t>(size));
    EXPECT_EQ(dialog->ReceiveData(16, 2, item), item.size());
    ASSERT_EQ(dialog->GetErrorCode(), 0);
    EXPECT_EQ(Bytes(item.begin(), item.begin() + 4), (Bytes{'M', 'T', 'h', 'd'}));

    // Sent back into another slot with a name, then read again.
    dialog->SendData(16, 20, item);
    ASSERT_EQ(dialog->GetErrorCode(), 0);
    dialog->SendDataName(16, 20, "JACK RTT");
    ASSERT_EQ(dialog->GetErrorCode(), 0);
    EXPECT_EQ(dialog->GetDataName(16, 20), "JACK RTT");
    Bytes back(item.size());
    EXPECT_EQ(dialog->ReceiveData(16, 20, back), back.size());
    EXPECT_EQ(dialog->GetErrorCode(), 0);
    EXPECT_EQ(back, item);
}

} // namespace
