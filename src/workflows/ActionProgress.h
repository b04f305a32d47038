#pragma once

// The progress of one keyboard action, shown in one window from its start to
// its end: the action's title, the item being worked on, the bytes done of
// the total, and one bar from 0 to barMaximum for the whole action that
// never goes back. The view's progress reporter (DataManagerView::progress())
// draws it; the MIDI dialog reports its block transfers, its waits and asks
// for a cancel through dialogReporter().
//
// How an action uses it (a batch of items the same way):
//
//     const ActionProgress::Scope scope(progress, "Receiving");
//     progress.beginPhase(1.0, totalBytes, true);  // the bar to 100 % over these bytes
//     for (item : items) {
//         progress.beginItem(name, bytes);          // the dialog's blocks move the bar
//         ... the transfer ...
//         progress.endItem();                       // the item counts whole
//     }
//
// An action with several phases (a list read, then the transfers, then a
// final read) gives each the share of the bar it ends at: beginPhase(0.2,
// slots, false) for the list read, advance(1) per slot, then beginPhase(1.0,
// bytes, true). A phase never starts below where the bar is, and the bar
// never passes the end of the phase it is in, so it only goes forwards even
// when a phase's units were guessed wrong. An item begun outside a phase
// (none begun, or the last one finished) starts a phase of its own bytes up
// to the end of the bar; items after it add theirs to it. A batch gives its
// total first, so that its first item does not fill the bar.
//
// Scopes nest: an action inside an action (the backup a package send makes
// first) shares the window of the outer one, whose end hides it.

#include "core/ProgressReporter.h"

#include <cstdint>
#include <string>

namespace qel {

class DataManagerView;

class ActionProgress {
public:
    static constexpr int barMaximum = 1000;

    explicit ActionProgress(DataManagerView& view);
    ActionProgress(const ActionProgress&) = delete;
    ActionProgress& operator=(const ActionProgress&) = delete;

    // The outermost begin shows the window with `title` and the bar at 0;
    // an inner one only counts. The end that matches the outermost begin
    // hides the window.
    void begin(const std::string& title);
    void end();
    bool active() const { return depth_ > 0; }

    // A new phase: the bar runs from where it is to `until` (a share of the
    // whole, 0 to 1) as `units` of work are done. `bytes` true: the units are
    // bytes, shown as bytes done of the total with a rate and the time left.
    void beginPhase(double until, std::int64_t units, bool bytes);
    // `units` of the phase done (a slot of a list read).
    void advance(std::int64_t units = 1);
    // The phase is done, whatever its units said: the bar at its end.
    void finishPhase();
    // An item of `units` (its bytes) begins: its name is shown, and the
    // dialog's block transfers inside it move the bar. endItem() counts it
    // whole, however many blocks it really had.
    void beginItem(const std::string& name, std::int64_t units);
    void endItem();
    // The text shown as the item without an item of its own ("USER TONE"
    // while its list is read); empty for none.
    void showItem(const std::string& name);

    // True when the user asked to stop the action (the window's Cancel, an
    // interrupt on a terminal), unless the action is cleaning up after a
    // failure (CleanUp). False when no action runs.
    bool cancelRequested() const;

    // What the MIDI dialog reports to: its transfer's range and position
    // (bytes of the current item), its waits, and where it asks for a cancel.
    ProgressReporter& dialogReporter() { return dialogReporter_; }

    // The bar's position now (0 to barMaximum).
    int position() const { return position_; }

    struct Scope {
        Scope(ActionProgress& progress, const std::string& title) : progress_(progress) {
            progress_.begin(title);
        }
        ~Scope() { progress_.end(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        ActionProgress& progress_;
    };

    // While it lives, a cancel request is not heeded: the reads that put the
    // lists right after a failed or cancelled change must run (each is
    // bounded by the reply time-out).
    struct CleanUp {
        explicit CleanUp(ActionProgress& progress) : progress_(progress) { ++progress_.cleanUps_; }
        ~CleanUp() { --progress_.cleanUps_; }
        CleanUp(const CleanUp&) = delete;
        CleanUp& operator=(const CleanUp&) = delete;

    private:
        ActionProgress& progress_;
    };

    // While it lives, the window is hidden (a question is asked over it).
    struct Hidden {
        explicit Hidden(ActionProgress& progress);
        ~Hidden();
        Hidden(const Hidden&) = delete;
        Hidden& operator=(const Hidden&) = delete;

    private:
        ActionProgress& progress_;
        bool wasShown_;
    };

private:
    class DialogReporter : public ProgressReporter {
    public:
        explicit DialogReporter(ActionProgress& progress) : progress_(progress) {}
        void setCaption(const std::string&) override {}
        void setRange(int maximum) override;
        void setPosition(int position) override;
        bool cancelRequested() const override { return progress_.cancelRequested(); }
        void setWaiting(bool waiting) override;

    private:
        ActionProgress& progress_;
        int maximum_ = 0;
    };

    ProgressReporter& reporter();
    void itemFraction(double fraction);
    // The bar at `done` units of the phase, never below where it is.
    void moveTo(std::int64_t done);
    void reportBytes(std::int64_t done);

    DataManagerView& view_;
    DialogReporter dialogReporter_{*this};
    int depth_ = 0;
    int cleanUps_ = 0;
    bool shown_ = false;
    int position_ = 0;
    int phaseStart_ = 0;
    int phaseEnd_ = barMaximum;
    std::int64_t phaseUnits_ = 0;
    std::int64_t phaseDone_ = 0;
    bool phaseBytes_ = false;
    bool phaseOpen_ = false;     // begun and not finished
    bool implicitPhase_ = false; // begun by an item

    bool inItem_ = false;
    std::int64_t itemUnits_ = 0;
};

} // namespace qel
