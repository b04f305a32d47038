#pragma once

// The MIDI dialog itself: owns the two MIDI ports, the reply timer, the request
// and reply buffers and the window, and runs each keyboard operation to its end
// inside the call (see MidiDialog for the operations and error codes).
//
// While an operation waits for the keyboard it handles the UI thread's events.
// A call of any operation of this dialog made from one of those events does
// nothing and ends with error 12 (the MIDI device is busy); the waiting
// operation then goes on undisturbed.
//
// The request/reply cycle and the parameter operations are in QelMidiDialog.cpp,
// the block transfer, sizes and names in QelMidiDialogTransfer.cpp.

#include "core/ByteVector.h"
#include "link/MidiDeviceLocks.h"
#include "link/MidiDialog.h"
#include "link/MidiDialogEnvironment.h"
#include "link/MidiInDev.h"
#include "link/MidiObserver.h"
#include "link/MidiOutDev.h"

#include <QTimer>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qel {

namespace dialogError {
inline constexpr std::int32_t timeout = 22;   // "MIDI TIMEOUT"
inline constexpr std::int32_t rejected = 23;  // "MESSAGE REJECTED"
inline constexpr std::int32_t sysEx = 24;     // "SYSEX ERROR"
inline constexpr std::int32_t cancelled = 25; // "Cancelled": the user asked to stop
// Another program holds the lock of the input or output device; the text names it.
inline constexpr std::int32_t deviceInUse = 26;
} // namespace dialogError

class QelMidiDialog : public MidiDialog {
public:
    // Opens both ports on the devices the environment names. A name that
    // matches no device (letter case aside) goes
    // to the window's error display as "No Such MIDI Device: <name>"; both ports
    // then stay closed and the error code stays 0. A port that fails to open
    // leaves its code; when the input fails, the output is closed again.
    // Before the ports open, both devices are locked against other programs
    // (devices inside the program, such as the virtual keyboard, need no lock):
    // when another program holds either, both ports stay closed and the error
    // code is 26, whose text names that program.
    // Every part of `environment` must be set (see MidiDialogEnvironment::completed).
    explicit QelMidiDialog(const MidiDialogEnvironment& environment);
    // Closes the output port, then the input port.
    ~QelMidiDialog() override;
    QelMidiDialog(const QelMidiDialog&) = delete;
    QelMidiDialog& operator=(const QelMidiDialog&) = delete;

    void beginCommunication() override;
    std::uint16_t getModel() override;
    void sendCommand(std::uint16_t category, std::uint16_t number, const ByteVector& index,
                     std::uint16_t parameter, std::int32_t value) override;
    void requestValue(std::uint16_t category, std::uint16_t number, const ByteVector& index,
                      std::uint16_t parameter, std::int32_t& value) override;
    void sendData(std::uint16_t category, std::uint16_t number, const ByteVector& data) override;
    std::size_t receiveData(std::uint16_t category, std::uint16_t number,
                            std::span<std::uint8_t> destination) override;
    std::int32_t getDataSize(std::uint16_t category, std::uint16_t number) override;
    std::string getDataName(std::uint16_t category, std::uint16_t number) override;
    void sendDataName(std::uint16_t category, std::uint16_t number,
                      const std::string& name) override;
    void setShowProgress(bool show) override { showProgress_ = show; }
    bool getShowProgress() const override { return showProgress_; }
    void setCaption(const std::string& text) override;
    std::int32_t getErrorCode() const override { return errorCode_; }
    std::string getErrorText(std::int32_t code) const override;
    void setStep(const std::string& step) override { step_ = step; }
    std::string getErrorStep() const override;
    bool waiting() const override { return waiting_; }
    bool cancelRequested() const override;
    void setDeadline(std::chrono::steady_clock::time_point deadline) override {
        deadline_ = deadline;
    }

    void setActionProgress(ProgressReporter* progress) override { actionProgress_ = progress; }

