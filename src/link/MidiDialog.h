#pragma once

// The one object through which the program talks to the keyboard. Each
// operation runs to its end inside the call, waiting for the keyboard's reply
// while the UI thread's events go on being handled.
//
// No operation throws for a keyboard or driver failure: each leaves an error
// code, which the caller reads with getErrorCode() right after the call and,
// when it is not 0, turns into an Exception carrying getErrorText(code). The
// only exception that leaves an operation is the format check's, for a
// malformed reply.
//
// Error codes: 0 success; 1-20 and 64 up: driver result codes; 22 no reply in
// time ("MIDI TIMEOUT"); 23 the keyboard rejected a message ("MESSAGE
// REJECTED"); 24 the keyboard reported a SysEx error, or sent more data than
// the destination holds, or a data block that fails its check: checksum, pair
// count, or block number out of sequence ("SYSEX ERROR"); 25 the user asked
// the dialog's window to stop (Cancel, or an interrupt on a terminal): any wait
// for the keyboard then ends within a fraction of a second, and a transfer
// between two blocks ("Cancelled"; a send cancelled before its end-of-data
// command has been handed to the port is not stored by the keyboard); 26
// another program holds the lock of the input or output device, so the dialog
// opened neither port (the text names that program: "The keyboard is in use
// by tq7400 (process 1234)").
//
// A wait that has gone on for waitingNotice without a reply tells the
// progress (setWaiting(true)), and its end takes that back.
//
// A call made while another operation of the same dialog waits for the
// keyboard (from an event handled during that wait) does nothing and leaves
// error 12, "the MIDI device is busy"; the waiting operation goes on unharmed.
// The dialog is made and destroyed by the functions of MidiDialogFactory.h.

#include "core/ByteVector.h"
#include "core/ProgressReporter.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qel {

class MidiDialog {
public:
    virtual ~MidiDialog() = default;

    // Sends the begin-communication command. Waits for no reply.
    virtual void beginCommunication() = 0;
    // Asks the keyboard's model code (1, 2 or 3 for the known models);
    // meaningful only when the error code is 0 afterwards.
    virtual std::uint16_t getModel() = 0;
    // Sets a parameter. Waits for no reply.
    virtual void sendCommand(std::uint16_t category, std::uint16_t number, const ByteVector& index,
                             std::uint16_t parameter, std::int32_t value) = 0;
    // Asks a parameter's value; `value` is unchanged when the request fails.
    virtual void requestValue(std::uint16_t category, std::uint16_t number, const ByteVector& index,
                              std::uint16_t parameter, std::int32_t& value) = 0;
    // Sends an item in blocks of 128 bytes, a handshake per block, then the
    // end-of-data command.
    virtual void sendData(std::uint16_t category, std::uint16_t number, const ByteVector& data) = 0;
    // Receives an item into `destination` and returns the number of bytes
    // written. Never writes past the end of `destination`: a keyboard that sends
    // more ends the transfer with error 24.
    virtual std::size_t receiveData(std::uint16_t category, std::uint16_t number,
                                    std::span<std::uint8_t> destination) = 0;
    // The size of an item in bytes: the fixed size of its category, or asked
    // from the keyboard (0 when that fails).
    virtual std::int32_t getDataSize(std::uint16_t category, std::uint16_t number) = 0;
    // The 8-byte name of an item, or empty for categories without names and on failure.
    virtual std::string getDataName(std::uint16_t category, std::uint16_t number) = 0;
    // Sends the first 8 characters of `name` as the item's name (nothing for
    // categories without names).
    virtual void sendDataName(std::uint16_t category, std::uint16_t number,
                              const std::string& name) = 0;
    // Whether the progress window shows during operations.
    virtual void setShowProgress(bool show) = 0;
    virtual bool getShowProgress() const = 0;
    // The progress window's caption.
    virtual void setCaption(const std::string& text) = 0;
    // The outcome of the last operation.
    virtual std::int32_t getErrorCode() const = 0;
    // The text for an error code: "MIDI SYSTEM ERROR: " + the driver's text for
    // 1-20, "MIDI TIMEOUT", "MESSAGE REJECTED", "SYSEX ERROR", "Cancelled" for
    // 22-25, who holds the device for 26, and empty for any other code.
    virtual std::string getErrorText(std::int32_t code) const = 0;

    // What the caller does with the operations that follow, in the user's
    // words ("receiving USER RHYTHM 140"); empty for nothing in particular.
    virtual void setStep(const std::string& step) = 0;
    // Where the last operation failed: the caller's step and, when a block
    // transfer failed, its block ("receiving USER RHYTHM 140, block 3 of 5";
    // "block 3" when the item's size is unknown; "after block 5 of 5" when
    // all blocks had gone and the end of the item failed). Empty when neither
    // is known. Meaningful only when the error code is not 0.
    virtual std::string getErrorStep() const = 0;

    // Whether the user asked the dialog's window to stop: its Cancel since it
    // was last shown, or an interrupt on the terminal. Waits of the dialog's
    // own end with error 25 then; code that waits between operations (the
    // readiness poll) asks here, as the window's owner is the dialog.
    virtual bool cancelRequested() const = 0;
    // No wait of a later operation lasts past `deadline`: a reply still
    // missing then ends the operation as a time-out (22). The default,
    // time_point::max(), leaves only the reply time-out.
    virtual void setDeadline(std::chrono::steady_clock::time_point deadline) = 0;

    // The progress of the action the dialog serves, or null (the default).
    // While one is set the dialog shows no window of its own: it reports each
    // block transfer's range and position (the item's bytes) and its waits
    // to it, and heeds its cancel request as well as its own window's.
    virtual void setActionProgress(ProgressReporter* /*progress*/) {}

    // True while one of this dialog's operations waits for the keyboard (the
    // call in progress is then an event handled during that wait); the dialog
    // must not be destroyed then. A dialog that never waits keeps the default.
    virtual bool waiting() const { return false; }
};

} // namespace qel
