#include "platform/midi/JackClient.h"

#include "platform/midi/JackSharedFiles.h"
#include "platform/midi/MessageRing.h"
#include "platform/midi/SysExAssembler.h"

#include <algorithm>
#include <array>
#include <cerrno>
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
// Closed ports kept registered and connected for the next opening of the same
// connection: a MIDI dialog opens the same two for every action.
constexpr std::size_t maximumIdlePorts = 4;
// An output queue holds a few cycles' worth; a sender waits or retries when it
// is full. An input queue holds many: the delivery thread may be late when the
// machine is busy, and what does not fit is lost.
constexpr std::size_t minimumOutputQueueBytes = std::size_t{1} << 17;
constexpr std::size_t minimumInputQueueBytes = std::size_t{1} << 20;
constexpr std::size_t lengthBytes = MessageRing::lengthBytes;

} // namespace

struct PortState {
    enum class Kind { Output, Input };
    PortState(Kind kind, std::size_t queueBytes) : kind(kind), queue(queueBytes) {}
    virtual ~PortState() = default;

    const Kind kind;
    jack_port_t* port = nullptr;
    std::string baseName;  // the name asked for
    std::string shortName; // the name on the server: baseName, perhaps with a number
    std::string peer;      // the port connected to at opening, if any
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
    // Process thread: the last cycle that served the port wrote nothing, so
    // its buffer is empty. Cleared before a message is counted as sent.
    std::atomic<bool> idle{true};
    std::uint64_t notified = 0; // delivery thread
};

struct InputState : PortState {
    InputState(std::size_t queueBytes, JackClient::MessageHandler handler)
        : PortState(Kind::Input, queueBytes), onMessage(std::move(handler)) {}

