#include "platform/midi/JackClient.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <mutex>
#include <optional>
#include <semaphore>
#include <set>
#include <thread>

namespace qel::midi {

namespace jack {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t maximumPorts = 16;
// An output queue holds a few cycles' worth; a sender waits or retries when it
// is full. An input queue holds many: the delivery thread may be late when the
// machine is busy, and what does not fit is lost.
constexpr std::size_t minimumOutputQueueBytes = std::size_t{1} << 17;
constexpr std::size_t minimumInputQueueBytes = std::size_t{1} << 20;
constexpr std::size_t lengthBytes = sizeof(std::uint32_t);
// A System Exclusive message that grows past this without its end is dropped:
// the sender is broken, and memory must stay bounded.
constexpr std::size_t longestAssembledMessage = std::size_t{1} << 20;

// Whole messages from one thread to one other, each as a length word and its
// bytes, in a buffer allocated once. Neither side locks or allocates, so the
// process thread can be either side.
class MessageRing {
public:
    explicit MessageRing(std::size_t capacity) : bytes_(std::bit_ceil(capacity)) {}

    std::size_t capacity() const { return bytes_.size(); }

    // Producer. False when the whole message does not fit now.
    bool push(const std::uint8_t* data, std::uint32_t size) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        const std::size_t tail = tail_.load(std::memory_order_acquire);
        if (bytes_.size() - (head - tail) < lengthBytes + size)
            return false;
        std::uint8_t length[lengthBytes];
        std::memcpy(length, &size, lengthBytes);
        copyIn(head, length, lengthBytes);
        copyIn(head + lengthBytes, data, size);
        head_.store(head + lengthBytes + size, std::memory_order_release);
        return true;
    }

    // Producer. True when a message of `size` bytes would fit now.
    bool hasRoomFor(std::size_t size) const {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        const std::size_t tail = tail_.load(std::memory_order_acquire);
        return bytes_.size() - (head - tail) >= lengthBytes + size;
    }

    // Consumer. The size of the next message, if there is one.
    std::optional<std::uint32_t> nextSize() const {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t head = head_.load(std::memory_order_acquire);
        if (head == tail)
            return std::nullopt;
        std::uint8_t length[lengthBytes];
        copyOut(tail, length, lengthBytes);
        std::uint32_t size = 0;
        std::memcpy(&size, length, lengthBytes);
        return size;
    }

    // Consumer. Copies the next message (nextSize() bytes) to `destination`
    // and removes it; with a null destination it is only removed.
    void pop(std::uint8_t* destination) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::uint32_t size = *nextSize();
        if (destination)
            copyOut(tail + lengthBytes, destination, size);
        tail_.store(tail + lengthBytes + size, std::memory_order_release);
    }

private:
    void copyIn(std::size_t position, const std::uint8_t* data, std::size_t size) {
        const std::size_t offset = position & (bytes_.size() - 1);
        const std::size_t first = std::min(size, bytes_.size() - offset);
        std::memcpy(bytes_.data() + offset, data, first);
        std::memcpy(bytes_.data(), data + first, size - first);
    }
    void copyOut(std::size_t position, std::uint8_t* data, std::size_t size) const {
        const std::size_t offset = position & (bytes_.size() - 1);
        const std::size_t first = std::min(size, bytes_.size() - offset);
        std::memcpy(data, bytes_.data() + offset, first);
        std::memcpy(data + first, bytes_.data(), size - first);
    }

    std::vector<std::uint8_t> bytes_;
    std::atomic<std::size_t> head_{0}; // bytes ever written
    std::atomic<std::size_t> tail_{0}; // bytes ever read
};

} // namespace

struct PortState {
    enum class Kind { Output, Input };
    PortState(Kind kind, std::size_t queueBytes) : kind(kind), queue(queueBytes) {}
    virtual ~PortState() = default;

    const Kind kind;
    jack_port_t* port = nullptr;
    std::string shortName;
    MessageRing queue;
};

struct OutputState : PortState {
    OutputState(std::size_t queueBytes, JackClient::SentHandler handler)
        : PortState(Kind::Output, queueBytes), onSent(std::move(handler)) {}

