#pragma once

// The frame every keyboard action runs in. It owns the one MIDI dialog while
// an action runs (opened and closed through KbdSession, KbdSession.h); it
// says whether an action is running; and it polls the keyboard until it is
// ready again after a change.
//
// Keyboard actions wait inside the MIDI dialog, and events handled during a
// wait may start code that opens a session again. The frame counts the open
// sessions, so such a nested session never destroys the dialog under the
// outer action: only the outermost session makes and destroys it.
// Everything runs on the thread that owns the Qt event loop.

#include "link/MidiDialog.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace qel {

class KbdActionFrame {
public:
    // Makes a new MIDI dialog with its ports open; it is never null.
    using DialogMaker = std::function<std::unique_ptr<MidiDialog>()>;

    explicit KbdActionFrame(DialogMaker makeDialog);
    // Closes a dialog that is still open.
    ~KbdActionFrame() = default;
    KbdActionFrame(const KbdActionFrame&) = delete;
    KbdActionFrame& operator=(const KbdActionFrame&) = delete;

    // What every dialog the frame makes reports its transfers and waits to,
    // and asks for a cancel (MidiDialog::setActionProgress); null for none.
    void setActionProgress(ProgressReporter* progress) { actionProgress_ = progress; }

    // The open dialog, or null.
    MidiDialog* dialog() const { return dialog_.get(); }

    // checkMidiError: throws Exception with the open dialog's text for its
    // error code when its last operation failed.
    void checkMidiError() const;

    // waitKbdReady: asks the keyboard its model until it answers without
    // error, at most 2 * limit times, with a pause between two attempts; an
    // attempt that throws counts as failed. Throws Exception "MIDI TIMEOUT"
    // when no attempt succeeded, and at the latest when the readiness limit
    // has passed: attempts that get no answer each wait the reply time-out,
    // and 200 of them would hold the program for half an hour. The last
    // attempt is cut short at the limit too (MidiDialog::setDeadline).
    // A cancel request (MidiDialog::cancelRequested) ends the attempt and
    // the pause it comes in, and throws Exception "Cancelled". Its step is
    // "waiting for the keyboard to be ready". Needs an open dialog.
    void waitKbdReady(int limit);

    // The pause between two readiness attempts: 500 ms. Tests shorten it. The
    // pause runs the event loop, so the window stays painted and responsive.
    void setReadinessPause(std::chrono::milliseconds pause) { readinessPause_ = pause; }
    std::chrono::milliseconds readinessPause() const { return readinessPause_; }
    // The longest the readiness poll lasts in all: 2 minutes. Tests shorten it.
    void setReadinessLimit(std::chrono::milliseconds limit) { readinessLimit_ = limit; }
    std::chrono::milliseconds readinessLimit() const { return readinessLimit_; }

    // What the running action does now, in the user's words ("receiving
    // USER RHYTHM 140"); empty between steps. The open dialog, and a dialog
    // opened later, report their failures as happening in it.
    const std::string& step() const { return step_; }

    // Sets the step for its lifetime and gives the one before it back at its
    // end, on every path: an inner step (the list read inside a send) names
    // the failures inside it, the outer step those after it.
    class Step {
    public:
        Step(KbdActionFrame& frame, std::string text);
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        KbdActionFrame& frame_;
        std::string previous_;
    };

    // True while an action runs (between Action's construction and destruction).
    bool busy() const { return actions_ > 0; }

    // Marks an action as running for its lifetime, so that the program can
    // refuse to start a second one, or to close the window, until it ends.
    class Action {
    public:
        explicit Action(KbdActionFrame& frame);
        ~Action();
        Action(const Action&) = delete;
        Action& operator=(const Action&) = delete;

    private:
        KbdActionFrame& frame_;
    };

private:
    friend class KbdSession;

    // With no dialog open: makes one, checks its error code (a port that
    // failed to open throws Exception with the dialog's text; the dialog
    // stays until the matching close), then sets whether it shows its
    // progress window. With a dialog open: changes nothing, not even that
    // setting. Either way one more close is needed.
    void openMidiDialog(bool showProgress);
    // The close that matches the outermost open destroys the dialog; an inner
    // close only counts. A close without an open does nothing.
    void closeMidiDialog();
    void destroyDialog();
    void setStep(std::string text);

    DialogMaker makeDialog_;
    std::unique_ptr<MidiDialog> dialog_;
    ProgressReporter* actionProgress_ = nullptr; // not owned
    std::string step_;
    int openCount_ = 0;
    int actions_ = 0;
    std::chrono::milliseconds readinessPause_{500};
    std::chrono::milliseconds readinessLimit_{std::chrono::minutes(2)};
};

// Runs the calling thread's event loop for `duration`, then returns: a pause
// that keeps the program live, unlike a sleep.
void pauseRunningEvents(std::chrono::milliseconds duration);

// The same pause, ended early once `stop` returns true; `stop` is asked at the
// start and every `checkInterval`, so that a flag set by a signal handler,
// which no event announces, ends it too. False when it was stopped early.
bool pauseRunningEvents(std::chrono::milliseconds duration, const std::function<bool()>& stop,
                        std::chrono::milliseconds checkInterval = std::chrono::milliseconds(50));

} // namespace qel