    JackClient::MessageHandler onMessage;
    std::atomic<std::uint64_t> lost{0}; // process thread
    std::vector<std::uint8_t> event;    // delivery thread
    SysExAssembler assembler;           // delivery thread
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
        if (news)
            wake();
        signalCycleEnd();
    }

    // Safe from the process thread: lets every caller waiting for a cycle's
    // end look again.
    void signalCycleEnd() {
        if (const int waiters = cycleWaiters.load(); waiters > 0)
            cycleEnded.release(waiters);
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
            if (!wroteAny)
                output.idle.store(false);
            output.queue.pop(space);
            output.sent.fetch_add(1);
            wroteAny = true;
            news = true;
        }
        if (!wroteAny)
            output.idle.store(true);
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
        core->signalCycleEnd();
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
            handOver(input, input.assembler.add(input.event).message);
        }
    }

    static void handOver(InputState& input, std::span<const std::uint8_t> message) {
        if (input.onMessage && !message.empty())
            input.onMessage(message);
    }

    // ---- callers' threads ----

    // Waits until `condition` holds, the server has gone (when `untilGone`), or
    // `bound` has passed; returns the condition. The condition is looked at
    // again after every cycle (the process thread signals the end of each
    // while someone waits), so it must depend only on what a cycle changes.
    template <typename Condition>
    bool waitUntil(Condition condition, std::chrono::milliseconds bound, bool untilGone = true) {
        const auto deadline = Clock::now() + bound;
        cycleWaiters.fetch_add(1);
        while (!condition() && !(untilGone && serverGone.load()))
            if (!cycleEnded.try_acquire_until(deadline))
                break;
        cycleWaiters.fetch_sub(1);
        return condition();
    }

    // Waits until the server's current graph has `port` connected to `other`.
    // The graph changes only when a cycle starts, and a port reads its peer's
    // buffer through the graph current at that moment, so a message sent from
    // now on goes through the connection.
    bool waitForConnection(jack_port_t* port, const std::string& other) {
        auto connected = [&] { return jack_port_connected_to(port, other.c_str()) != 0; };
        return connected() || waitUntil(connected, options.bound);
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

    // Registers `state`'s port, or takes an idle one of the same name and peer,
    // connects it to `peer` unless that is empty, and lets the process cycle
    // and the delivery thread serve it. Returns the state, or null with `error`.
    PortState* attach(std::unique_ptr<PortState> state, const std::string& portName,
                      const std::string& peer, std::string& error) {
        const std::lock_guard control(controlMutex);
        if (serverGone.load()) {
            error = "the JACK server has shut down";
            return nullptr;
        }
        const auto slot = freeSlot();
        if (!slot) {
            error = "the JACK client has no room for another port";
            return nullptr;
        }
        const bool output = state->kind == PortState::Kind::Output;
        state->baseName = portName;
        state->peer = peer;
        const auto reusable = std::find_if(idlePorts.begin(), idlePorts.end(), [&](auto& idle) {
            return idle->kind == state->kind && idle->baseName == portName && idle->peer == peer;
        });
        if (reusable != idlePorts.end()) {
            state->port = (*reusable)->port;
            state->shortName = (*reusable)->shortName;
            idlePorts.erase(reusable);
        } else {
            state->shortName = uniquePortName(portName);
            state->port =
                jack_port_register(client, state->shortName.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                   output ? JackPortIsOutput : JackPortIsInput, 0);
            if (!state->port) {
                error = "JACK refused the port \"" + state->shortName + "\"";
                return nullptr;
            }
            portNames.insert(state->shortName);
        }
        const std::string own = jack_port_name(state->port);
        if (!peer.empty() && !jack_port_connected_to(state->port, peer.c_str())) {
            const std::string& from = output ? own : peer;
            const std::string& to = output ? peer : own;
            const int connected = jack_connect(client, from.c_str(), to.c_str());
            if (connected != 0 && connected != EEXIST) {
                release(std::move(state));
                error = "cannot connect \"" + from + "\" to \"" + to + "\"";
                return nullptr;
            }
        }
        PortState* raw = state.get();
        owned.push_back(std::move(state));
        {
            const std::lock_guard lock(deliveryMutex);
            if (output)
                outputs.push_back(static_cast<OutputState*>(raw));
            else
                inputs.push_back(static_cast<InputState*>(raw));
        }
        slots[*slot].store(raw);
        return raw;
    }

    // Takes `state` out of the process cycle and the delivery thread's lists
    // and frees it. A port connected at opening stays registered and
    // connected, unused, for the next opening of the same connection (when
    // `reusable`: nothing is left in its buffer); other ports are
    // unregistered. When a stalled cycle may still hold the state, it is kept,
    // port and memory, until the client closes.
    void retire(PortState* state, bool reusable) {
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
        std::unique_ptr<PortState> retired = std::move(*owner);
        owned.erase(owner);
        if (!unused) {
            graveyard.push_back(std::move(retired));
            return;
        }
        if (reusable && !retired->peer.empty() && !serverGone.load()) {
            auto idle = std::make_unique<IdlePort>();
            idle->kind = retired->kind;
            idle->port = retired->port;
            idle->baseName = retired->baseName;
            idle->shortName = retired->shortName;
            idle->peer = retired->peer;
            idlePorts.push_back(std::move(idle));
            if (idlePorts.size() <= maximumIdlePorts)
                return;
            unregister(idlePorts.front()->port, idlePorts.front()->shortName);
            idlePorts.erase(idlePorts.begin());
            return;
        }
        release(std::move(retired));
    }

    // Unregisters the port of a state that never served or no longer serves.
    void release(std::unique_ptr<PortState> state) { unregister(state->port, state->shortName); }

    // Unregistering also disconnects the port from all its peers.
    void unregister(jack_port_t* port, const std::string& shortName) {
        if (!serverGone.load())
            jack_port_unregister(client, port);
        portNames.erase(shortName);
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
    std::counting_semaphore<> cycleEnded{0}; // released for them at every cycle's end
    std::atomic<std::size_t> capacity{0};    // an empty cycle buffer's room; 0 until measured
    std::atomic<bool> serverGone{false};

    // The delivery thread.
    std::counting_semaphore<> wakeup{0};
    std::atomic<bool> wakePending{false};
    std::atomic<bool> stopping{false};
    std::mutex deliveryMutex; // guards the lists and the handlers' runs
    std::vector<OutputState*> outputs;
    std::vector<InputState*> inputs;
    bool goneReported = false;
    std::thread delivery;

    // Callers' threads.
    std::mutex controlMutex; // guards what follows
    std::vector<std::unique_ptr<PortState>> owned;
    std::vector<std::unique_ptr<PortState>> graveyard;
    struct IdlePort {
        PortState::Kind kind;
        jack_port_t* port;
        std::string baseName;
        std::string shortName;
        std::string peer;
    };
    std::vector<std::unique_ptr<IdlePort>> idlePorts; // oldest first
    std::set<std::string> portNames;                  // of all registered ports
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

// libjack prints every failed attempt to reach a server on standard error;
// a program without a running server would scroll with it at each device
// listing. Failures are reported through open()'s error text instead.
static void quietenLibjack() {
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
    });
}

