#pragma once

// The data manager's view on a terminal: it keeps the first failure for the
// exit status and standard error, prints a backup's account, and draws
// progress on standard error when that is a terminal (never with --quiet).
// The MIDI dialog's window becomes a transfer bar with bytes, rate and time
// left, whose Cancel is Ctrl+C.

#include "link/MidiDialogView.h"
#include "workflows/DataManagerView.h"

#include <chrono>
#include <optional>
#include <string>

namespace qel::cli {

// A progress bar on standard error, redrawn in place.
class TerminalProgress : public ProgressReporter {
public:
    // `enabled` false: draws nothing (output not a terminal, or --quiet).
    // `bytes`: positions count bytes, shown with a rate and the time left.
    TerminalProgress(bool enabled, bool bytes) : enabled_(enabled), bytes_(bytes) {}

    void setCaption(const std::string& text) override { caption_ = text; }
    void setRange(int maximum) override;
    void setPosition(int position) override;
    bool cancelRequested() const override;
    // An action's bytes, shown beside its bar with a rate and the time left.
    void setBytes(std::int64_t done, std::int64_t total) override;
    void setWaiting(bool waiting) override;

    // Starts timing a new run of the bar; finish() ends its line.
    void start();
    void finish();

private:
    void draw();

    bool enabled_;
    bool bytes_;
    bool drawn_ = false;
    std::string caption_;
    int maximum_ = 0;
    int position_ = 0;
    std::int64_t bytesDone_ = 0;
    std::int64_t bytesTotal_ = 0;
    bool waiting_ = false;
    std::chrono::steady_clock::time_point bytesStarted_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
};

class TerminalDialogView : public MidiDialogView {
public:
    explicit TerminalDialogView(bool enabled) : bar_(enabled, true) {}
    void setCaption(const std::string& text) override { bar_.setCaption(text); }
    // Drawn only while shown: a dialog that serves an action's progress
    // never shows it, and the action's bar is the one on the terminal.
    void setRange(int maximum) override {
        maximum_ = maximum;
        if (shown_)
            bar_.setRange(maximum);
    }
    void setPosition(int position) override {
        if (shown_)
            bar_.setPosition(position);
    }
    bool cancelRequested() const override { return bar_.cancelRequested(); }
    void show() override {
        shown_ = true;
        bar_.start();
        bar_.setRange(maximum_);
    }
    void hide() override {
        shown_ = false;
        bar_.finish();
    }
    void showError(const std::string& text) override;

private:
    TerminalProgress bar_;
    bool shown_ = false;
    int maximum_ = 0;
};

class TerminalView : public DataManagerView {
public:
    TerminalView(bool progress, bool printSteps)
        : progress_(progress, false), printSteps_(printSteps) {}

    // The first failure shown, if any.
    const std::optional<std::string>& failure() const { return failure_; }

    void selectKbdRow(int) override {}
    void showMemoryBar(bool, int, int) override {}
    void setKeyboardCaption(const std::string&) override {}
    void showCardTab() override {}
    void showDiskTab() override {}
    void enableSendReceive(bool, bool) override {}
    void enableKbdUpdate(bool) override {}
    void enableKbdDelete(bool) override {}
    void lockForKbdOperation(bool) override {}
    ProgressReporter& progress() override { return progress_; }
    void showProgress() override { progress_.start(); }
    void hideProgress() override { progress_.finish(); }
    // Prints the line with the names in it escaped for the terminal.
    void showBackupStep(const std::string& line) override;
    // Prints the line like a backup step.
    void showResult(const std::string& text) override { showBackupStep(text); }
    // Never asks: says what will be replaced or cleared, and goes on, keeping
    // copies when the command line asked for them.
    DestroyAnswer askBeforeDestroying(const DestroyQuestion& question) override;
    void setKeepCopies(bool keep) { keepCopies_ = keep; }
    // "MIDI TIMEOUT (receiving USER RHYTHM 140, block 3 of 5)"; the text
    // alone when no step is known.
    void showKbdError(const std::string& text, const std::string& step) override;
    void showDefaultError(const std::string& text) override { fail(text); }

private:
    void fail(const std::string& text);

    TerminalProgress progress_;
    bool printSteps_;
    bool keepCopies_ = false;
    std::optional<std::string> failure_;
};

} // namespace qel::cli