    // How long a wait goes without a reply before the progress says that
    // the program is waiting for the keyboard.
    static constexpr std::chrono::milliseconds waitingNotice{1000};

    // How often a wait looks at the window's cancel request when no event
    // comes: a terminal's interrupt only sets a flag, which no event announces.
    static constexpr std::chrono::milliseconds cancelPollInterval{50};

private:
    // The one index byte (0) of the parameters the dialog asks and sets itself.
    static const ByteVector& firstIndexByte();
    // Sends request_ (prepared on the output port) and shows it to the monitor.
    midi::Result sendRequest();
    // Creation steps after the device lists: find the named devices, lock
    // them, open the ports.
    void openNamedDevices(const MidiDialogEnvironment& environment);
    // A call made while another operation waits: refused with error 12.
    bool refusedWhileWaiting();
    // The start of an operation: no error, no failed block yet.
    void startOperation();

    // The request/reply cycle for the message in request_: send it, wait for
    // the reply or the time-out. False with errorCode_ set when it stopped.
    bool runCycle();
    // Handles events until done_ or a cancel request (cancelled_); the timer
    // guarantees an end.
    void waitUntilDone();
    void armCycleCallbacks();
    // Starts the reply timer for the reply time-out, cut short by the deadline.
    void startReplyTimer();

    void onRequestSent();
    void onReplyReceived();
    void onTimeout();
    void onEndSent();
    void onCancelled();

    // Data transfer steps: one block out, one block in.
    void sendBlock(std::uint16_t category, std::uint16_t number, const ByteVector& bytes,
                   std::uint16_t block);
    // Block k is asked with a data request when it is the first (k = 0), with
    // the next-block command otherwise. A data block that fails
    // checkDataBlock() for k ends the transfer with error 24. False at the end
    // of the item or on failure.
    bool receiveBlock(std::uint16_t category, std::uint16_t number, ByteVector& block,
                      std::uint32_t k);
    // The end-of-data command after the last block; waits until it has left.
    void sendEndOfData(std::uint16_t category, std::uint16_t number);
    std::int32_t dataSize(std::uint16_t category, std::uint16_t number);

    void showWindow();
    void hideWindow();
    void setProgressMaximum(std::int64_t maximum);
    void setProgressPosition(std::int64_t position);
    // A block transfer's range and position, for the action's progress too.
    void setTransferMaximum(std::int64_t maximum);
    void setTransferPosition(std::int64_t position);
    // The waiting notice, to the window and the action's progress.
    void setWaitingNotice(bool waiting);
    std::unique_ptr<MidiDialogView> view_;
    std::function<void(bool, const ByteVector&)> monitor_;
    int inputIndex_ = -1;
    int outputIndex_ = -1;
    std::vector<std::string> inputNames_;
    std::vector<std::string> outputNames_;
    QTimer timer_;
    // Declared before the ports, so that it is released only after they closed.
    MidiDeviceLocks deviceLocks_;
    std::string lockRefusal_; // the text of error 26
    std::chrono::milliseconds replyTimeout_;
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
    QTimer cancelPoll_;   // runs while an operation waits
    QTimer waitingTimer_; // gives the waiting notice when a wait lasts
    bool waitingNoticeShown_ = false;
    ProgressReporter* actionProgress_ = nullptr; // not owned
    MidiOutDev outputPort_;
    MidiInDev inputPort_;
    ByteVector reply_;
    ByteVector request_;
    MidiObserver outputObserver_;
    MidiObserver inputObserver_;
    bool done_ = false;
    bool timedOut_ = false;
    bool cancelled_ = false; // the last wait ended on a cancel request
    bool showProgress_ = true;
    std::int32_t errorCode_ = 0;
    std::string step_;        // the caller's (setStep)
    std::string failedBlock_; // where the last block transfer failed: "block 3 of 5"
    bool waiting_ = false;
    int progressMaximum_ = 100;
    int progressPosition_ = 0;
};

} // namespace qel
