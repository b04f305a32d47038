// The MIDI dialog across processes: a JACK server of the test's own (dummy
// driver, synchronous mode, a unique name) and the stand-alone keyboard
// simulator tq7400-kbdsim on it, reached through the RtMidi backend with the
// simulator's port names stored as the MIDI settings.

#include "link/DialogBench.h"
#include "link/MidiDialogFactory.h"
#include "platform/midi/MidiDriver.h"
#include "support/JackServer.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <utility>

namespace {

using namespace qel;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

const std::string simulatorName = "TQ-7400 Simulator";
// The simulator's ports: what the PC receives from, and what it sends to.
const std::string keyboardOut = simulatorName + " Out:MIDI Out";
const std::string keyboardIn = simulatorName + " In:MIDI In";

class DialogOverJack : public testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<test::JackServer>(test::uniqueServerName("qel-link"));
        if (!server->problem().empty())
            GTEST_SKIP() << server->problem();
        ::setenv("QEL_MIDI_API", "jack", 1);
        simulator = std::make_unique<test::Program>(
            TQ7400_KBDSIM,
            QStringList{"--api", "jack", "--name", QString::fromStdString(simulatorName)});
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

    std::unique_ptr<test::JackServer> server;
    std::unique_ptr<test::Program> simulator;
    std::unique_ptr<MidiDialog> dialog;
};

TEST_F(DialogOverJack, ListsReceivesAndSendsItemsWithTheStoredPortNames) {
    auto driver = midi::makeSystemDevicesOnlyDriver();
    const auto inputs = driver->inputNames();
    const auto outputs = driver->outputNames();
    EXPECT_NE(std::find(inputs.begin(), inputs.end(), keyboardOut), inputs.end());
    EXPECT_NE(std::find(outputs.begin(), outputs.end(), keyboardIn), outputs.end());

    test::DialogBench bench(driver, 5000ms);
    bench.useDevices(keyboardOut, keyboardIn);
    dialog = bench.create();
    ASSERT_EQ(dialog->getErrorCode(), 0) << dialog->getErrorText(dialog->getErrorCode());
    ASSERT_TRUE(bench.view->errors.empty());

    // Listing, as the keyboard list refresh does it.
    dialog->beginCommunication();
    ASSERT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(dialog->getModel(), 3);
    ASSERT_EQ(dialog->getErrorCode(), 0);
    const std::string toneName = dialog->getDataName(2, 750);
    ASSERT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(toneName.size(), 8u);

    // An SMF of the demo content, several blocks long.
    const std::int32_t size = dialog->getDataSize(16, 2);
    ASSERT_EQ(dialog->getErrorCode(), 0);
    ASSERT_GT(size, 256);
    Bytes item(static_cast<std::size_t>(size));
    EXPECT_EQ(dialog->receiveData(16, 2, item), item.size());
    ASSERT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(Bytes(item.begin(), item.begin() + 4), (Bytes{'M', 'T', 'h', 'd'}));

    // Sent back into another slot with a name, then read again.
    dialog->sendData(16, 20, item);
    ASSERT_EQ(dialog->getErrorCode(), 0);
    dialog->sendDataName(16, 20, "JACK RTT");
    ASSERT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(dialog->getDataName(16, 20), "JACK RTT");
    Bytes back(item.size());
    EXPECT_EQ(dialog->receiveData(16, 20, back), back.size());
    EXPECT_EQ(dialog->getErrorCode(), 0);
    EXPECT_EQ(back, item);
}

// The JACK server going away in the middle of a transfer: the dialog ends the
// transfer with an error code instead of waiting for ever, closes, and the
// simulator ends with an error of its own.
TEST_F(DialogOverJack, AServerThatStopsMidTransferEndsItWithAnError) {
    auto driver = midi::makeSystemDevicesOnlyDriver();
    test::DialogBench bench(driver, 3000ms);
    bench.useDevices(keyboardOut, keyboardIn);
    class StoppingView : public test::RecordingView {
    public:
        StoppingView(std::shared_ptr<test::ViewLog> log, std::function<void()> stop)
            : RecordingView(std::move(log)), stop_(std::move(stop)) {}
        void setPosition(int position) override {
            RecordingView::setPosition(position);
            if (position > 0 && stop_)
                std::exchange(stop_, nullptr)(); // after the first block
        }

    private:
        std::function<void()> stop_;
    };
    bench.environment.makeView = [&] {
        return std::make_unique<StoppingView>(
            bench.view, [&] { EXPECT_TRUE(server->stop()) << server->output(); });
    };
    dialog = bench.create();
    ASSERT_EQ(dialog->getErrorCode(), 0);
    const std::int32_t size = dialog->getDataSize(16, 2);
    ASSERT_GT(size, 256) << "an item of several blocks";
    Bytes item(static_cast<std::size_t>(size));
    const std::size_t received = dialog->receiveData(16, 2, item);
    EXPECT_NE(dialog->getErrorCode(), 0);
    EXPECT_LT(received, item.size());
    dialog.reset();

    EXPECT_EQ(simulator->waitForExit(10s), 1) << simulator->output();
    EXPECT_NE(simulator->output().find("JACK server has shut down"), std::string::npos)
        << simulator->output();
    simulator.reset();
}

} // namespace
