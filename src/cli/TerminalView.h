#pragma once

// The data manager's view on a terminal: it keeps the first failure for the
// exit status and standard error, prints a backup's account and each action's
// result, and draws progress on standard error when that is a terminal (never
// with --quiet): only while bytes flow, never while a list is read. The MIDI
// dialog's window becomes a transfer bar with bytes, rate and time left,
// whose Cancel is Ctrl+C.

#include "cli/TerminalLine.h"
#include "link/MidiDialogView.h"
#include "workflows/DataManagerView.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace qel::cli {

// What an action that the user stopped ends with, as a result and as a failure.
inline const std::string cancelledText = "Cancelled";

// One state of a progress bar: "LABEL [#####.....] 12.0 KB of 40.0 KB  3.0 KB/s
// 0:09 left"; with `waiting`, a word that the keyboard has not answered for a
// while in place of the rate. `done` is shown within 0 and `total`.
std::string barText(const std::string& label, std::int64_t done, std::int64_t total, double seconds,
                    bool waiting);

// The bar of one transfer, or of a whole action that counts its bytes: a
// label, the bar, the bytes done of the total, the rate and the time left.
class TerminalProgress : public ProgressReporter {
public:
    // `whole` true: the bar of a whole action, drawn once it reports its bytes
    // (setBytes), never going back. false: the bar of one MIDI transfer, drawn
    // once a position inside its range shows that blocks flow (the single
    // requests of a listing go from nothing to all at once, and draw nothing).
    TerminalProgress(TerminalLine& line, bool whole) : line_(line), whole_(whole) {}

    void setCaption(const std::string& text) override { caption_ = text; }
    void setRange(int maximum) override;
    void setPosition(int position) override;
    bool cancelRequested() const override;
    void setItem(const std::string& name) override;
    void setBytes(std::int64_t done, std::int64_t total) override;
    void setWaiting(bool waiting) override;

    // Starts a new run of the bar; finish() takes it off its line.
    void start();
    void finish();

private:
    bool visible() const;
    void draw(bool now);

    TerminalLine& line_;
    bool whole_;
    bool shown_ = false;
    bool flowing_ = false;
    bool waiting_ = false;
    std::string caption_;
    std::string item_;
    std::int64_t maximum_ = 0;
    std::int64_t position_ = 0;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
};

class TerminalDialogView : public MidiDialogView {
public:
    explicit TerminalDialogView(TerminalLine& line) : line_(line), bar_(line, false) {}
    void setCaption(const std::string& text) override { bar_.setCaption(text); }
    void setRange(int maximum) override { bar_.setRange(maximum); }
    void setPosition(int position) override { bar_.setPosition(position); }
    bool cancelRequested() const override { return bar_.cancelRequested(); }
    void show() override { bar_.start(); }
    void hide() override { bar_.finish(); }
    void showError(const std::string& text) override;

private:
    TerminalLine& line_;
    TerminalProgress bar_;
};

class TerminalView : public DataManagerView {
public:
    // `printSteps` false (--json): the steps and results are not printed;
    // `printResults` false (--quiet): the results are not printed.
    TerminalView(TerminalLine& line, bool printSteps, bool printResults)
        : line_(line), progress_(line, true), printSteps_(printSteps), printResults_(printResults) {
    }

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
    // Prints the line on standard output, on a line of its own. A cancel is
    // left out: the run reports it itself when it ends (exit status 130).
    void showResult(const std::string& text) override;
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
    void printLine(const std::string& text);

    TerminalLine& line_;
    TerminalProgress progress_;
    bool printSteps_;
    bool printResults_;
    bool keepCopies_ = false;
    std::optional<std::string> failure_;
};

} // namespace qel::cli
