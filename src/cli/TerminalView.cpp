#include "cli/TerminalView.h"

#include "cli/Interrupt.h"
#include "cli/StandardOutput.h"
#include "core/NameText.h"
#include "core/ProgressText.h"

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

} // namespace

void TerminalProgress::setRange(int maximum) {
    maximum_ = maximum;
    draw();
}

void TerminalProgress::setPosition(int position) {
    position_ = position;
    draw();
}

void TerminalProgress::setBytes(std::int64_t done, std::int64_t total) {
    if (done == 0 || total != bytesTotal_)
        bytesStarted_ = std::chrono::steady_clock::now();
    bytesDone_ = done;
    bytesTotal_ = total;
    draw();
}

void TerminalProgress::setWaiting(bool waiting) {
    waiting_ = waiting;
    draw();
}

bool TerminalProgress::cancelRequested() const {
    // Nobody reads the output any more: the run stops as Ctrl+C stops it.
    return interrupted() || outputClosed();
}

void TerminalProgress::start() {
    started_ = std::chrono::steady_clock::now();
    position_ = 0;
    draw();
}

void TerminalProgress::finish() {
    if (drawn_)
        std::cerr << '\n' << std::flush;
    drawn_ = false;
}

void TerminalProgress::draw() {
    if (!enabled_ || maximum_ <= 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    // Redrawing at every block would cost more than the block; 10 times a second is plenty.
    if (drawn_ && position_ < maximum_ && now - lastDraw_ < std::chrono::milliseconds(100))
        return;
    lastDraw_ = now;
    constexpr int width = 30;
    const int filled = static_cast<int>(static_cast<long long>(position_) * width / maximum_);
    std::string line =
        "\r" + (caption_.empty() ? std::string("Working") : caption_) + " [" +
        std::string(static_cast<std::size_t>(std::clamp(filled, 0, width)), '#') +
        std::string(static_cast<std::size_t>(width - std::clamp(filled, 0, width)), '.') + "]";
    if (bytes_) {
        const double seconds = std::chrono::duration<double>(now - started_).count();
        const double rate = seconds > 0 ? position_ / seconds : 0;
        line += " " + kilobytes(position_) + " of " + kilobytes(maximum_);
        if (rate > 0) {
            const int left = static_cast<int>((maximum_ - position_) / rate);
            char text[64];
            std::snprintf(text, sizeof text, "  %s/s  %d:%02d left", kilobytes(rate).c_str(),
                          left / 60, left % 60);
            line += text;
        }
    } else {
        line += " " + std::to_string(static_cast<long long>(position_) * 100 / maximum_) + "%";
        if (bytesTotal_ > 0)
            line += "  " + transferText(bytesDone_, bytesTotal_,
                                        std::chrono::duration_cast<std::chrono::milliseconds>(
                                            now - bytesStarted_)
                                            .count());
    }
    if (waiting_)
        line += "  waiting for the keyboard...";
    std::cerr << line << "\x1b[K" << std::flush;
    drawn_ = true;
}

void TerminalDialogView::showError(const std::string& text) {
    if (!outputClosed()) // the run ends quietly then
        std::cerr << "tq7400: " << terminalText(text) << '\n';
}

void TerminalView::showBackupStep(const std::string& line) {
    if (printSteps_)
        std::cout << terminalText(line) << '\n' << std::flush;
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
