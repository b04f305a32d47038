#include "platform/midi/VirtualDevice.h"

#include "platform/midi/EventPoster.h"

#include <QCoreApplication>
#include <algorithm>

namespace qel::midi {

namespace {
using Clock = DelayedPoster::Clock;
class VirtualInput;
} // namespace

// What the devices of one virtual backend share: the responder, the thread that
// times the wire, and which input is open. Lives on the UI thread; the devices
// and the scheduled work keep it alive.
class VirtualDeviceCore {
public:
    VirtualDeviceCore(std::string name, Responder responder, WireTime wireTime)
        : name(std::move(name)), responder(std::move(responder)), wireTime(std::move(wireTime)) {}

    // Runs `work` at `when`, through the event queue in either case.
    void runAt(Clock::time_point when, std::function<void()> work) {
        ++scheduled;
        // Work posted by the core dies with it, so `this` is safe here.
        work = [this, work = std::move(work)] {
            --scheduled;
            work();
        };
        if (when <= Clock::now())
            poster.post(std::move(work));
        else
            wire.postAt(when, std::move(work));
    }

    // The device has received `message` completely at `receivedAt`.
    void arrive(const std::vector<std::uint8_t>& message, Clock::time_point receivedAt);

    std::chrono::microseconds timeOnWire(std::size_t bytes) const {
        return wireTime ? wireTime(bytes) : std::chrono::microseconds{0};
    }

    const std::string name;
    Responder responder;
    WireTime wireTime;
    VirtualInput* input = nullptr; // the open input device, if any
    bool outputOpen = false;
    // Last answer's arrival time: answers to successive messages never overtake.
    Clock::time_point lastArrival{};
    // When the wire from the program to the device is free again.
    Clock::time_point wireFreeAt{};
    // Work scheduled by runAt() that has not run yet.
    std::size_t scheduled = 0;
    EventPoster poster;
    DelayedPoster wire{poster}; // after the poster it posts to
};

namespace {

class VirtualInput : public InputDevice {
public:
    VirtualInput(std::shared_ptr<VirtualDeviceCore> core, std::size_t bufferSize,
                 LongDataHandler onData)
        : core_(std::move(core)), onData_(std::move(onData)),
          bufferSize_(std::max<std::size_t>(bufferSize, 1)) {
        core_->input = this;
    }
    ~VirtualInput() override {
        if (open_)
            core_->input = nullptr;
    }

    Result start() override { return setFlowing(true); }
    Result stop() override { return setFlowing(false); }
    Result reset() override { return setFlowing(false); }
    Result close() override {
        if (!open_)
            return result::InvalidHandle;
        flowing_ = false;
        open_ = false;
        core_->input = nullptr;
        return result::NoError;
    }

    // A message arrives from the device: taken only while input flows.
    void deliver(const std::vector<std::uint8_t>& message) {
        if (!flowing_)
            return;
        for (std::size_t offset = 0; offset < message.size(); offset += bufferSize_) {
            const std::size_t length = std::min(bufferSize_, message.size() - offset);
            onData_(std::span<const std::uint8_t>(message.data() + offset, length));
            if (!flowing_)
                return; // the handler stopped input
        }
    }

private:
    Result setFlowing(bool flowing) {
        if (!open_)
            return result::InvalidHandle;
        flowing_ = flowing;
        return result::NoError;
    }

    std::shared_ptr<VirtualDeviceCore> core_;
    LongDataHandler onData_;
    std::size_t bufferSize_;
    bool open_ = true;
    bool flowing_ = false;
};

// The part of an output device that scheduled work may still reach after the
// device object is gone: they hold it weakly.
struct OutputState {
    DoneHandler onDone;
};

class VirtualOutput : public OutputDevice {
public:
    VirtualOutput(std::shared_ptr<VirtualDeviceCore> core, DoneHandler onDone)
        : core_(std::move(core)), state_(std::make_shared<OutputState>()) {
        state_->onDone = std::move(onDone);
        core_->outputOpen = true;
    }
    ~VirtualOutput() override {
        if (state_)
            core_->outputOpen = false;
    }

