#include "cli/TerminalView.h"

#include "cli/Interrupt.h"
#include "cli/StandardOutput.h"
#include "core/NameText.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace qel::cli {

namespace {

std::string kilobytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f KB", bytes / 1024.0);
    return text;
}

constexpr int barWidth = 30;

} // namespace

std::string barText(const std::string& label, std::int64_t done, std::int64_t total, double seconds,
                    bool waiting) {
    const std::int64_t shown = std::clamp<std::int64_t>(done, 0, std::max<std::int64_t>(total, 0));
    const auto filled = static_cast<std::size_t>(total > 0 ? shown * barWidth / total : 0);
    std::string line = label.empty() ? "" : label + " ";
    line += "[" + std::string(filled, '#') + std::string(barWidth - filled, '.') + "] " +
            kilobytes(static_cast<double>(shown)) + " of " + kilobytes(static_cast<double>(total));
    if (waiting)
        return line + "  waiting for the keyboard...";
    const double rate = seconds > 0 ? static_cast<double>(shown) / seconds : 0;
    if (rate > 0 && shown < total) {
        const auto left = static_cast<long long>(static_cast<double>(total - shown) / rate);
        char text[64];
        std::snprintf(text, sizeof text, "  %s/s  %lld:%02lld left", kilobytes(rate).c_str(),
                      left / 60, left % 60);
        line += text;
    }
    return line;
}

void TerminalProgress::setRange(int maximum) {
    if (!whole_)
        maximum_ = maximum;
    draw(false);
}

void TerminalProgress::setPosition(int position) {
    if (whole_)
        return; // a whole action's bar follows its bytes alone
    // A position between nothing and all: blocks are flowing.
    if (position > 0 && position < maximum_)
        flowing_ = true;
    position_ = position;
    draw(position >= maximum_);
}

bool TerminalProgress::cancelRequested() const {
    // Nobody reads the output any more: the run stops as Ctrl+C stops it.
    return interrupted() || outputClosed();
}

void TerminalProgress::setItem(const std::string& name) {
    item_ = name;
    draw(true);
}

void TerminalProgress::setBytes(std::int64_t done, std::int64_t total) {
    if (!whole_ || total <= 0)
        return;
    if (total != maximum_) {
        maximum_ = total;
        position_ = 0;
    }
    // One bar for the whole action, never going back.
    position_ = std::max(position_, std::min(done, total));
    flowing_ = true;
    line_.setActionBarActive(shown_);
    draw(position_ >= maximum_);
}

void TerminalProgress::setWaiting(bool waiting) {
    if (waiting_ == waiting)
        return;
    waiting_ = waiting;
    draw(true);
}

void TerminalProgress::start() {
    started_ = std::chrono::steady_clock::now();
    shown_ = true;
    flowing_ = waiting_ = false;
    position_ = 0;
    if (whole_)
        maximum_ = 0;
}

void TerminalProgress::finish() {
    if (!shown_)
        return;
    if (visible())
        line_.clear();
    if (whole_)
        line_.setActionBarActive(false);
    shown_ = flowing_ = false;
}

bool TerminalProgress::visible() const {
    return shown_ && flowing_ && maximum_ > 0 && (whole_ || !line_.actionBarActive());
}

void TerminalProgress::draw(bool now) {
    if (!line_.enabled() || !visible())
        return;
    const auto time = std::chrono::steady_clock::now();
    // Redrawing at every block would cost more than the block; 10 times a second is plenty.
    if (!now && time - lastDraw_ < std::chrono::milliseconds(100))
        return;
    lastDraw_ = time;
    std::string label = caption_.empty() ? std::string(whole_ ? "" : "Transferring") : caption_;
    if (!item_.empty())
        label += (label.empty() ? "" : " ") + terminalText(item_);
    const double seconds = std::chrono::duration<double>(time - started_).count();
    line_.draw(barText(label, position_, maximum_, seconds, waiting_));
}

void TerminalDialogView::showError(const std::string& text) {
    if (outputClosed()) // the run ends quietly then
        return;
    line_.clear();
    std::cerr << "tq7400: " << terminalText(text) << '\n';
}

void TerminalView::printLine(const std::string& text) {
    line_.clear();
    std::cout << terminalText(text) << '\n' << std::flush;
}

void TerminalView::showBackupStep(const std::string& line) {
    if (printSteps_)
        printLine(line);
}

void TerminalView::showResult(const std::string& text) {
    if (printSteps_ && printResults_ && text != cancelledText)
        printLine(text);
}

DestroyAnswer TerminalView::askBeforeDestroying(const DestroyQuestion& question) {
    const char* verb = question.action == DestroyQuestion::Action::Replace      ? "replacing "
                       : question.action == DestroyQuestion::Action::Initialize ? "resetting "
                                                                                : "clearing  ";
    for (const std::string& line : question.lost)
        showBackupStep(verb + line);
    return {DestroyAnswer::Choice::Proceed, keepCopies_ && question.offerCopy, {}};
}

void TerminalView::showKbdError(const std::string& text, const std::string& step) {
    fail(step.empty() ? text : text + " (" + step + ")");
}

void TerminalView::fail(const std::string& text) {
    progress_.finish();
    if (!failure_)
        failure_ = text;
}

} // namespace qel::cli