    JackClient::SentHandler onSent;
    bool closed = false;                   // sender's thread
    std::atomic<std::uint64_t> queued{0};  // sender's thread
    std::atomic<std::uint64_t> sent{0};    // process thread
    std::atomic<std::uint64_t> refused{0}; // process thread
    std::uint64_t notified = 0;            // delivery thread
};

struct InputState : PortState {
    InputState(std::size_t queueBytes, JackClient::MessageHandler handler)
        : PortState(Kind::Input, queueBytes), onMessage(std::move(handler)) {}

    JackClient::MessageHandler onMessage;
    std::atomic<std::uint64_t> lost{0}; // process thread
    std::vector<std::uint8_t> event;    // delivery thread
    std::vector<std::uint8_t> partial;  // delivery thread: a System Exclusive message so far
};

class ClientCore {
public:
    ClientCore(JackClient::Options options) : options(std::move(options)) {}

    // ---- process thread ----

    static int process(jack_nframes_t frames, void* self) {
        static_cast<ClientCore*>(self)->runCycle(frames);
        return 0;
    }

    void runCycle(jack_nframes_t frames) {
        inCycle.store(true);
        std::array<PortState*, maximumPorts> ports;
        for (std::size_t i = 0; i < maximumPorts; ++i)
            ports[i] = slots[i].load();
        if (options.cycleHook)
            options.cycleHook();
        bool news = false;
        for (PortState* port : ports) {
            if (!port)
                continue;
            if (port->kind == PortState::Kind::Output)
                news |= serveOutput(static_cast<OutputState&>(*port), frames);
            else
                news |= serveInput(static_cast<InputState&>(*port), frames);
        }
        inCycle.store(false);
        cycles.fetch_add(1);
        if (news || cycleWaiters.load() > 0)
            wake();
    }

    bool serveOutput(OutputState& output, jack_nframes_t frames) {
        void* buffer = jack_port_get_buffer(output.port, frames);
        if (!buffer)
            return false;
        jack_midi_clear_buffer(buffer);
        if (capacity.load(std::memory_order_relaxed) == 0)
            capacity.store(jack_midi_max_event_size(buffer));
        bool wroteAny = false;
        bool news = false;
        while (const auto size = output.queue.nextSize()) {
            jack_midi_data_t* space = nullptr;
            if (*size <= jack_midi_max_event_size(buffer))
                space = jack_midi_event_reserve(buffer, 0, *size);
            if (!space) {
                if (wroteAny)
                    break; // the rest waits for the next cycle
                // Not even an empty buffer takes it: it can never be sent.
                output.queue.pop(nullptr);
                output.refused.fetch_add(1);
                news = true;
                continue;
            }
            output.queue.pop(space);
            output.sent.fetch_add(1);
            wroteAny = true;
            news = true;
        }
        return news;
    }

