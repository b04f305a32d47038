#pragma once

// RtMidi reports some failures (a port the system refused, a send that went
// wrong) only as warnings printed to the console unless an error callback is
// set, and it may call that callback from its own thread. Every RtMidi object
// gets a trap, so that each failure can be read afterwards, on any thread, as a
// result code or a text.

#include <mutex>
#include <optional>
#include <rtmidi/RtMidi.h>
#include <string>

namespace qel::midi {

class RtMidiErrorTrap {
public:
    struct Failure {
        RtMidiError::Type type;
        std::string text;
    };

    // Give to RtMidi's setErrorCallback() with the trap as its user data.
    static void callback(RtMidiError::Type type, const std::string& text, void* trap) {
        static_cast<RtMidiErrorTrap*>(trap)->record(type, text);
    }

    // The first failure since the last take(), if any; debug warnings are none.
    std::optional<Failure> take() {
        const std::lock_guard lock(mutex_);
        std::optional<Failure> failure = std::move(first_);
        first_.reset();
        return failure;
    }

private:
    void record(RtMidiError::Type type, const std::string& text) {
        if (type == RtMidiError::DEBUG_WARNING)
            return;
        const std::lock_guard lock(mutex_);
        if (!first_)
            first_ = Failure{type, text};
    }

    std::mutex mutex_;
    std::optional<Failure> first_;
};

} // namespace qel::midi
