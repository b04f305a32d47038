#include "kbdsim/tool/MidiHost.h"

#include "core/Exception.h"

#include <cstdio>
#include <rtmidi/RtMidi.h>
#include <thread>
#include <unistd.h>

namespace kbdsim::tool {
namespace {

// A sender that floods the port cannot make the queue grow without end.
constexpr std::size_t queueLimit = 4096;
constexpr auto pollInterval = std::chrono::milliseconds(100);

RtMidi::Api chooseApi(MidiApi api) {
    switch (api) {
    case MidiApi::Jack:
        return RtMidi::UNIX_JACK;
    case MidiApi::Alsa:
        return RtMidi::LINUX_ALSA;
    case MidiApi::Automatic:
        break;
    }
    return ::access("/dev/snd/seq", R_OK | W_OK) == 0 ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

void onMessage(double, std::vector<unsigned char>* message, void* host) {
    if (message && !message->empty())
        static_cast<MidiHost*>(host)->enqueue(Bytes(message->begin(), message->end()));
}

void onError(RtMidiError::Type type, const std::string& text, void* error) {
    if (type != RtMidiError::DEBUG_WARNING)
        *static_cast<std::string*>(error) = text;
}

void trace(const char* direction, const Bytes& message) {
    std::string text;
    char byte[4];
    for (std::uint8_t value : message) {
        std::snprintf(byte, sizeof byte, " %02X", value);
        text += byte;
    }
    std::fprintf(stderr, "%s%s\n", direction, text.c_str());
}

} // namespace

MidiHost::MidiHost(const Settings& settings, KeyboardSimulator& keyboard)
    : settings_(settings), keyboard_(keyboard) {
    const RtMidi::Api api = chooseApi(settings.api);
    try {
        input_ = std::make_unique<RtMidiIn>(api, inputClientName(settings), 1024);
        input_->setErrorCallback(onError, &error_);
        // Counting the ports connects to the MIDI system; a JACK server that
        // is not running shows up here rather than as a port without a client.
        input_->getPortCount();
        checkErrors("connecting the input");
        input_->ignoreTypes(false, true, true); // SysEx in, no timing or sensing
        input_->setCallback(onMessage, this);
        input_->openVirtualPort("MIDI In");
        checkErrors("opening the input port");

        output_ = std::make_unique<RtMidiOut>(api, outputClientName(settings));
        output_->setErrorCallback(onError, &error_);
        output_->getPortCount();
        checkErrors("connecting the output");
        output_->openVirtualPort("MIDI Out");
        checkErrors("opening the output port");
    } catch (const RtMidiError& failure) {
        throw qel::Exception("MIDI system error: " + failure.getMessage());
    }
}

MidiHost::~MidiHost() {
    if (input_)
        input_->cancelCallback();
}

std::string MidiHost::apiName() const {
    return input_->getCurrentApi() == RtMidi::UNIX_JACK ? "JACK" : "ALSA";
}

void MidiHost::checkErrors(const char* step) {
    if (!error_.empty())
        throw qel::Exception(std::string("MIDI system error while ") + step + ": " + error_);
}

void MidiHost::enqueue(Bytes message) {
    {
        const std::lock_guard lock(mutex_);
        if (queue_.size() >= queueLimit)
            return;
        queue_.push_back({std::move(message), std::chrono::steady_clock::now()});
    }
    arrived_.notify_one();
}

bool MidiHost::waitForMessage(Incoming& next) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, pollInterval, [this] { return !queue_.empty(); }))
        return false;
    next = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

void MidiHost::run(const std::atomic<bool>& stop,
                   const std::function<void(const Bytes&)>& afterMessage) {
    Incoming next;
    while (!stop) {
        if (!waitForMessage(next))
            continue;
        if (settings_.trace)
            trace("in: ", next.message);
        // The message came over a virtual wire at once; with pacing it is
        // received only after its MIDI wire time.
        const auto received =
            next.arrival + (settings_.options.pacing.enabled ? Pacing::wireTime(next.message.size())
                                                             : std::chrono::microseconds{0});
        for (Reply& reply : keyboard_.handle(next.message)) {
            const auto due = received + reply.delay;
            while (!stop && std::chrono::steady_clock::now() < due)
                std::this_thread::sleep_until(
                    std::min(due, std::chrono::steady_clock::now() + pollInterval));
            if (stop)
                return;
            if (settings_.trace)
                trace("out:", reply.message);
            output_->sendMessage(&reply.message);
        }
        afterMessage(next.message);
    }
}

} // namespace kbdsim::tool