    bool serveInput(InputState& input, jack_nframes_t frames) {
        void* buffer = jack_port_get_buffer(input.port, frames);
        if (!buffer)
            return false;
        bool news = false;
        const jack_nframes_t count = jack_midi_get_event_count(buffer);
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0)
                continue;
            if (input.queue.push(event.buffer, static_cast<std::uint32_t>(event.size)))
                news = true;
            else
                input.lost.fetch_add(1);
        }
        return news;
    }

    // Safe from the process thread: wakes the delivery thread once.
    void wake() {
        if (!wakePending.exchange(true))
            wakeup.release();
    }

    static void shutDown(jack_status_t, const char*, void* self) {
        auto* core = static_cast<ClientCore*>(self);
        core->serverGone.store(true);
        core->wake();
    }

    // ---- delivery thread ----

    void deliver() {
        while (!stopping.load()) {
            (void)wakeup.try_acquire_for(std::chrono::milliseconds(250));
            // An exchange, not a store: it reads the process thread's own
            // exchange, so everything that thread wrote before is seen here.
            (void)wakePending.exchange(false);
            if (stopping.load())
                break;
            {
                const std::lock_guard lock(deliveryMutex);
                for (OutputState* output : outputs)
                    reportSent(*output);
                for (InputState* input : inputs)
                    passOn(*input);
            }
            if (serverGone.load() && !goneReported) {
                goneReported = true;
                if (options.onServerGone)
                    options.onServerGone();
            }
            { const std::lock_guard lock(progressMutex); }
            progress.notify_all();
        }
    }

    void reportSent(OutputState& output) {
        const std::uint64_t sent = output.sent.load();
        for (; output.notified < sent; ++output.notified)
            if (output.onSent)
                output.onSent();
    }

    void passOn(InputState& input) {
        while (const auto size = input.queue.nextSize()) {
            input.event.resize(*size);
            input.queue.pop(input.event.data());
            assemble(input, input.event);
        }
    }

    // JACK carries a long System Exclusive message as one event, but a sender
    // may split it: the pieces after the first start with a data byte.
    // Real-time messages may come between the pieces and pass on alone.
    void assemble(InputState& input, const std::vector<std::uint8_t>& event) {
        const std::uint8_t status = event.front();
        if (status >= 0xF8) {
            handOver(input, event);
            return;
        }
        if (!input.partial.empty()) {
            if (status < 0x80) {
                input.partial.insert(input.partial.end(), event.begin(), event.end());
                if (input.partial.size() > longestAssembledMessage) {
                    input.partial.clear();
                } else if (input.partial.back() == 0xF7) {
                    handOver(input, input.partial);
                    input.partial.clear();
                }
                return;
            }
            input.partial.clear(); // a new message ends an unfinished one, which is dropped
        }
        if (status == 0xF0 && event.back() != 0xF7) {
            input.partial = event;
            return;
        }
        handOver(input, event);
    }

    static void handOver(InputState& input, const std::vector<std::uint8_t>& message) {
        if (input.onMessage)
            input.onMessage(std::span<const std::uint8_t>(message.data(), message.size()));
    }

    // ---- callers' threads ----

    // Waits until `condition` holds, the server has gone (when `untilGone`), or
    // `bound` has passed; returns the condition. The delivery thread wakes the
    // wait after every cycle while someone waits.
    template <typename Condition>
    bool waitUntil(Condition condition, std::chrono::milliseconds bound, bool untilGone = true) {
        const auto deadline = Clock::now() + bound;
        cycleWaiters.fetch_add(1);
        {
            std::unique_lock lock(progressMutex);
            progress.wait_until(lock, deadline,
                                [&] { return condition() || (untilGone && serverGone.load()); });
        }
        cycleWaiters.fetch_sub(1);
        return condition();
    }

    // Waits until `count` more cycles have ended.
    bool waitCycles(std::uint64_t count) {
        const std::uint64_t first = cycles.load();
        return waitUntil([&] { return cycles.load() >= first + count; }, options.bound);
    }

    // After a port left the table: waits until no cycle that may have taken it
    // up is still running. A cycle that starts later finds the slot empty.
    bool waitForCycleEnd() {
        const std::uint64_t before = cycles.load();
        if (!inCycle.load())
            return true;
        // Not ended by the server going away: the process thread finishes the
        // callback it is in either way.
        return waitUntil([&] { return !inCycle.load() || cycles.load() != before; }, options.bound,
                         false);
    }

    std::optional<std::size_t> freeSlot() const {
        for (std::size_t i = 0; i < maximumPorts; ++i)
            if (!slots[i].load())
                return i;
        return std::nullopt;
    }

    // Takes `state` out of the process cycle and the delivery thread's lists,
    // then unregisters and frees it. When a stalled cycle may still hold it,
    // it is kept, port and memory, until the client closes.
    void retire(PortState* state) {
        const std::lock_guard control(controlMutex);
        for (auto& slot : slots) {
            PortState* expected = state;
            slot.compare_exchange_strong(expected, nullptr);
        }
        const bool unused = waitForCycleEnd();
        {
            const std::lock_guard lock(deliveryMutex);
            std::erase(outputs, state);
            std::erase(inputs, state);
        }
        auto owner = std::find_if(owned.begin(), owned.end(),
                                  [&](const auto& candidate) { return candidate.get() == state; });
        if (owner == owned.end())
            return;
        if (!unused) {
            graveyard.push_back(std::move(*owner));
            owned.erase(owner);
            return;
        }
        if (!serverGone.load()) {
            jack_port_disconnect(client, state->port);
            jack_port_unregister(client, state->port);
        }
        portNames.erase(state->shortName);
        owned.erase(owner);
    }

    // A port name of this client not in use yet: `base`, else `base` and a number.
    std::string uniquePortName(const std::string& base) const {
        std::string name = base;
        for (int number = 2; portNames.count(name) != 0; ++number)
            name = base + " " + std::to_string(number);
        return name;
    }

    std::vector<std::string> otherPorts(unsigned long flags) const {
        std::vector<std::string> names;
        if (serverGone.load())
            return names;
        const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
        if (!ports)
            return names;
        const std::string own = name + ":";
        for (const char** port = ports; *port; ++port)
            if (std::strncmp(*port, own.c_str(), own.size()) != 0)
                names.emplace_back(*port);
        jack_free(ports);
        return names;
    }

    const JackClient::Options options;
    jack_client_t* client = nullptr;
    std::string name;
    std::size_t typeBufferSize = 0;

    // Shared with the process thread.
    std::array<std::atomic<PortState*>, maximumPorts> slots{};
    std::atomic<bool> inCycle{false};
    std::atomic<std::uint64_t> cycles{0};
    std::atomic<int> cycleWaiters{0};
    std::atomic<std::size_t> capacity{0}; // an empty cycle buffer's room; 0 until measured
    std::atomic<bool> serverGone{false};

    // The delivery thread.
    std::counting_semaphore<> wakeup{0};
    std::atomic<bool> wakePending{false};
    std::atomic<bool> stopping{false};
    std::mutex deliveryMutex; // guards the lists and the handlers' runs
    std::vector<OutputState*> outputs;
    std::vector<InputState*> inputs;
    bool goneReported = false;
    std::mutex progressMutex;
    std::condition_variable progress;
    std::thread delivery;

    // Callers' threads.
    std::mutex controlMutex; // guards what follows
    std::vector<std::unique_ptr<PortState>> owned;
    std::vector<std::unique_ptr<PortState>> graveyard;
    std::set<std::string> portNames;
};

} // namespace jack

