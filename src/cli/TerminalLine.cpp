#include "cli/TerminalLine.h"

#include <iostream>

namespace qel::cli {

namespace {
// Erases from the cursor to the end of the line: a shorter text leaves no tail.
constexpr const char* eraseToEnd = "\x1b[K";
} // namespace

void TerminalLine::draw(const std::string& text) {
    if (!enabled_)
        return;
    std::cerr << '\r' << text << eraseToEnd << std::flush;
    drawn_ = true;
}

void TerminalLine::clear() {
    if (!drawn_)
        return;
    std::cerr << '\r' << eraseToEnd << std::flush;
    drawn_ = false;
}

} // namespace qel::cli
