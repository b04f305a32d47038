#pragma once

// Where long work reports how far it is, and learns whether the user wants it
// stopped. Free of widgets, so that one piece of work serves the window (the
// MIDI dialog's window, the progress window), a terminal and the tests, each
// with an implementation of its own.

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
};

} // namespace qel