bool JackClient::builtIn() {
    return true;
}

std::string JackClient::libraryVersion() {
    const char* version = jack_get_version_string();
    return version ? version : "unknown";
}

JackClient::JackClient(Token, Options options)
    : core_(std::make_unique<jack::ClientCore>(std::move(options))) {}

std::shared_ptr<JackClient> JackClient::open(const std::string& name, std::string& error,
                                             Options options) {
    quietenLibjack();
    // A damaged metadata store would kill this process inside jack_client_open().
    if (std::string damaged = checkJackSharedFiles(options.bound); !damaged.empty()) {
        error = std::move(damaged);
        return nullptr;
    }
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
    if (jack_set_process_callback(core.client, &jack::ClientCore::process, &core) != 0) {
        error = "the JACK server refused a process callback for \"" + name + "\"";
        return nullptr; // the destructor closes what was opened
    }
    // A server waits only a few periods for the cycle that takes a new client
    // in, and reports failure when the machine is too busy for that, though
    // the client is in the graph: a cycle that runs for it is what counts.
    if (jack_activate(core.client) != 0 &&
        !core.waitUntil([&] { return core.cycles.load() > 0; }, core.options.bound)) {
        error = "the JACK server did not take the client \"" + name + "\" into its cycle";
        return nullptr;
    }
    return client;
}

JackClient::~JackClient() {
    jack::ClientCore& core = *core_;
    // Stops the process thread for good before anything it reads is freed.
    // Once the server has gone the handle is left alone: its process thread
    // has ended with the server, and the JACK library deletes the clients of
    // a dead server itself when any client of the process opens next.
    // A server that died unnoticed shows here as a deactivation that cannot
    // be sent; closing such a client can block inside the JACK library, so it
    // is left to the library as well. The process thread is stopped either way.
    if (core.client && !core.serverGone.load() && jack_deactivate(core.client) == 0)
        jack_client_close(core.client);
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
    const std::size_t queueBytes =
        std::max(jack::minimumOutputQueueBytes, 2 * (core.typeBufferSize + jack::lengthBytes));
    auto* state = static_cast<jack::OutputState*>(
        core.attach(std::make_unique<jack::OutputState>(queueBytes, std::move(onSent)), portName,
                    destination, error));
    if (!state)
        return nullptr;
    auto output = std::unique_ptr<JackOutput>(
        new JackOutput(shared_from_this(), state, jack_port_name(state->port)));
    // send() checks sizes against an empty buffer's room, measured by the
    // first cycle that serves an output port.
    const bool measured =
        core.capacity.load() != 0 ||
        core.waitUntil([&] { return core.capacity.load() != 0; }, core.options.bound);
    if (!measured || (!destination.empty() && !core.waitForConnection(state->port, destination))) {
        error = "the JACK server runs no process cycles";
        return nullptr; // closed again by the destructor
    }
    return output;
}

std::unique_ptr<JackInput> JackClient::openInput(const std::string& portName,
                                                 const std::string& source,
                                                 MessageHandler onMessage, std::string& error) {
    jack::ClientCore& core = *core_;
    const std::size_t queueBytes =
        std::max(jack::minimumInputQueueBytes, 8 * (core.typeBufferSize + jack::lengthBytes));
    auto* state = static_cast<jack::InputState*>(
        core.attach(std::make_unique<jack::InputState>(queueBytes, std::move(onMessage)), portName,
                    source, error));
    if (!state)
        return nullptr;
    auto input = std::unique_ptr<JackInput>(
        new JackInput(shared_from_this(), state, jack_port_name(state->port)));
    if (!source.empty() && !core.waitForConnection(state->port, source)) {
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
    jack::OutputState& state = *state_;
    const bool empty =
        state.idle.load() || core.waitUntil([&] { return state.idle.load(); }, core.options.bound);
    core.retire(state_, empty);
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
    client_->core_->retire(state_, true);
    state_ = nullptr;
}

std::uint64_t JackInput::lostEvents() const {
    return state_ ? state_->lost.load() : 0;
}

} // namespace qel::midi
