#pragma once

// One client of a JACK server with MIDI ports of its own, written directly on
// libjack. Used by the program's JACK backend, by the stand-alone keyboard
// simulator and by tests that play the far end of a cable.
//
// What it guarantees:
// - A message handed to an output port is copied whole into a lock-free queue
//   and written whole into one process cycle's MIDI buffer. A message that does
//   not fit the room left in this cycle waits for the next one; one that could
//   not fit even an empty buffer is refused by send().
// - "Sent" means written into a cycle's buffer, never merely queued.
// - Closing a port first lets what is queued leave (with a bound), then takes
//   the port out of the process cycle, waits until a cycle that may still be
//   using it has ended, and only then frees its memory. A port that was
//   connected to a peer when it opened stays registered and connected, unused
//   and empty, for the next opening of the same connection (a MIDI dialog
//   opens the same two for every action, and each registration, connection
//   and unregistration is a round trip to the server that every other client
//   hears of); a few such ports are kept, the others are unregistered. The
//   client's destructor deactivates and closes the JACK client before it frees
//   anything the process thread reads. No sleep is involved anywhere.
// - The server going away is noticed: sends then fail with ServerGone, every
//   wait of the client ends, and nothing hangs.
//
// Threads: the JACK process thread only moves bytes between the queues and the
// port buffers; it neither locks nor allocates. One delivery thread per client
// runs the handlers (message received, message sent, server gone) in order. A
// handler must return quickly and must not call into the client or its ports.
// Everything else (opening, listing, sending, closing) is for the caller's
// threads; each port is sent to from one thread at a time.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qel::midi {

namespace jack {
class ClientCore;
struct OutputState;
struct InputState;
} // namespace jack

class JackOutput;
class JackInput;

class JackClient : public std::enable_shared_from_this<JackClient> {
public:
    struct Options {
        // Fail when the server already has a client of that name, instead of
        // taking the name with a number added.
        bool exactName = false;
        // How long a call waits for the server's cycles: for a queue to empty,
        // a cycle to end, a new connection to take effect.
        std::chrono::milliseconds bound{2000};
        // Runs when the server has shut the client down (delivery thread).
        std::function<void()> onServerGone;
        // Test seam: runs on the process thread in every cycle, after the cycle
        // has taken up the ports it serves and before it serves them.
        std::function<void()> cycleHook;
    };

    // Connects to the running JACK server (JACK_DEFAULT_SERVER picks which; a
    // server is never started) as client `name` and activates. Returns null
    // and sets `error` to a one-line reason when that fails, also when JACK's
    // shared files are damaged so that libjack would crash the process (see
    // JackSharedFiles.h; that check takes a child process).
    static std::shared_ptr<JackClient> open(const std::string& name, std::string& error,
                                            Options options);
    static std::shared_ptr<JackClient> open(const std::string& name, std::string& error) {
        return open(name, error, Options{});
    }

    // False in a build without JACK (QEL_WITH_JACK=OFF): there open() always
    // fails, saying so, and nothing else of this file can be reached.
    static bool builtIn();
    // The version of the JACK library the program runs with ("1.9.21"), or
    // "not built in" in a build without JACK.
    static std::string libraryVersion();

    // Deactivates and closes the JACK client, then frees what it used. All its
    // ports are closed by then (they keep the client alive). After the server
    // has gone the JACK handle is left to the JACK library, which deletes the
    // clients of a dead server when the process opens its next client.
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    // The client's name on the server (JACK may have added a number).
    const std::string& name() const;
    // True once the server has shut the client down; it never comes back.
    bool serverGone() const;

    // Full names ("client:port") of the MIDI ports of other clients that send
    // (sources) or take (destinations) MIDI, in the server's order. Empty when
    // the server has gone.
    std::vector<std::string> sources() const;
    std::vector<std::string> destinations() const;

    // Called on the delivery thread with each received message: a System
    // Exclusive message whole even when the sender split it over several
    // events, any other message as one event.
    using MessageHandler = std::function<void(std::span<const std::uint8_t>)>;
    // Called on the delivery thread once per message that has been written
    // into a process cycle's buffer, in the order sent.
    using SentHandler = std::function<void()>;

