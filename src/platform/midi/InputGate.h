#pragma once

// Whether an input device lets messages through, and which period of flow a
// received message belongs to, in one atomic word. A driver thread stamps a
// message when it arrives; the UI thread delivers it only if the stamp is still
// current. Every start, stop and reset begins a new period, so a message that
// arrived before a restart can never pass as the reply to the next request.
// (Kept apart, a flag and a period counter could be read from two different
// periods, between a stop and the next start.)

#include <atomic>
#include <optional>

namespace qel::midi {

class InputGate {
public:
    using Stamp = unsigned;

    // The UI thread: lets messages through or not, from a new period on.
    void set(bool flowing) {
        const Stamp period = (state_.load() >> 1) + 1;
        state_.store((period << 1) | (flowing ? 1u : 0u));
    }

    // Any thread: the stamp for a message arriving now, or nothing when input
    // does not flow.
    std::optional<Stamp> admit() const {
        const Stamp state = state_.load();
        if ((state & 1u) == 0)
            return std::nullopt;
        return state;
    }

    // The UI thread: true when a message stamped `stamp` may be delivered now.
    bool current(Stamp stamp) const { return state_.load() == stamp; }

private:
    std::atomic<Stamp> state_{0}; // period << 1 | flowing
};

} // namespace qel::midi