namespace {

std::string openFailure(const std::string& name, jack_status_t status, bool exact) {
    if (status & JackServerFailed)
        return "no JACK server is running";
    if (status & JackVersionError)
        return "the JACK server speaks another protocol version";
    if (status & JackShmFailure)
        return "JACK's shared memory cannot be reached";
    // A server refuses an exact name that is taken without saying so.
    if ((status & JackNameNotUnique) || (exact && (status & JackServerError)))
        return "the JACK server refused the client \"" + name + "\": the name is taken";
    return "the JACK server refused the client \"" + name + "\" (status " + std::to_string(status) +
           ")";
}

} // namespace

JackClient::JackClient(Token, Options options)
    : core_(std::make_unique<jack::ClientCore>(std::move(options))) {}

std::shared_ptr<JackClient> JackClient::open(const std::string& name, std::string& error,
                                             Options options) {
    const bool exact = options.exactName;
    auto client = std::make_shared<JackClient>(Token{}, std::move(options));
    jack::ClientCore& core = *client->core_;
    jack_status_t status{};
    const auto flags =
        static_cast<jack_options_t>(JackNoStartServer | (exact ? JackUseExactName : 0));
    core.client = jack_client_open(name.c_str(), flags, &status);
    if (!core.client) {
        error = openFailure(name, status, exact);
        return nullptr;
    }
    core.name = jack_get_client_name(core.client);
    core.typeBufferSize = jack_port_type_get_buffer_size(core.client, JACK_DEFAULT_MIDI_TYPE);
    core.delivery = std::thread([&core] { core.deliver(); });
    jack_on_info_shutdown(core.client, &jack::ClientCore::shutDown, &core);
    if (jack_set_process_callback(core.client, &jack::ClientCore::process, &core) != 0 ||
        jack_activate(core.client) != 0) {
        error = "the JACK server did not take the client \"" + name + "\" into its cycle";
        return nullptr; // the destructor closes what was opened
    }
    return client;
}

