#include "platform/midi/RtMidiBackend.h"

#include "platform/midi/EventPoster.h"
#include "platform/midi/InputGate.h"
#include "platform/midi/JackBackend.h"
#include "platform/midi/JackClient.h"
#include "platform/midi/RtMidiErrorTrap.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

namespace qel::midi {

namespace {

const char* const clientName = "TQ-7400 Data Manager";

Result toResult(RtMidiError::Type type) {
    switch (type) {
    case RtMidiError::NO_DEVICES_FOUND:
    case RtMidiError::INVALID_DEVICE:
        return result::BadDeviceId;
    case RtMidiError::MEMORY_ERROR:
        return result::NoMemory;
    case RtMidiError::INVALID_PARAMETER:
        return result::InvalidParameter;
    case RtMidiError::INVALID_USE:
        return result::InvalidHandle;
    default:
        return result::Error;
    }
}

// The code of the first failure the trap caught since the last call, NoError if none.
Result takeResult(RtMidiErrorTrap& trap) {
    const auto failure = trap.take();
    return failure ? toResult(failure->type) : result::NoError;
}

// Makes an RtMidi object with the trap set, or null when the API cannot be
// reached (RtMidi throws from constructors, before a callback can be set).
template <typename Midi> std::unique_ptr<Midi> makeMidi(RtMidi::Api api, RtMidiErrorTrap& trap) {
    try {
        auto midi = std::make_unique<Midi>(api, clientName);
        midi->setErrorCallback(&RtMidiErrorTrap::callback, &trap);
        return midi;
    } catch (const RtMidiError&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

template <typename Midi> std::vector<std::string> portNames(RtMidi::Api api) {
    RtMidiErrorTrap trap;
    std::vector<std::string> names;
    auto midi = makeMidi<Midi>(api, trap);
    if (!midi)
        return names;
    const unsigned count = midi->getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        std::string name = midi->getPortName(i);
        if (!name.empty()) // a port that vanished while listing
            names.push_back(stableDeviceName(name));
    }
    return names;
}

class RtMidiOutputDevice : public OutputDevice {
public:
    static constexpr std::size_t maximumMessageSize = 8192;

    RtMidiOutputDevice(DoneHandler onDone) : onDone_(std::move(onDone)) {}

    Result open(RtMidi::Api api, unsigned index) {
        midi_ = makeMidi<RtMidiOut>(api, trap_);
        if (!midi_)
            return result::NoDriver;
        if (index >= midi_->getPortCount())
            return result::BadDeviceId;
        midi_->openPort(index, "TQ-7400 out");
        const Result code = takeResult(trap_);
        if (code != result::NoError)
            return code;
        return midi_->isPortOpen() ? result::NoError : result::Error;
    }

    Result send(std::span<const std::uint8_t> message) override {
        if (!midi_)
            return result::InvalidHandle;
        if (message.empty())
            return result::Unprepared;
        if (message.size() > maximumMessageSize)
            return result::InvalidParameter;
        takeResult(trap_);
        midi_->sendMessage(message.data(), message.size());
        const Result code = takeResult(trap_);
        if (code != result::NoError)
            return code;
        // RtMidi's ALSA output has handed the message to the sequencer when
        // sendMessage returns.
        poster_.post([this] { onDone_(); });
        return result::NoError;
    }

    // What was sent has been handed over already; nothing to call back.
    Result reset() override { return midi_ ? result::NoError : result::InvalidHandle; }

    Result close() override {
        if (!midi_)
            return result::InvalidHandle;
        midi_->closePort();
        const Result code = takeResult(trap_);
        if (code != result::NoError)
            return code;
        midi_.reset();
        return result::NoError;
    }

private:
    EventPoster poster_; // first: outlives the RtMidi object
    DoneHandler onDone_;
    RtMidiErrorTrap trap_;
    std::unique_ptr<RtMidiOut> midi_;
};

class RtMidiInputDevice : public InputDevice {
public:
    RtMidiInputDevice(std::size_t bufferSize, LongDataHandler onData)
        : onData_(std::move(onData)), bufferSize_(std::max<std::size_t>(bufferSize, 1)) {}

    // Ends RtMidi's input thread before anything it uses goes.
    ~RtMidiInputDevice() override { midi_.reset(); }

    Result open(RtMidi::Api api, unsigned index) {
        midi_ = makeMidi<RtMidiIn>(api, trap_);
        if (!midi_)
            return result::NoDriver;
        if (index >= midi_->getPortCount())
            return result::BadDeviceId;
        // RtMidi drops System Exclusive input unless told otherwise.
        midi_->ignoreTypes(false, true, true);
        midi_->setCallback(&RtMidiInputDevice::received, this);
        midi_->openPort(index, "TQ-7400 in");
        const Result code = takeResult(trap_);
        if (code != result::NoError)
            return code;
        return midi_->isPortOpen() ? result::NoError : result::Error;
    }

    Result start() override { return setFlowing(true); }
    Result stop() override { return setFlowing(false); }
    Result reset() override { return setFlowing(false); }

    Result close() override {
        if (!midi_)
            return result::InvalidHandle;
        gate_.set(false);
        midi_->closePort();
        const Result code = takeResult(trap_);
        if (code != result::NoError)
            return code;
        midi_.reset();
        return result::NoError;
    }

private:
    Result setFlowing(bool flowing) {
        if (!midi_)
            return result::InvalidHandle;
        // A new period drops what was received before and not yet delivered.
        gate_.set(flowing);
        return result::NoError;
    }

    // Runs on RtMidi's thread: only copies the message and posts it.
    static void received(double, std::vector<unsigned char>* message, void* self) {
        auto* device = static_cast<RtMidiInputDevice*>(self);
        if (!message || message->empty() || message->front() != 0xF0)
            return;
        const auto stamp = device->gate_.admit();
        if (!stamp)
            return;
        device->poster_.post(
            [device, stamp = *stamp, bytes = *message] { device->deliver(stamp, bytes); });
    }

    void deliver(InputGate::Stamp stamp, const std::vector<unsigned char>& bytes) {
        if (!gate_.current(stamp))
            return;
        // A message longer than the port's buffer arrives in buffer-sized pieces.
        for (std::size_t offset = 0; offset < bytes.size(); offset += bufferSize_) {
            const std::size_t length = std::min(bufferSize_, bytes.size() - offset);
            onData_(std::span<const std::uint8_t>(bytes.data() + offset, length));
            if (!gate_.current(stamp))
                return; // the handler stopped input
        }
    }

    EventPoster poster_; // first: outlives the RtMidi object
    LongDataHandler onData_;
    std::size_t bufferSize_;
    RtMidiErrorTrap trap_;
    InputGate gate_;
    std::unique_ptr<RtMidiIn> midi_;
};

class RtMidiBackend : public Backend {
public:
    explicit RtMidiBackend(RtMidi::Api api) : api_(api) {}

    std::vector<std::string> inputNames() override {
        return usable() ? portNames<RtMidiIn>(api_) : std::vector<std::string>{};
    }
    std::vector<std::string> outputNames() override {
        return usable() ? portNames<RtMidiOut>(api_) : std::vector<std::string>{};
    }

    Result openInput(std::size_t index, std::size_t bufferSize, LongDataHandler onData,
                     std::unique_ptr<InputDevice>& device) override {
        if (!usable())
            return result::BadDeviceId;
        auto input = std::make_unique<RtMidiInputDevice>(bufferSize, std::move(onData));
        const Result code = input->open(api_, static_cast<unsigned>(index));
        if (code == result::NoError)
            device = std::move(input);
        return code;
    }

    Result openOutput(std::size_t index, DoneHandler onDone,
                      std::unique_ptr<OutputDevice>& device) override {
        if (!usable())
            return result::BadDeviceId;
        auto output = std::make_unique<RtMidiOutputDevice>(std::move(onDone));
        const Result code = output->open(api_, static_cast<unsigned>(index));
        if (code == result::NoError)
            device = std::move(output);
        return code;
    }

private:
    bool usable() const { return api_ != RtMidi::UNSPECIFIED; }

    RtMidi::Api api_; // UNSPECIFIED: no MIDI system
};

bool compiled(RtMidi::Api api) {
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

enum class System { None, Alsa, Jack };

System chooseSystem() {
    const char* chosen = std::getenv("QEL_MIDI_API");
    const std::string choice = chosen ? chosen : "";
    if (choice == "none")
        return System::None;
    const System jack = JackClient::builtIn() ? System::Jack : System::None;
    if (choice == "jack")
        return jack;
    const bool alsa = ::access("/dev/snd/seq", R_OK | W_OK) == 0 && compiled(RtMidi::LINUX_ALSA);
    if (choice == "alsa")
        return alsa ? System::Alsa : System::None;
    return alsa ? System::Alsa : jack;
}

} // namespace

std::unique_ptr<Backend> makeRtMidiBackend() {
    switch (chooseSystem()) {
    case System::Jack:
        return makeJackBackend();
    case System::Alsa:
        return std::make_unique<RtMidiBackend>(RtMidi::LINUX_ALSA);
    case System::None:
        break;
    }
    return std::make_unique<RtMidiBackend>(RtMidi::UNSPECIFIED);
}

std::string stableDeviceName(const std::string& systemName) {
    // Drop a trailing " <digits>:<digits>".
    std::size_t end = systemName.size();
    auto skipDigits = [&](std::size_t& position) {
        const std::size_t before = position;
        while (position > 0 && std::isdigit(static_cast<unsigned char>(systemName[position - 1])))
            --position;
        return position < before;
    };
    std::size_t position = end;
    if (!skipDigits(position) || position == 0 || systemName[position - 1] != ':')
        return systemName;
    --position;
    if (!skipDigits(position) || position == 0 || systemName[position - 1] != ' ')
        return systemName;
    end = position - 1;
    return systemName.substr(0, end);
}

std::string rtMidiVersion() {
    return RtMidi::getVersion();
}

} // namespace qel::midi
