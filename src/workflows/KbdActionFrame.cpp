#include "workflows/KbdActionFrame.h"

#include "core/Exception.h"
#include "link/MidiDialogFactory.h"
#include "model/CurrentMidiDialog.h"

#include <QEventLoop>
#include <QTimer>

namespace qel {

KbdActionFrame::KbdActionFrame(DialogMaker makeDialog) : makeDialog_(std::move(makeDialog)) {}

KbdActionFrame::~KbdActionFrame() {
    if (dialog_ && currentMidiDialog() == dialog_.get())
        setCurrentMidiDialog(nullptr);
}

void KbdActionFrame::openMidiDialog(bool showProgress) {
    ++openCount_;
    if (dialog_)
        return;
    dialog_ = makeDialog_();
    if (!dialog_)
        throw Exception("The MIDI connection to the keyboard could not be made");
    setCurrentMidiDialog(dialog_.get());
    checkMidiError();
    dialog_->SetShowProgress(showProgress);
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
    IQelMidiDialog* const closing = dialog_.get();
    // A dialog that is still waiting for the keyboard is kept (the factory
    // refuses to destroy it); the next outermost open reuses it and its close
    // destroys it.
    if (!destroyMidiDialog(dialog_))
        return;
    if (currentMidiDialog() == closing)
        setCurrentMidiDialog(nullptr);
}

void KbdActionFrame::checkMidiError() const {
    if (dialog_)
        qel::checkMidiError(*dialog_);
}

void KbdActionFrame::waitKbdReady(int limit) {
    if (!dialog_)
        throw Exception("The MIDI connection to the keyboard is not open");
    IQelMidiDialog& dialog = *dialog_;
    for (int attempt = 0; attempt < 2 * limit; ++attempt) {
        try {
            dialog.GetModel();
            if (dialog.GetErrorCode() == 0)
                return;
        } catch (const Exception&) {
            // A malformed answer counts as no answer: the keyboard is still busy.
        }
        pauseRunningEvents(readinessPause_);
    }
    throw Exception("MIDI TIMEOUT");
}

KbdActionFrame::Action::Action(KbdActionFrame& frame) : frame_(frame), depth_(frame.openCount_) {
    ++frame_.actions_;
}

KbdActionFrame::Action::~Action() {
    while (frame_.openCount_ > depth_)
        frame_.closeMidiDialog();
    --frame_.actions_;
}

void pauseRunningEvents(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(duration);
    loop.exec();
}

} // namespace qel