JackClient::~JackClient() {
    jack::ClientCore& core = *core_;
    // Stops the process thread for good before anything it reads is freed.
    // Once the server has gone the handle is left alone: its process thread
    // has ended with the server, and the JACK library deletes the clients of
    // a dead server itself when any client of the process opens next.
    if (core.client && !core.serverGone.load()) {
        jack_deactivate(core.client);
        jack_client_close(core.client);
    }
    if (core.delivery.joinable()) {
        core.stopping.store(true);
        core.wakeup.release();
        core.delivery.join();
    }
}

const std::string& JackClient::name() const {
    return core_->name;
}

bool JackClient::serverGone() const {
    return core_->serverGone.load();
}

std::vector<std::string> JackClient::sources() const {
    const std::lock_guard lock(core_->controlMutex);
    return core_->otherPorts(JackPortIsOutput);
}

std::vector<std::string> JackClient::destinations() const {
    const std::lock_guard lock(core_->controlMutex);
    return core_->otherPorts(JackPortIsInput);
}

std::unique_ptr<JackOutput> JackClient::openOutput(const std::string& portName,
                                                   const std::string& destination,
                                                   SentHandler onSent, std::string& error) {
    jack::ClientCore& core = *core_;
    std::unique_lock control(core.controlMutex);
    if (core.serverGone.load()) {
        error = "the JACK server has shut down";
        return nullptr;
    }
    const auto slot = core.freeSlot();
    if (!slot) {
        error = "the JACK client has no room for another port";
        return nullptr;
    }
    const std::size_t queueBytes =
        std::max(jack::minimumOutputQueueBytes, 2 * (core.typeBufferSize + jack::lengthBytes));
    auto state = std::make_unique<jack::OutputState>(queueBytes, std::move(onSent));
    state->shortName = core.uniquePortName(portName);
    state->port = jack_port_register(core.client, state->shortName.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                     JackPortIsOutput, 0);
    if (!state->port) {
        error = "JACK refused the port \"" + state->shortName + "\"";
        return nullptr;
    }
    const std::string fullName = jack_port_name(state->port);
    if (!destination.empty()) {
        const int connected = jack_connect(core.client, fullName.c_str(), destination.c_str());
        if (connected != 0 && connected != EEXIST) {
            jack_port_unregister(core.client, state->port);
            error = "cannot connect \"" + fullName + "\" to \"" + destination + "\"";
            return nullptr;
        }
    }
    jack::OutputState* raw = state.get();
    core.portNames.insert(state->shortName);
    core.owned.push_back(std::move(state));
    {
        const std::lock_guard lock(core.deliveryMutex);
        core.outputs.push_back(raw);
    }
    core.slots[*slot].store(raw);
    control.unlock();
    auto output = std::unique_ptr<JackOutput>(new JackOutput(shared_from_this(), raw, fullName));
    // send() checks sizes against an empty buffer's room, measured by the
    // first cycle that serves an output port.
    const bool measured = core.capacity.load() != 0;
    if ((!destination.empty() || !measured) && !core.waitCycles(2)) {
        error = "the JACK server runs no process cycles";
        return nullptr; // closed again by the destructor
    }
    return output;
}

