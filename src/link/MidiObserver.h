#pragma once

// Something to call when a MIDI port has completed a transfer. The object that
// attaches an observer to a port owns it and sets or clears its callback; the
// port only points to it.

#include <functional>

namespace qel {

class MidiObserver {
public:
    using Callback = std::function<void()>;

    virtual ~MidiObserver() = default;

    // The function notify() calls; replaces the previous one.
    void setCallback(Callback callback) { callback_ = std::move(callback); }
    // After this, notify() does nothing.
    void clearCallback() { callback_ = nullptr; }

    // Calls the callback when one is set. The callback may clear or replace
    // itself while it runs.
    virtual void notify();

private:
    Callback callback_;
};

} // namespace qel
