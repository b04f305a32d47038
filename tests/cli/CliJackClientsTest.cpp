// tq7400 on a machine where JACK is the MIDI system and a JACK server of the
// test's own runs: a run that uses the virtual keyboard alone never opens a
// JACK client, while listing the devices does. A watcher client on the server
// hears of every client that registers; had libjack been asked to open one,
// it would have succeeded on this server and been heard of.

#include "core/SettingsKeys.h"
#include "platform/registry/Registry.h"
#include "support/ChildProcess.h"
#include "support/JackServer.h"
#include "support/ScratchFolder.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <mutex>

namespace {

using namespace std::chrono_literals;
using kbdsim::test::ChildProcess;

const std::string programClient = "TQ-7400 Data Manager";

// A JACK client that records the names of the clients that register on its server.
class RegistrationWatcher {
public:
    RegistrationWatcher() {
        jack_status_t status{};
        client_ = jack_client_open("qel-watcher", JackNoStartServer, &status);
        if (!client_)
            return;
        jack_set_client_registration_callback(client_, &RegistrationWatcher::onRegistration, this);
        if (jack_activate(client_) != 0) {
            jack_client_close(client_);
            client_ = nullptr;
        }
    }
    ~RegistrationWatcher() {
        if (client_)
            jack_client_close(client_);
    }
    RegistrationWatcher(const RegistrationWatcher&) = delete;
    RegistrationWatcher& operator=(const RegistrationWatcher&) = delete;

    bool active() const { return client_ != nullptr; }

    // Waits (up to `bound`) until every registration made so far has reached
    // the watcher: the server tells a client of registrations in the order
    // they happen, so once a marker client's own has arrived, all earlier
    // ones have. Then returns and forgets the names registered until now.
    std::vector<std::string> takeRegistered(std::chrono::milliseconds bound) {
        const std::string marker = "qel-marker-" + std::to_string(++markers_);
        jack_status_t status{};
        jack_client_t* client = jack_client_open(
            marker.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackUseExactName),
            &status);
        EXPECT_NE(client, nullptr) << "status " << status;
        std::unique_lock lock(mutex_);
        const bool seen = arrived_.wait_for(lock, bound, [&] {
            return std::find(names_.begin(), names_.end(), marker) != names_.end();
        });
        EXPECT_TRUE(seen) << "the marker's registration did not arrive";
        std::vector<std::string> names;
        std::swap(names, names_);
        std::erase(names, marker);
        lock.unlock();
        if (client)
            jack_client_close(client);
        return names;
    }

private:
    // JACK's notification thread.
    static void onRegistration(const char* name, int registered, void* self) {
        auto* watcher = static_cast<RegistrationWatcher*>(self);
        if (!registered)
            return;
        const std::lock_guard lock(watcher->mutex_);
        watcher->names_.emplace_back(name);
        watcher->arrived_.notify_all();
    }

    jack_client_t* client_ = nullptr;
    int markers_ = 0;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> names_;
};

class CliOnJack : public testing::Test {
protected:
    void SetUp() override {
        config = scratch.path() + "config";
        std::filesystem::create_directories(config);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("QEL_MIDI_API", "jack", 1); // as on a machine without an ALSA sequencer
        server = std::make_unique<qel::test::JackServer>(qel::test::uniqueServerName("qel-cli"));
        if (!server->problem().empty())
            GTEST_SKIP() << server->problem();
        watcher = std::make_unique<RegistrationWatcher>();
        ASSERT_TRUE(watcher->active());
        watcher->takeRegistered(10s); // the watcher's own
    }

    void TearDown() override {
        watcher.reset();
        if (server) {
            EXPECT_TRUE(server->stop()) << server->output();
        }
        ::unsetenv("QEL_MIDI_API");
    }

    // Runs tq7400 to its end; a crash or any status but 0 is a failure.
    void run(const std::vector<std::string>& arguments) {
        std::vector<std::string> command{CLI_PROGRAM};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const std::string log = scratch.path() + "log.txt";
        ChildProcess child(command, log);
        ASSERT_TRUE(child.started());
        EXPECT_EQ(child.waitForExit(60s), 0) << kbdsim::test::readFile(log);
    }

    // Whether the program's JACK client registered since the last call.
    bool programRegistered() {
        const std::vector<std::string> names = watcher->takeRegistered(10s);
        return std::any_of(names.begin(), names.end(),
                           [](const std::string& name) { return name.starts_with(programClient); });
    }

    qel::test::ScratchFolder scratch;
    std::string config;
    std::unique_ptr<qel::test::JackServer> server;
    std::unique_ptr<RegistrationWatcher> watcher;
};

TEST_F(CliOnJack, RunsOnTheVirtualKeyboardAloneOpenNoJackClient) {
    const std::string backup = scratch.path() + "backup";
    const std::vector<std::vector<std::string>> runs{
        {"--virtual", "list"},
        {"--virtual", "--json", "list", "tone"},
        {"--virtual", "--quiet", "backup", backup},
        {"--virtual", "--quiet", "restore", backup},
        {"--in", "tq-7400 virtual keyboard", "--out", "TQ-7400 VIRTUAL KEYBOARD", "model"},
    };
    for (const auto& arguments : runs) {
        run(arguments);
        EXPECT_FALSE(programRegistered()) << arguments[1];
    }
}

TEST_F(CliOnJack, StoredSettingsNamingTheVirtualKeyboardOpenNoJackClient) {
    qel::registry::Registry settings(
        QString::fromStdString(config + "/TQ-7400 Data Manager/registry.json"));
    settings.writeString(qel::settings::midiKey, qel::settings::inputDeviceValue,
                         "TQ-7400 Virtual Keyboard");
    settings.writeString(qel::settings::midiKey, qel::settings::outputDeviceValue,
                         "tq-7400 virtual keyboard");
    run({"list", "rhythm"});
    EXPECT_FALSE(programRegistered());
}

// The watcher does hear the program when it does reach JACK.
TEST_F(CliOnJack, ListingTheDevicesOpensAJackClient) {
    run({"devices"});
    EXPECT_TRUE(programRegistered());
    run({"--virtual", "devices"});
    EXPECT_TRUE(programRegistered());
}

} // namespace
