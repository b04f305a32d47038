#pragma once

// Hosts a KeyboardSimulator on MIDI ports of its own (JACK through the
// driver layer's JackClient, ALSA through RtMidi): every SysEx message
// arriving at the input port is handed to the simulator, and its replies leave
// through the output port when their delay is due.

#include "kbdsim/KeyboardSimulator.h"
#include "kbdsim/tool/CommandLine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace kbdsim::tool {

class HostPorts;

class MidiHost {
public:
    // Opens the input and output ports named after the settings. Throws
    // qel::Exception when the MIDI system is not available (for JACK: no
    // server running, or a client of that name exists) or a port cannot be made.
    MidiHost(const Settings& settings, KeyboardSimulator& keyboard);
    // Closes the ports; replies still queued leave first (within a bound).
    ~MidiHost();
    MidiHost(const MidiHost&) = delete;
    MidiHost& operator=(const MidiHost&) = delete;

    // The MIDI system in use: "JACK" or "ALSA".
    std::string apiName() const;

    // Serves messages until `stop` becomes true; checks it at least every
    // 100 ms, also while a paced reply waits for its time. `afterMessage` runs
    // after each message has been answered. Throws qel::Exception when the
    // MIDI system fails (a reply cannot be sent, the JACK server shut down).
    void run(const std::atomic<bool>& stop, const std::function<void(const Bytes&)>& afterMessage);

    // Called on the MIDI system's thread for each incoming message.
    void enqueue(Bytes message);

private:
    struct Incoming {
        Bytes message;
        std::chrono::steady_clock::time_point arrival;
    };
    bool waitForMessage(Incoming& next);

    Settings settings_;
    KeyboardSimulator& keyboard_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Incoming> queue_;
    std::unique_ptr<HostPorts> ports_; // last: its threads call enqueue()
};

} // namespace kbdsim::tool
