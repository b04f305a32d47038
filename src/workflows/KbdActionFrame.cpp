#include "workflows/KbdActionFrame.h"

#include "core/Exception.h"
#include "link/MidiDialogFactory.h"
#include "link/QelMidiDialog.h"
#include "model/MidiError.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace qel {

KbdActionFrame::KbdActionFrame(DialogMaker makeDialog) : makeDialog_(std::move(makeDialog)) {}

void KbdActionFrame::openMidiDialog(bool showProgress) {
    ++openCount_;
    if (dialog_)
        return;
    dialog_ = makeDialog_();
    if (!dialog_)
        throw Exception("The MIDI connection to the keyboard could not be made");
    dialog_->setActionProgress(actionProgress_);
    // A port that failed to open failed before any step.
    checkMidiError();
    dialog_->setStep(step_);
    dialog_->setShowProgress(showProgress);
}

void KbdActionFrame::closeMidiDialog() {
    if (openCount_ == 0)
        return;
    if (--openCount_ == 0)
        destroyDialog();
}

void KbdActionFrame::destroyDialog() {
    if (!dialog_)
        return;
    // A dialog that is still waiting for the keyboard is kept (the factory
    // refuses to destroy it); the next outermost open reuses it and its close
    // destroys it.
    destroyMidiDialog(dialog_);
}

void KbdActionFrame::setStep(std::string text) {
    step_ = std::move(text);
    if (dialog_)
        dialog_->setStep(step_);
}

KbdActionFrame::Step::Step(KbdActionFrame& frame, std::string text)
    : frame_(frame), previous_(frame.step_) {
    frame_.setStep(std::move(text));
}

KbdActionFrame::Step::~Step() {
    frame_.setStep(std::move(previous_));
}

void KbdActionFrame::checkMidiError() const {
    if (dialog_)
        qel::checkMidiError(*dialog_);
}

void KbdActionFrame::waitKbdReady(int limit) {
    if (!dialog_)
        throw Exception("The MIDI connection to the keyboard is not open");
    MidiDialog& dialog = *dialog_;
    const Step waiting(*this, "waiting for the keyboard to be ready");
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + readinessLimit_;
    // The cancel request is the dialog's, because its window (or the
    // terminal standing in for it) is where the user asks to stop; the frame
    // has no window of its own to ask.
    const auto cancelled = [&dialog] { return dialog.cancelRequested(); };
    struct Bounded {
        MidiDialog& dialog;
        Bounded(MidiDialog& d, Clock::time_point at) : dialog(d) { d.setDeadline(at); }
        ~Bounded() { dialog.setDeadline(Clock::time_point::max()); }
    } bounded(dialog, deadline);
    for (int attempt = 0; attempt < 2 * limit && Clock::now() < deadline; ++attempt) {
        if (cancelled())
            throw Exception("Cancelled");
        std::int32_t code = 0;
        try {
            dialog.getModel();
            code = dialog.getErrorCode();
        } catch (const Exception&) {
            // A malformed answer counts as no answer: the keyboard is still busy.
            code = -1;
        }
        if (code == 0)
            return;
        if (code == dialogError::cancelled || cancelled())
            throw Exception("Cancelled");
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= std::chrono::milliseconds(0))
            break;
        if (!pauseRunningEvents(std::min(readinessPause_, left), cancelled))
            throw Exception("Cancelled");
    }
    throw Exception("MIDI TIMEOUT", step_);
}

KbdActionFrame::Action::Action(KbdActionFrame& frame) : frame_(frame) {
    ++frame_.actions_;
}

KbdActionFrame::Action::~Action() {
    --frame_.actions_;
}

void pauseRunningEvents(std::chrono::milliseconds duration) {
    pauseRunningEvents(duration, [] { return false; });
}

bool pauseRunningEvents(std::chrono::milliseconds duration, const std::function<bool()>& stop,
                        std::chrono::milliseconds checkInterval) {
    if (stop())
        return false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer check;
    bool stopped = false;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (stop()) {
            stopped = true;
            loop.quit();
        }
    });
    timer.start(duration);
    check.start(checkInterval);
    loop.exec();
    return !stopped;
}

} // namespace qel
