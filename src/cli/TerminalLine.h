#pragma once

// The one line of standard error that progress is drawn on, redrawn in place
// with a carriage return. Anything else printed while a bar stands there
// (a notice, a result, an error) first clears the line, so that it gets a line
// of its own; the bar comes back with its next update.

#include <string>

namespace qel::cli {

class TerminalLine {
public:
    // `enabled` false: draws nothing (standard error no terminal, --quiet or --json).
    explicit TerminalLine(bool enabled) : enabled_(enabled) {}
    // A bar still standing goes, so that what comes next starts a line.
    ~TerminalLine() { clear(); }
    TerminalLine(const TerminalLine&) = delete;
    TerminalLine& operator=(const TerminalLine&) = delete;

    bool enabled() const { return enabled_; }
    // Puts `text` on the line in place of what stood there.
    void draw(const std::string& text);
    // Empties the line, the cursor at its start; nothing when nothing is drawn.
    void clear();

    // While a whole action reports its bytes, its bar is the one shown and the
    // bars of its single transfers stay away.
    void setActionBarActive(bool active) { actionBar_ = active; }
    bool actionBarActive() const { return actionBar_; }

private:
    bool enabled_;
    bool drawn_ = false;
    bool actionBar_ = false;
};

} // namespace qel::cli