std::unique_ptr<JackInput> JackClient::openInput(const std::string& portName,
                                                 const std::string& source,
                                                 MessageHandler onMessage, std::string& error) {
    jack::ClientCore& core = *core_;
    std::unique_lock control(core.controlMutex);
    if (core.serverGone.load()) {
        error = "the JACK server has shut down";
        return nullptr;
    }
    const auto slot = core.freeSlot();
    if (!slot) {
        error = "the JACK client has no room for another port";
        return nullptr;
    }
    const std::size_t queueBytes =
        std::max(jack::minimumInputQueueBytes, 8 * (core.typeBufferSize + jack::lengthBytes));
    auto state = std::make_unique<jack::InputState>(queueBytes, std::move(onMessage));
    state->shortName = core.uniquePortName(portName);
    state->port = jack_port_register(core.client, state->shortName.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                     JackPortIsInput, 0);
    if (!state->port) {
        error = "JACK refused the port \"" + state->shortName + "\"";
        return nullptr;
    }
    const std::string fullName = jack_port_name(state->port);
    if (!source.empty()) {
        const int connected = jack_connect(core.client, source.c_str(), fullName.c_str());
        if (connected != 0 && connected != EEXIST) {
            jack_port_unregister(core.client, state->port);
            error = "cannot connect \"" + source + "\" to \"" + fullName + "\"";
            return nullptr;
        }
    }
    jack::InputState* raw = state.get();
    core.portNames.insert(state->shortName);
    core.owned.push_back(std::move(state));
    {
        const std::lock_guard lock(core.deliveryMutex);
        core.inputs.push_back(raw);
    }
    core.slots[*slot].store(raw);
    control.unlock();
    auto input = std::unique_ptr<JackInput>(new JackInput(shared_from_this(), raw, fullName));
    if (!source.empty() && !core.waitCycles(2)) {
        error = "the JACK server runs no process cycles";
        return nullptr;
    }
    return input;
}

// ---- JackOutput ----

JackOutput::JackOutput(std::shared_ptr<JackClient> client, jack::OutputState* state,
                       std::string fullName)
    : client_(std::move(client)), state_(state), fullName_(std::move(fullName)) {}

JackOutput::~JackOutput() {
    close();
}

std::size_t JackOutput::maximumMessageSize() const {
    const jack::ClientCore& core = *client_->core_;
    const std::size_t measured = core.capacity.load();
    const std::size_t room = measured != 0 ? measured : core.typeBufferSize;
    return std::min(room, state_ ? state_->queue.capacity() - jack::lengthBytes : room);
}

JackOutput::SendResult JackOutput::send(std::span<const std::uint8_t> message) {
    if (!state_ || state_->closed)
        return SendResult::Closed;
    if (client_->serverGone())
        return SendResult::ServerGone;
    if (message.empty())
        return SendResult::Empty;
    if (message.size() > maximumMessageSize())
        return SendResult::TooLarge;
    if (!state_->queue.push(message.data(), static_cast<std::uint32_t>(message.size())))
        return SendResult::QueueFull;
    state_->queued.fetch_add(1);
    return SendResult::Queued;
}

JackOutput::SendResult JackOutput::sendWaiting(std::span<const std::uint8_t> message,
                                               std::chrono::milliseconds bound) {
    SendResult result = send(message);
    if (result != SendResult::QueueFull)
        return result;
    client_->core_->waitUntil([&] { return state_->queue.hasRoomFor(message.size()); }, bound);
    return send(message);
}

std::uint64_t JackOutput::refusedMessages() const {
    return state_ ? state_->refused.load() : 0;
}

bool JackOutput::drain() {
    if (!state_)
        return true;
    jack::OutputState& state = *state_;
    auto left = [&] { return state.sent.load() + state.refused.load() == state.queued.load(); };
    return left() || client_->core_->waitUntil(left, client_->core_->options.bound);
}

bool JackOutput::close() {
    if (!state_)
        return true;
    jack::ClientCore& core = *client_->core_;
    state_->closed = true;
    const bool drained = drain();
    // The cycle that wrote the last message left it in the port's buffer; a
    // later cycle clears it. Taken out of the cycle before that, the port would
    // hand the same message to its peer again in every cycle until unregistered.
    if (!core.serverGone.load())
        core.waitCycles(2);
    core.retire(state_);
    state_ = nullptr;
    return drained;
}

// ---- JackInput ----

JackInput::JackInput(std::shared_ptr<JackClient> client, jack::InputState* state,
                     std::string fullName)
    : client_(std::move(client)), state_(state), fullName_(std::move(fullName)) {}

JackInput::~JackInput() {
    close();
}

void JackInput::close() {
    if (!state_)
        return;
    client_->core_->retire(state_);
    state_ = nullptr;
}

std::uint64_t JackInput::lostEvents() const {
    return state_ ? state_->lost.load() : 0;
}

} // namespace qel::midi