    // Registers an output port named `portName` (a number is added when this
    // client has a port of that name already), or takes the idle one left
    // connected to `destination` by an earlier close, and unless `destination`
    // is empty connects it to that port. Returns once the connection is in the
    // server's cycle, so that a message sent next goes through it (at most a
    // cycle). Null and `error` set on failure, also when no cycle runs within
    // the bound.
    std::unique_ptr<JackOutput> openOutput(const std::string& portName,
                                           const std::string& destination, SentHandler onSent,
                                           std::string& error);
    // Registers an input port and, unless `source` is empty, connects that
    // port to it; returns as openOutput() does.
    std::unique_ptr<JackInput> openInput(const std::string& portName, const std::string& source,
                                         MessageHandler onMessage, std::string& error);

private:
    struct Token {};

public:
    // For open() only.
    JackClient(Token, Options options);

private:
    friend class JackOutput;
    friend class JackInput;

    std::unique_ptr<jack::ClientCore> core_;
};

// An output port of a JackClient. Closed by its destructor at the latest.
class JackOutput {
public:
    enum class SendResult {
        Queued,     // it will be written whole into a cycle's buffer
        Empty,      // there is nothing to send
        TooLarge,   // larger than a cycle's empty MIDI buffer: it can never be sent
        QueueFull,  // no room in the queue now; try again after messages have left
        ServerGone, // the server has shut the client down
        Closed,     // the port is closed
    };

    ~JackOutput();
    JackOutput(const JackOutput&) = delete;
    JackOutput& operator=(const JackOutput&) = delete;

    // Queues a copy of one whole message.
    SendResult send(std::span<const std::uint8_t> message);
    // send(), waiting up to `bound` for room in the queue while it is full.
    SendResult sendWaiting(std::span<const std::uint8_t> message, std::chrono::milliseconds bound);

    // Waits up to the client's bound until every message queued so far has
    // been written into a cycle's buffer; true when it has (also when nothing
    // was queued), false when the bound passed or the server went away first.
    bool drain();
    // Drains, then takes the port out of the process cycle and frees it; the
    // JACK port is unregistered or kept idle as the client's comment says.
    // Messages still queued after the bound are dropped. Returns drain()'s
    // answer. Nothing else may be called afterwards except close() again,
    // which returns true.
    bool close();

    // The largest message send() accepts.
    std::size_t maximumMessageSize() const;
    // Messages the process thread had to drop because not even an empty
    // cycle buffer took them (only possible before send() knew that room).
    std::uint64_t refusedMessages() const;
    bool serverGone() const { return client_->serverGone(); }
    // The port's full name ("client:port"), for a peer to connect to.
    const std::string& fullName() const { return fullName_; }

private:
    friend class JackClient;
    JackOutput(std::shared_ptr<JackClient> client, jack::OutputState* state, std::string fullName);

    std::shared_ptr<JackClient> client_;
    jack::OutputState* state_; // owned by the client's core until close()
    std::string fullName_;
};

// An input port of a JackClient. Closed by its destructor at the latest.
class JackInput {
public:
    ~JackInput();
    JackInput(const JackInput&) = delete;
    JackInput& operator=(const JackInput&) = delete;

    // Takes the port out of the process cycle, waits until a cycle that may
    // still use it has ended, and frees it (the JACK port is unregistered or
    // kept idle as the client's comment says). Its handler runs no more once
    // this returns.
    void close();

    // Events the process thread had to drop because the queue to the delivery
    // thread was full.
    std::uint64_t lostEvents() const;
    const std::string& fullName() const { return fullName_; }

private:
    friend class JackClient;
    JackInput(std::shared_ptr<JackClient> client, jack::InputState* state, std::string fullName);

    std::shared_ptr<JackClient> client_;
    jack::InputState* state_;
    std::string fullName_;
};

} // namespace qel::midi
