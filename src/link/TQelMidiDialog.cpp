#include "link/TQelMidiDialog.h"

#include "link/DataTransferTables.h"
#include "link/SysExDecoder.h"
#include "link/SysExEncoder.h"
#include "link/SysExFrame.h"
#include "model/Catalogue.h"
#include "platform/midi/MidiResult.h"
#include "platform/registry/Registry.h"

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <climits>

namespace qel {

namespace {

const char* const midiKey = "Software\\Vorla\\TQ-7400\\MIDI";
const ByteVector firstIndex{0x00};
constexpr std::size_t blockSize = 128;

// Parameters of category 0 (Command) the dialog itself uses.
constexpr std::uint16_t modelParameter = 0;
constexpr std::uint16_t beginCommunicationParameter = 32;

// Position of `name` in `names`, letter case aside; -1 if absent.
int findDevice(const std::vector<std::string>& names, const std::string& name) {
    const QString wanted = QString::fromStdString(name);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (QString::fromStdString(names[i]).compare(wanted, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

// Bytes 1-4 of a name as one number, byte 1 in bits 24-31.
std::uint32_t nameWord(const std::string& name, std::size_t first) {
    std::uint32_t word = 0;
    for (std::size_t i = first; i < first + 4; ++i)
        word = (word << 8) | static_cast<std::uint8_t>(name[i]);
    return word;
}

void appendNameWord(std::string& name, std::int32_t value) {
    const auto word = static_cast<std::uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8)
        name += static_cast<char>((word >> shift) & 0xFF);
}

} // namespace

TQelMidiDialog::TQelMidiDialog(const MidiDialogEnvironment& environment)
    : view_(environment.makeView()), outputPort_(environment.driver),
      inputPort_(environment.driver) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    timer_.setInterval(environment.replyTimeout);
    timer_.callOnTimeout([this] { onTimeout(); });
    view_->setProgressMaximum(progressMaximum_);
    view_->setProgressPosition(progressPosition_);
    inputNames_ = environment.driver->inputNames();
    outputNames_ = environment.driver->outputNames();
    openStoredDevices(environment.registryLocation);
}

TQelMidiDialog::~TQelMidiDialog() {
    outputPort_.close();
    inputPort_.close();
}

void TQelMidiDialog::openStoredDevices(const QString& registryLocation) {
    const registry::Registry settings(registryLocation);
    const std::string inputName = settings.readString(midiKey, "InputDevice").value_or("");
    const std::string outputName = settings.readString(midiKey, "OutputDevice").value_or("");
    inputIndex_ = findDevice(inputNames_, inputName);
    outputIndex_ = findDevice(outputNames_, outputName);
    if (inputIndex_ < 0 || outputIndex_ < 0) {
        // Both ports stay closed: the first operation that needs one fails.
        view_->showError("No Such MIDI Device: " + (inputIndex_ < 0 ? inputName : outputName));
        return;
    }
    outputPort_.attach(outputObserver_);
    inputPort_.attach(inputObserver_);
    errorCode_ = static_cast<std::int32_t>(outputPort_.open(outputIndex_));
    if (errorCode_ != 0)
        return;
    errorCode_ = static_cast<std::int32_t>(inputPort_.open(inputIndex_));
    if (errorCode_ != 0)
        outputPort_.close(); // errorCode_ keeps the input's code
}

bool TQelMidiDialog::refusedWhileWaiting() {
    if (!waiting_)
        return false;
    errorCode_ = static_cast<std::int32_t>(midi::result::HandleBusy);
    return true;
}

// ---- the request/reply cycle ----

void TQelMidiDialog::armCycleCallbacks() {
    outputObserver_.setCallback([this] { onRequestSent(); });
    inputObserver_.setCallback([this] { onReplyReceived(); });
}

bool TQelMidiDialog::runCycle() {
    done_ = false;
    timedOut_ = false;
    errorCode_ = static_cast<std::int32_t>(outputPort_.prepare(request_));
    if (errorCode_ != 0)
        return false;
    errorCode_ = static_cast<std::int32_t>(inputPort_.start());
    if (errorCode_ != 0)
        return false;
    errorCode_ = static_cast<std::int32_t>(outputPort_.send());
    if (errorCode_ != 0)
        return false;
    // Also bounds the wait for the message to leave; restarted when it has.
    timer_.start();
    waitUntilDone();
    errorCode_ = static_cast<std::int32_t>(inputPort_.stop());
    if (errorCode_ != 0)
        return false;
    if (timedOut_) {
        errorCode_ = dialogError::timeout;
        return false;
    }
    return true;
}

void TQelMidiDialog::waitUntilDone() {
    struct Waiting {
        TQelMidiDialog& dialog;
        std::int32_t code;
        explicit Waiting(TQelMidiDialog& d) : dialog(d), code(d.errorCode_) { d.waiting_ = true; }
        // Calls refused during the wait leave their code; this operation's stays.
        ~Waiting() {
            dialog.waiting_ = false;
            dialog.errorCode_ = code;
        }
    } waiting(*this);
    while (!done_)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TQelMidiDialog::onRequestSent() {
    outputObserver_.clearCallback();
    timer_.start(); // the time-out counts from the moment the request has left
}

void TQelMidiDialog::onReplyReceived() {
    timer_.stop();
    inputObserver_.clearCallback();
    // A reply may overtake the output's done notification; that one must not
    // restart the timer afterwards.
    outputObserver_.clearCallback();
    inputPort_.receivedMessage(reply_);
    done_ = true;
}

void TQelMidiDialog::onTimeout() {
    timer_.stop();
    done_ = true;
    timedOut_ = true;
    // A late reply is ignored.
    outputObserver_.clearCallback();
    inputObserver_.clearCallback();
}

void TQelMidiDialog::onEndSent() {
    outputObserver_.clearCallback();
    timer_.stop();
    done_ = true;
}

// ---- window ----

void TQelMidiDialog::showWindow() {
    if (showProgress_)
        view_->show();
}

void TQelMidiDialog::hideWindow() {
    if (showProgress_)
        view_->hide();
}

void TQelMidiDialog::setProgressMaximum(std::int64_t maximum) {
    progressMaximum_ = static_cast<int>(std::clamp<std::int64_t>(maximum, 0, INT_MAX));
    view_->setProgressMaximum(progressMaximum_);
}

void TQelMidiDialog::setProgressPosition(std::int64_t position) {
    // The bar ignores positions outside its range; a keyboard may send more
    // than it announced.
    progressPosition_ = static_cast<int>(std::clamp<std::int64_t>(position, 0, progressMaximum_));
    view_->setProgressPosition(progressPosition_);
}

void TQelMidiDialog::SetCaption(const std::string& text) {
    view_->setCaption(text);
}

// ---- parameter operations ----

void TQelMidiDialog::BeginCommunication() {
    if (refusedWhileWaiting())
        return;
    errorCode_ = 0;
    SysExIPCEncoder().encode(category::Command, 0, beginCommunicationParameter, firstIndex, 0,
                             request_);
    errorCode_ = static_cast<std::int32_t>(outputPort_.prepare(request_));
    if (errorCode_ == 0)
        errorCode_ = static_cast<std::int32_t>(outputPort_.send());
}

std::uint16_t TQelMidiDialog::GetModel() {
    if (refusedWhileWaiting())
        return 0;
    errorCode_ = 0;
    std::int32_t value = 0;
    RequestValue(category::Command, 0, firstIndex, modelParameter, value);
    return errorCode_ == 0 ? static_cast<std::uint16_t>(value & 0xFFFF) : 0;
}

void TQelMidiDialog::SendCommand(std::uint16_t category, std::uint16_t number,
                                 const ByteVector& index, std::uint16_t parameter,
                                 std::int32_t value) {
    if (refusedWhileWaiting())
        return;
    errorCode_ = 0;
    ByteVector message;
    SysExIPCEncoder().encode(category, number, parameter, index, static_cast<std::uint32_t>(value),
                             message);
    request_ = std::move(message);
    setProgressPosition(0);
    showWindow();
    errorCode_ = static_cast<std::int32_t>(outputPort_.prepare(request_));
    if (errorCode_ != 0) {
        hideWindow();
        return;
    }
    errorCode_ = static_cast<std::int32_t>(outputPort_.send());
    setProgressPosition(progressMaximum_);
    hideWindow();
}

void TQelMidiDialog::RequestValue(std::uint16_t category, std::uint16_t number,
                                  const ByteVector& index, std::uint16_t parameter,
                                  std::int32_t& value) {
    if (refusedWhileWaiting())
        return;
    errorCode_ = 0;
    ByteVector message;
    SysExIPREncoder().encode(category, number, parameter, index, message);
    request_ = std::move(message);
    setProgressPosition(0);
    showWindow();
    armCycleCallbacks();
    if (!runCycle()) {
        hideWindow();
        return;
    }
    SysExIPCDecoder().decodeValue(reply_, value);
    setProgressPosition(progressMaximum_);
    hideWindow();
}

std::string TQelMidiDialog::GetErrorText(std::int32_t code) const {
    if (code >= 1 && code <= 20)
        return "MIDI SYSTEM ERROR: " + midi::errorText(static_cast<midi::Result>(code));
    switch (code) {
    case dialogError::timeout:
        return "MIDI TIMEOUT";
    case dialogError::rejected:
        return "MESSAGE REJECTED";
    case dialogError::sysEx:
        return "SYSEX ERROR";
    default:
        return "";
    }
}

// ---- data transfer ----

void TQelMidiDialog::SendData(std::uint16_t category, std::uint16_t number,
                              const ByteVector& data) {
    if (refusedWhileWaiting())
        return;
    errorCode_ = 0;
    setProgressPosition(0);
    setProgressMaximum(static_cast<std::int64_t>(data.size()));
    showWindow();
    std::uint16_t block = 0;
    for (std::size_t offset = 0; offset < data.size(); offset += blockSize, ++block) {
        const std::size_t length = std::min(blockSize, data.size() - offset);
        const auto first = data.begin() + static_cast<std::ptrdiff_t>(offset);
        sendBlock(category, number, ByteVector(first, first + static_cast<std::ptrdiff_t>(length)),
                  block);
        if (errorCode_ != 0) {
            hideWindow();
            return;
        }
        setProgressPosition(static_cast<std::int64_t>(offset + length));
    }
    sendEndOfData(category, number);
    hideWindow();
}

void TQelMidiDialog::sendBlock(std::uint16_t category, std::uint16_t number,
                               const ByteVector& bytes, std::uint16_t block) {
    ByteVector message;
    SysExHDSEncoder().encode(category, number, block, bytes, message);
    request_ = std::move(message);
    armCycleCallbacks();
    if (!runCycle())
        return;
    std::uint8_t command = 0;
    SysExHCCDecoder().decodeCommand(reply_, command);
    if (command == sysex::SysExError)
        errorCode_ = dialogError::sysEx;
    else if (command == sysex::Rejected)
        errorCode_ = dialogError::rejected;
}

void TQelMidiDialog::sendEndOfData(std::uint16_t category, std::uint16_t number) {
    ByteVector message;
    SysExHCCEncoder().encode(category, number, 0, sysex::EndOfData, message);
    request_ = std::move(message);
    outputObserver_.setCallback([this] { onEndSent(); });
    inputObserver_.clearCallback();
    done_ = false;
    timedOut_ = false;
    errorCode_ = static_cast<std::int32_t>(outputPort_.prepare(request_));
    if (errorCode_ != 0)
        return;
    errorCode_ = static_cast<std::int32_t>(outputPort_.send());
    if (errorCode_ != 0)
        return;
    timer_.start(); // a message that never leaves must not hold the dialog
    waitUntilDone();
    if (timedOut_)
        errorCode_ = dialogError::timeout;
}

std::size_t TQelMidiDialog::ReceiveData(std::uint16_t category, std::uint16_t number,
                                        std::span<std::uint8_t> destination) {
    if (refusedWhileWaiting())
        return 0;
    errorCode_ = 0;
    // The size query moves the bar itself; the transfer starts from 0 after it.
    setProgressMaximum(dataSize(category, number));
    setProgressPosition(0);
    showWindow();
    std::size_t written = 0;
    ByteVector block;
    for (bool first = true; receiveBlock(category, number, block, first); first = false) {
        if (block.size() > destination.size() - written) {
            // More than the caller has room for: nothing is written past it.
            errorCode_ = dialogError::sysEx;
            break;
        }
        if (block.empty()) {
            // A keyboard never sends an empty block; answering them forever
            // would never fill the destination and never end.
            errorCode_ = dialogError::sysEx;
            break;
        }
        std::copy(block.begin(), block.end(),
                  destination.begin() + static_cast<std::ptrdiff_t>(written));
        written += block.size();
        setProgressPosition(static_cast<std::int64_t>(written));
    }
    hideWindow();
    return written;
}

bool TQelMidiDialog::receiveBlock(std::uint16_t category, std::uint16_t number, ByteVector& block,
                                  bool first) {
    ByteVector message;
    if (first)
        SysExHDREncoder().encode(category, number, 0, message);
    else
        SysExHCCEncoder().encode(category, number, 0, sysex::NextBlock, message);
    request_ = std::move(message);
    armCycleCallbacks();
    if (!runCycle())
        return false;
    const std::uint8_t type = messageType(reply_);
    if (type == sysex::DataBlock) {
        block.clear();
        SysExHDSDecoder().decodeData(reply_, block);
        return true;
    }
    std::uint8_t command = sysex::Rejected;
    if (type == sysex::Handshake)
        SysExHCCDecoder().decodeCommand(reply_, command);
    if (command == sysex::EndOfData)
        return false;
    // A SysEx error is reported as such; anything else the receive loop cannot
    // go on with (another command, another message type) is a rejection.
    errorCode_ = command == sysex::SysExError ? dialogError::sysEx : dialogError::rejected;
    return false;
}

std::int32_t TQelMidiDialog::dataSize(std::uint16_t category, std::uint16_t number) {
    const std::int32_t fixed = transfer::fixedSize(category);
    if (fixed != 0)
        return fixed;
    std::int32_t size = 0;
    RequestValue(category, number, firstIndex, transfer::sizeParameter, size);
    return size;
}

std::int32_t TQelMidiDialog::GetDataSize(std::uint16_t category, std::uint16_t number) {
    if (refusedWhileWaiting())
        return 0;
    return dataSize(category, number);
}

std::string TQelMidiDialog::GetDataName(std::uint16_t category, std::uint16_t number) {
    if (refusedWhileWaiting())
        return {};
    const std::uint16_t parameter = transfer::nameParameter(category);
    if (transfer::hasNoName(parameter))
        return {};
    std::int32_t first = 0;
    RequestValue(category, number, firstIndex, parameter, first);
    if (errorCode_ != 0)
        return {};
    std::int32_t second = 0;
    RequestValue(category, number, firstIndex, static_cast<std::uint16_t>(parameter + 1), second);
    if (errorCode_ != 0)
        return {};
    std::string name;
    appendNameWord(name, first);
    appendNameWord(name, second);
    return name;
}

void TQelMidiDialog::SendDataName(std::uint16_t category, std::uint16_t number,
                                  const std::string& name) {
    if (refusedWhileWaiting())
        return;
    const std::uint16_t parameter = transfer::nameParameter(category);
    if (transfer::hasNoName(parameter))
        return;
    // A shorter name is completed with spaces rather than read past its end.
    std::string padded = name;
    padded.resize(std::max<std::size_t>(padded.size(), 8), ' ');
    const auto first = static_cast<std::int32_t>(nameWord(padded, 0));
    const auto second = static_cast<std::int32_t>(nameWord(padded, 4));
    SendCommand(category, number, firstIndex, parameter, first);
    if (errorCode_ != 0)
        return;
    SendCommand(category, number, firstIndex, static_cast<std::uint16_t>(parameter + 1), second);
}

} // namespace qel
