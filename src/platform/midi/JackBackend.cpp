#include "platform/midi/JackBackend.h"

#include "platform/midi/EventPoster.h"
#include "platform/midi/InputGate.h"

#include <algorithm>
#include <vector>

namespace qel::midi {

namespace {

class JackOutputDevice : public OutputDevice {
public:
    explicit JackOutputDevice(DoneHandler onDone) : onDone_(std::move(onDone)) {}
    // Closes the port (its queued messages leave first, within the bound)
    // before the poster drops what it still holds.
    ~JackOutputDevice() override { port_.reset(); }

    Result open(JackClient& client, const std::string& destination) {
        std::string error;
        port_ = client.openOutput(
            "TQ-7400 out", destination, [this] { poster_.post([this] { onDone_(); }); }, error);
        if (port_)
            return result::NoError;
        return client.serverGone() ? result::NoDevice : result::Error;
    }

    Result send(std::span<const std::uint8_t> message) override {
        if (!port_)
            return result::InvalidHandle;
        // A message dropped by the process thread is reported with the next send.
        if (const std::uint64_t refused = port_->refusedMessages(); refused != refusedSeen_) {
            refusedSeen_ = refused;
            return result::InvalidParameter;
        }
        switch (port_->send(message)) {
        case JackOutput::SendResult::Queued:
            return result::NoError;
        case JackOutput::SendResult::Empty:
            return result::Unprepared;
        case JackOutput::SendResult::TooLarge:
            return result::InvalidParameter;
        case JackOutput::SendResult::QueueFull:
            return result::NotReady;
        case JackOutput::SendResult::ServerGone:
            return result::NoDevice;
        case JackOutput::SendResult::Closed:
            break;
        }
        return result::InvalidHandle;
    }

    // A message once queued cannot be called back: cut short, a System
    // Exclusive message would leave the receiver waiting for its end. Nothing
    // to do but check the port.
    Result reset() override { return port_ ? result::NoError : result::InvalidHandle; }

    Result close() override {
        if (!port_)
            return result::InvalidHandle;
        // Still sending after the bound, the port stays open and says so, as
        // the driver interface wants; with the server gone nothing can leave.
        if (!port_->drain() && !port_->serverGone())
            return result::StillPlaying;
        port_->close();
        port_.reset();
        return result::NoError;
    }

private:
    EventPoster poster_; // first: outlives the port, whose handler posts to it
    DoneHandler onDone_;
    std::uint64_t refusedSeen_ = 0;
    std::unique_ptr<JackOutput> port_;
};

class JackInputDevice : public InputDevice {
public:
    JackInputDevice(std::size_t bufferSize, LongDataHandler onData)
        : onData_(std::move(onData)), bufferSize_(std::max<std::size_t>(bufferSize, 1)) {}
    ~JackInputDevice() override { port_.reset(); }

    Result open(JackClient& client, const std::string& source) {
        std::string error;
        port_ = client.openInput(
            "TQ-7400 in", source,
            [this](std::span<const std::uint8_t> message) { received(message); }, error);
        if (port_)
            return result::NoError;
        return client.serverGone() ? result::NoDevice : result::Error;
    }

    Result start() override { return setFlowing(true); }
    Result stop() override { return setFlowing(false); }
    Result reset() override { return setFlowing(false); }

    Result close() override {
        if (!port_)
            return result::InvalidHandle;
        gate_.set(false);
        port_->close();
        port_.reset();
        return result::NoError;
    }

private:
    Result setFlowing(bool flowing) {
        if (!port_)
            return result::InvalidHandle;
        gate_.set(flowing);
        return result::NoError;
    }

    // The client's delivery thread: only copies a System Exclusive message and posts it.
    void received(std::span<const std::uint8_t> message) {
        if (message.empty() || message.front() != 0xF0)
            return;
        const auto stamp = gate_.admit();
        if (!stamp)
            return;
        poster_.post([this, stamp = *stamp,
                      bytes = std::vector<std::uint8_t>(message.begin(), message.end())] {
            deliver(stamp, bytes);
        });
    }

    void deliver(InputGate::Stamp stamp, const std::vector<std::uint8_t>& bytes) {
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

    EventPoster poster_; // first: outlives the port, whose handler posts to it
    LongDataHandler onData_;
    std::size_t bufferSize_;
    InputGate gate_;
    std::unique_ptr<JackInput> port_;
};

class JackBackend : public Backend {
public:
    explicit JackBackend(JackBackendOptions options) : options_(std::move(options)) {}

    std::vector<std::string> inputNames() override {
        auto current = client();
        return current ? current->sources() : std::vector<std::string>{};
    }
    std::vector<std::string> outputNames() override {
        auto current = client();
        return current ? current->destinations() : std::vector<std::string>{};
    }

    Result openInput(std::size_t index, std::size_t bufferSize, LongDataHandler onData,
                     std::unique_ptr<InputDevice>& device) override {
        auto current = client();
        if (!current)
            return result::BadDeviceId;
        const auto names = current->sources();
        if (index >= names.size())
            return result::BadDeviceId;
        auto input = std::make_unique<JackInputDevice>(bufferSize, std::move(onData));
        const Result code = input->open(*current, names[index]);
        if (code == result::NoError)
            device = std::move(input);
        return code;
    }

    Result openOutput(std::size_t index, DoneHandler onDone,
                      std::unique_ptr<OutputDevice>& device) override {
        auto current = client();
        if (!current)
            return result::BadDeviceId;
        const auto names = current->destinations();
        if (index >= names.size())
            return result::BadDeviceId;
        auto output = std::make_unique<JackOutputDevice>(std::move(onDone));
        const Result code = output->open(*current, names[index]);
        if (code == result::NoError)
            device = std::move(output);
        return code;
    }

private:
    // The backend's client, connected when first needed and again after its
    // server went away. Devices still open on an old client keep it alive.
    std::shared_ptr<JackClient> client() {
        if (!client_ || client_->serverGone()) {
            std::string error;
            client_ = JackClient::open(options_.clientName, error, options_.client);
        }
        return client_;
    }

    JackBackendOptions options_;
    std::shared_ptr<JackClient> client_;
};

} // namespace

std::unique_ptr<Backend> makeJackBackend(JackBackendOptions options) {
    return std::make_unique<JackBackend>(std::move(options));
}

} // namespace qel::midi
