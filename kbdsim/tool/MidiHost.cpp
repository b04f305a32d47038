#include "kbdsim/tool/MidiHost.h"

#include "core/Exception.h"
#include "platform/midi/JackClient.h"
#include "platform/midi/RtMidiErrorTrap.h"

#include <cstdio>
#include <rtmidi/RtMidi.h>
#include <thread>
#include <unistd.h>

namespace kbdsim::tool {

// The MIDI system's side of the host: two ports, replies out, messages in
// through MidiHost::enqueue().
class HostPorts {
public:
    virtual ~HostPorts() = default;
    // "JACK" or "ALSA".
    virtual std::string apiName() const = 0;
    // Sends one reply; throws qel::Exception when it cannot.
    virtual void send(const Bytes& message) = 0;
    // Why the ports cannot go on, or empty while they can.
    virtual std::string failure() = 0;
};

namespace {

// A sender that floods the port cannot make the queue grow without end.
constexpr std::size_t queueLimit = 4096;
constexpr auto pollInterval = std::chrono::milliseconds(100);
// How long a reply may wait for room in a full output queue.
constexpr auto sendBound = std::chrono::milliseconds(2000);

qel::Exception systemError(const std::string& step, const std::string& reason) {
    return qel::Exception("MIDI system error while " + step + ": " + reason);
}

// MIDI time code, clock and active sensing: never for the keyboard's protocol,
// and left out so that they do not count as messages.
bool isTimingOrSensing(std::uint8_t status) {
    return status == 0xF1 || status == 0xF8 || status == 0xFE;
}

// JACK: one client per direction, named after the settings, each with one port
// that peers connect to.
class JackPorts : public HostPorts {
public:
    JackPorts(const Settings& settings, MidiHost& host) {
        using qel::midi::JackClient;
        JackClient::Options options;
        options.exactName = true; // peers find the ports by these names
        std::string error;
        inputClient_ = JackClient::open(inputClientName(settings), error, options);
        if (!inputClient_)
            throw systemError("connecting the input", error);
        input_ = inputClient_->openInput(
            "MIDI In", "",
            [&host](std::span<const std::uint8_t> message) {
                if (!isTimingOrSensing(message.front()))
                    host.enqueue(Bytes(message.begin(), message.end()));
            },
            error);
        if (!input_)
            throw systemError("opening the input port", error);
        outputClient_ = JackClient::open(outputClientName(settings), error, options);
        if (!outputClient_)
            throw systemError("connecting the output", error);
        output_ = outputClient_->openOutput("MIDI Out", "", {}, error);
        if (!output_)
            throw systemError("opening the output port", error);
    }

    std::string apiName() const override { return "JACK"; }

    void send(const Bytes& message) override {
        using Sent = qel::midi::JackOutput::SendResult;
        switch (output_->sendWaiting(message, sendBound)) {
        case Sent::Queued:
        case Sent::Empty:
            return;
        case Sent::TooLarge:
            throw systemError("sending", "a reply is larger than a JACK MIDI buffer");
        case Sent::QueueFull:
            throw systemError("sending", "the JACK output queue stays full");
        case Sent::ServerGone:
        case Sent::Closed:
            break;
        }
        throw systemError("sending", "the JACK server has shut down");
    }

    std::string failure() override {
        const bool gone = inputClient_->serverGone() || outputClient_->serverGone();
        return gone ? "the JACK server has shut down" : "";
    }

private:
    std::shared_ptr<qel::midi::JackClient> inputClient_;
    std::shared_ptr<qel::midi::JackClient> outputClient_;
    std::unique_ptr<qel::midi::JackInput> input_;   // before the clients it keeps alive
    std::unique_ptr<qel::midi::JackOutput> output_; // closed first: its replies leave
};

void onMessage(double, std::vector<unsigned char>* message, void* host) {
    if (message && !message->empty())
        static_cast<MidiHost*>(host)->enqueue(Bytes(message->begin(), message->end()));
}

// ALSA through RtMidi, with virtual ports.
class RtMidiPorts : public HostPorts {
public:
    RtMidiPorts(const Settings& settings, MidiHost& host) {
        try {
            input_ =
                std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, inputClientName(settings), 1024);
            input_->setErrorCallback(&qel::midi::RtMidiErrorTrap::callback, &trap_);
            // Counting the ports connects to the MIDI system.
            input_->getPortCount();
            check("connecting the input");
            input_->ignoreTypes(false, true, true); // SysEx in, no timing or sensing
            input_->setCallback(onMessage, &host);
            input_->openVirtualPort("MIDI In");
            check("opening the input port");

            output_ = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, outputClientName(settings));
            output_->setErrorCallback(&qel::midi::RtMidiErrorTrap::callback, &trap_);
            output_->getPortCount();
            check("connecting the output");
            output_->openVirtualPort("MIDI Out");
            check("opening the output port");
        } catch (const RtMidiError& failure) {
            throw qel::Exception("MIDI system error: " + failure.getMessage());
        }
    }

    ~RtMidiPorts() override {
        if (input_)
            input_->cancelCallback();
    }

    std::string apiName() const override { return "ALSA"; }

    void send(const Bytes& message) override {
        output_->sendMessage(message.data(), message.size());
        check("sending");
    }

    std::string failure() override { return ""; }

private:
    void check(const std::string& step) {
        if (const auto failure = trap_.take())
            throw systemError(step, failure->text);
    }

    qel::midi::RtMidiErrorTrap trap_; // first: RtMidi's threads report to it until the end
    std::unique_ptr<RtMidiIn> input_;
    std::unique_ptr<RtMidiOut> output_;
};

bool useJack(MidiApi api) {
    switch (api) {
    case MidiApi::Jack:
        return true;
    case MidiApi::Alsa:
        return false;
    case MidiApi::Automatic:
        break;
    }
    return ::access("/dev/snd/seq", R_OK | W_OK) != 0;
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
    if (useJack(settings.api))
        ports_ = std::make_unique<JackPorts>(settings, *this);
    else
        ports_ = std::make_unique<RtMidiPorts>(settings, *this);
}

MidiHost::~MidiHost() {
    ports_.reset(); // before the queue its threads fill
}

std::string MidiHost::apiName() const {
    return ports_->apiName();
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
        if (const std::string failure = ports_->failure(); !failure.empty())
            throw qel::Exception("MIDI system error: " + failure);
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
            ports_->send(reply.message);
        }
        afterMessage(next.message);
    }
}

} // namespace kbdsim::tool
