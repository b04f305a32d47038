#include "link/QelMidiDialog.h"

#include "core/Catalogue.h"
#include "core/KeyboardTables.h"
#include "link/SysExDecoder.h"
#include "link/SysExEncoder.h"
#include "link/SysExFrame.h"
#include "platform/midi/MidiResult.h"

#include <QCoreApplication>
#include <QString>
#include <algorithm>

namespace qel {

namespace {

// Position of `name` in `names`, letter case aside; -1 if absent.
int findDevice(const std::vector<std::string>& names, const std::string& name) {
    const QString wanted = QString::fromStdString(name);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (QString::fromStdString(names[i]).compare(wanted, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

} // namespace

midi::Result QelMidiDialog::sendRequest() {
    const midi::Result result = outputPort_.send();
    if (result == 0 && monitor_)
        monitor_(true, request_);
    return result;
}

const ByteVector& QelMidiDialog::firstIndexByte() {
    static const ByteVector index{0x00};
    return index;
}

QelMidiDialog::QelMidiDialog(const MidiDialogEnvironment& environment)
    : view_(environment.makeView()), monitor_(environment.monitor),
      replyTimeout_(environment.replyTimeout), outputPort_(environment.driver),
      inputPort_(environment.driver) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    timer_.setInterval(environment.replyTimeout);
    timer_.callOnTimeout([this] { onTimeout(); });
    // Its events only wake the wait, which then looks at the cancel request.
    cancelPoll_.setInterval(cancelPollInterval);
    waitingTimer_.setSingleShot(true);
    waitingTimer_.setInterval(waitingNotice);
    waitingTimer_.callOnTimeout([this] { setWaitingNotice(true); });
    view_->setRange(progressMaximum_);
    view_->setPosition(progressPosition_);
    inputNames_ = environment.driver->inputNames();
    outputNames_ = environment.driver->outputNames();
    openNamedDevices(environment);
}

QelMidiDialog::~QelMidiDialog() {
    outputPort_.close();
    inputPort_.close();
}

void QelMidiDialog::openNamedDevices(const MidiDialogEnvironment& environment) {
    const std::string& inputName = environment.inputDevice;
    const std::string& outputName = environment.outputDevice;
    inputIndex_ = findDevice(inputNames_, inputName);
    outputIndex_ = findDevice(outputNames_, outputName);
    if (inputIndex_ < 0 || outputIndex_ < 0) {
        // Both ports stay closed: the first operation that needs one fails.
        view_->showError("No Such MIDI Device: " + (inputIndex_ < 0 ? inputName : outputName));
        return;
    }
    midi::Driver& driver = *environment.driver;
    const MidiDeviceLocks::Devices devices{
        driver.inputInProcess(inputIndex_) ? "" : inputNames_[inputIndex_],
        driver.outputInProcess(outputIndex_) ? "" : outputNames_[outputIndex_]};
    lockRefusal_ = deviceLocks_.lock(environment.deviceLockFolder, devices);
    if (!lockRefusal_.empty()) {
        // Both ports stay closed: the other program's replies are not ours.
        errorCode_ = dialogError::deviceInUse;
        return;
    }
    outputPort_.attach(outputObserver_);
    inputPort_.attach(inputObserver_);
    errorCode_ = static_cast<std::int32_t>(outputPort_.open(outputIndex_));
    if (errorCode_ == 0) {
        errorCode_ = static_cast<std::int32_t>(inputPort_.open(inputIndex_));
        if (errorCode_ != 0)
            outputPort_.close(); // errorCode_ keeps the input's code
    }
    if (errorCode_ != 0)
        deviceLocks_.release(); // no port is open to guard
}

void QelMidiDialog::startOperation() {
    errorCode_ = 0;
    failedBlock_.clear();
}

bool QelMidiDialog::refusedWhileWaiting() {
    if (!waiting_)
        return false;
    errorCode_ = static_cast<std::int32_t>(midi::result::HandleBusy);
    failedBlock_.clear();
    return true;
}

// ---- the request/reply cycle ----

void QelMidiDialog::armCycleCallbacks() {
    outputObserver_.setCallback([this] { onRequestSent(); });
    inputObserver_.setCallback([this] { onReplyReceived(); });
}

bool QelMidiDialog::runCycle() {
    done_ = false;
    timedOut_ = false;
    errorCode_ = static_cast<std::int32_t>(outputPort_.prepare(request_));
    if (errorCode_ != 0)
        return false;
    errorCode_ = static_cast<std::int32_t>(inputPort_.start());
    if (errorCode_ != 0)
        return false;
    errorCode_ = static_cast<std::int32_t>(sendRequest());
    if (errorCode_ != 0)
        return false;
    // Also bounds the wait for the message to leave; restarted when it has.
    startReplyTimer();
    waitUntilDone();
    errorCode_ = static_cast<std::int32_t>(inputPort_.stop());
    if (errorCode_ != 0)
        return false;
    if (cancelled_) {
        errorCode_ = dialogError::cancelled;
        return false;
    }
    if (timedOut_) {
        errorCode_ = dialogError::timeout;
        return false;
    }
    return true;
}

void QelMidiDialog::waitUntilDone() {
    struct Waiting {
        QelMidiDialog& dialog;
        std::int32_t code;
        explicit Waiting(QelMidiDialog& d) : dialog(d), code(d.errorCode_) { d.waiting_ = true; }
        // Calls refused during the wait leave their code; this operation's stays.
        ~Waiting() {
            dialog.waiting_ = false;
            dialog.errorCode_ = code;
        }
    } waiting(*this);
    cancelled_ = false;
    cancelPoll_.start();
    waitingTimer_.start();
    // A cancel that comes with the reply in one batch of events still wins:
    // the window resets its request when it is next shown, so a request left
    // unanswered here would be lost.
    while (!done_ && !cancelRequested())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    cancelPoll_.stop();
    waitingTimer_.stop();
    if (waitingNoticeShown_)
        setWaitingNotice(false);
    if (cancelRequested())
        onCancelled();
}

void QelMidiDialog::startReplyTimer() {
    using namespace std::chrono;
    const auto now = steady_clock::now();
    const auto left = deadline_ > now ? duration_cast<milliseconds>(deadline_ - now) : 0ms;
    timer_.start(std::min(replyTimeout_, left));
}

void QelMidiDialog::onRequestSent() {
    outputObserver_.clearCallback();
    startReplyTimer(); // the time-out counts from the moment the request has left
}

void QelMidiDialog::onReplyReceived() {
    timer_.stop();
    inputObserver_.clearCallback();
    // A reply may overtake the output's done notification; that one must not
    // restart the timer afterwards.
    outputObserver_.clearCallback();
    inputPort_.receivedMessage(reply_);
    if (monitor_)
        monitor_(false, reply_);
    done_ = true;
}

void QelMidiDialog::onTimeout() {
    timer_.stop();
    done_ = true;
    timedOut_ = true;
    // A late reply is ignored.
    outputObserver_.clearCallback();
    inputObserver_.clearCallback();
}

void QelMidiDialog::onEndSent() {
    outputObserver_.clearCallback();
    timer_.stop();
    done_ = true;
}

void QelMidiDialog::onCancelled() {
    // Ends the wait as a time-out would: a late reply is ignored.
    timer_.stop();
    done_ = true;
    cancelled_ = true;
    outputObserver_.clearCallback();
    inputObserver_.clearCallback();
}

// ---- window ----

void QelMidiDialog::showWindow() {
    // The action's one window stands for the dialog's own.
    if (showProgress_ && !actionProgress_)
        view_->show();
}

void QelMidiDialog::hideWindow() {
    if (showProgress_ && !actionProgress_)
        view_->hide();
}

bool QelMidiDialog::cancelRequested() const {
    return view_->cancelRequested() || (actionProgress_ && actionProgress_->cancelRequested());
}

void QelMidiDialog::setWaitingNotice(bool waiting) {
    waitingNoticeShown_ = waiting;
    view_->setWaiting(waiting);
    if (actionProgress_)
        actionProgress_->setWaiting(waiting);
}

void QelMidiDialog::setTransferMaximum(std::int64_t maximum) {
    setProgressMaximum(maximum);
    if (actionProgress_)
        actionProgress_->setRange(progressMaximum_);
}

void QelMidiDialog::setTransferPosition(std::int64_t position) {
    setProgressPosition(position);
    if (actionProgress_)
        actionProgress_->setPosition(progressPosition_);
}

void QelMidiDialog::setProgressMaximum(std::int64_t maximum) {
    progressMaximum_ = static_cast<int>(std::clamp<std::int64_t>(maximum, 0, INT_MAX));
    view_->setRange(progressMaximum_);
}

void QelMidiDialog::setProgressPosition(std::int64_t position) {
    // The bar ignores positions outside its range; a keyboard may send more
    // than it announced.
    progressPosition_ = static_cast<int>(std::clamp<std::int64_t>(position, 0, progressMaximum_));
    view_->setPosition(progressPosition_);
}

void QelMidiDialog::setCaption(const std::string& text) {
    view_->setCaption(text);
}

// ---- parameter operations ----

void QelMidiDialog::beginCommunication() {
    if (refusedWhileWaiting())
        return;
    startOperation();
    request_ = sysex::encodeParameterValue(category::Command, 0, command::beginCommunication,
                                           firstIndexByte(), 0);
    errorCode_ = static_cast<std::int32_t>(outputPort_.prepare(request_));
    if (errorCode_ == 0)
        errorCode_ = static_cast<std::int32_t>(sendRequest());
}

std::uint16_t QelMidiDialog::getModel() {
    if (refusedWhileWaiting())
        return 0;
    startOperation();
    std::int32_t value = 0;
    requestValue(category::Command, 0, firstIndexByte(), command::model, value);
    return errorCode_ == 0 ? static_cast<std::uint16_t>(value & 0xFFFF) : 0;
}

void QelMidiDialog::sendCommand(std::uint16_t category, std::uint16_t number,
                                const ByteVector& index, std::uint16_t parameter,
                                std::int32_t value) {
    if (refusedWhileWaiting())
        return;
    startOperation();
    request_ = sysex::encodeParameterValue(category, number, parameter, index,
                                           static_cast<std::uint32_t>(value));
    setProgressPosition(0);
    showWindow();
    errorCode_ = static_cast<std::int32_t>(outputPort_.prepare(request_));
    if (errorCode_ != 0) {
        hideWindow();
        return;
    }
    errorCode_ = static_cast<std::int32_t>(sendRequest());
    setProgressPosition(progressMaximum_);
    hideWindow();
}

void QelMidiDialog::requestValue(std::uint16_t category, std::uint16_t number,
                                 const ByteVector& index, std::uint16_t parameter,
                                 std::int32_t& value) {
    if (refusedWhileWaiting())
        return;
    startOperation();
    request_ = sysex::encodeParameterRequest(category, number, parameter, index);
    setProgressPosition(0);
    showWindow();
    armCycleCallbacks();
    if (!runCycle()) {
        hideWindow();
        return;
    }
    value = sysex::decodeParameterValue(reply_);
    setProgressPosition(progressMaximum_);
    hideWindow();
}

std::string QelMidiDialog::getErrorStep() const {
    if (step_.empty() || failedBlock_.empty())
        return step_ + failedBlock_;
    return step_ + ", " + failedBlock_;
}

std::string QelMidiDialog::getErrorText(std::int32_t code) const {
    if (code >= 1 && code <= 20)
        return "MIDI SYSTEM ERROR: " + midi::errorText(static_cast<midi::Result>(code));
    switch (code) {
    case dialogError::timeout:
        return "MIDI TIMEOUT";
    case dialogError::rejected:
        return "MESSAGE REJECTED";
    case dialogError::sysEx:
        return "SYSEX ERROR";
    case dialogError::cancelled:
        return "Cancelled";
    case dialogError::deviceInUse:
        return lockRefusal_.empty() ? "The keyboard is in use by another program" : lockRefusal_;
    default:
        return "";
    }
}

} // namespace qel