    Result send(std::span<const std::uint8_t> message) override {
        if (!state_)
            return result::InvalidHandle;
        if (message.empty())
            return result::Unprepared;
        // One wire: a message starts when the one before it has left.
        const Clock::time_point start = std::max(Clock::now(), core_->wireFreeAt);
        const Clock::time_point received = start + core_->timeOnWire(message.size());
        core_->wireFreeAt = received;
        std::weak_ptr<OutputState> state = state_;
        // Work posted by the core dies with it, so a plain pointer to it is safe here.
        core_->runAt(received, [core = core_.get(), state, received,
                                bytes = std::vector<std::uint8_t>(message.begin(), message.end())] {
            // The message has left the PC: done comes first, then the device reacts.
            if (auto output = state.lock())
                output->onDone();
            core->arrive(bytes, received);
        });
        return result::NoError;
    }

    Result reset() override { return state_ ? result::NoError : result::InvalidHandle; }

    Result close() override {
        if (!state_)
            return result::InvalidHandle;
        state_.reset(); // drops a done notification still on its way
        core_->outputOpen = false;
        return result::NoError;
    }

private:
    std::shared_ptr<VirtualDeviceCore> core_;
    std::shared_ptr<OutputState> state_;
};

} // namespace

void VirtualDeviceCore::arrive(const std::vector<std::uint8_t>& message,
                               Clock::time_point receivedAt) {
    if (!responder)
        return;
    for (auto& answer : responder(message)) {
        const Clock::time_point when = std::max(receivedAt + answer.delay, lastArrival);
        lastArrival = when;
        // Work posted by the core dies with it, so `this` is safe here; holding
        // the core strongly would let it be destroyed from inside its own event.
        runAt(when, [this, bytes = std::move(answer.message)] {
            if (input)
                input->deliver(bytes);
        });
    }
}

VirtualDeviceBackend::VirtualDeviceBackend(std::string name, Responder responder, WireTime wireTime)
    : core_(std::make_shared<VirtualDeviceCore>(std::move(name), std::move(responder),
                                                std::move(wireTime))) {}

VirtualDeviceBackend::~VirtualDeviceBackend() = default;

bool VirtualDeviceBackend::settle() {
    // Each round runs what is due now; the work it runs may schedule more (a
    // sent message's arrival schedules the answers). The bound keeps a device
    // that answers every answer from holding the caller forever.
    for (int round = 0; round < 10000; ++round) {
        if (core_->scheduled == 0) {
            // Everything has arrived: what is sent next owes nothing to the
            // times that were skipped.
            core_->lastArrival = core_->wireFreeAt = Clock::now();
            return true;
        }
        core_->wire.postAllNow();
        QCoreApplication::sendPostedEvents();
    }
    return false;
}

std::vector<std::string> VirtualDeviceBackend::inputNames() {
    return {core_->name};
}
std::vector<std::string> VirtualDeviceBackend::outputNames() {
    return {core_->name};
}

Result VirtualDeviceBackend::openInput(std::size_t index, std::size_t bufferSize,
                                       LongDataHandler onData,
                                       std::unique_ptr<InputDevice>& device) {
    if (index != 0)
        return result::BadDeviceId;
    if (core_->input)
        return result::Allocated;
    device = std::make_unique<VirtualInput>(core_, bufferSize, std::move(onData));
    return result::NoError;
}

Result VirtualDeviceBackend::openOutput(std::size_t index, DoneHandler onDone,
                                        std::unique_ptr<OutputDevice>& device) {
    if (index != 0)
        return result::BadDeviceId;
    if (core_->outputOpen)
        return result::Allocated;
    device = std::make_unique<VirtualOutput>(core_, std::move(onDone));
    return result::NoError;
}

} // namespace qel::midi
