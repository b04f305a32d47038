#pragma once

// Where long work reports how far it is, and learns whether the user wants it
// stopped. Free of widgets, so that one piece of work serves the window (the
// MIDI dialog's window, the progress window), a terminal and the tests, each
// with an implementation of its own.

#include <cstdint>
#include <string>

namespace qel {

class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;

    // What is being done, shown above the progress.
    virtual void setCaption(const std::string& text) = 0;
    // The progress runs from 0 to `maximum`.
    virtual void setRange(int maximum) = 0;
    // How far the work is, between 0 and the maximum.
    virtual void setPosition(int position) = 0;
    // True once the user asked to stop; the work ends at its next safe point.
    virtual bool cancelRequested() const { return false; }

    // What a reporter may show besides the bar; one that shows less ignores them.
    // The item being worked on now ("USER RHYTHM 141 DEMO RH1"); empty for none.
    virtual void setItem(const std::string& /*name*/) {}
    // The bytes done of the whole action's total (for a rate and the time left).
    virtual void setBytes(std::int64_t /*done*/, std::int64_t /*total*/) {}
    // True while the work has waited for the keyboard's reply for a while.
    virtual void setWaiting(bool /*waiting*/) {}
};

} // namespace qel
