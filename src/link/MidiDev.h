#pragma once

// The common part of the two MIDI ports: the driver they open devices of, the
// observers told about completed transfers, and the result of the last driver
// call. Driver notifications reach a port through the UI thread's event queue,
// so ports and their observers only ever run on that thread.

#include "link/MidiObserver.h"
#include "platform/midi/MidiDriver.h"

#include <memory>
#include <vector>

namespace qel {

class MidiDev {
public:
    // Buffer size of a port: the longest message it sends, the largest piece
    // of a received message it delivers at once.
    static constexpr std::size_t bufferSize = 256;

    explicit MidiDev(std::shared_ptr<midi::Driver> driver);
    virtual ~MidiDev();
    MidiDev(const MidiDev&) = delete;
    MidiDev& operator=(const MidiDev&) = delete;

    // Opens device `deviceIndex` of the driver's list for this direction.
    // Returns the driver's result code, also kept as lastError().
    virtual midi::Result open(int deviceIndex) = 0;
    // Closes the device; on failure the port stays open. Returns the result code.
    virtual midi::Result close() = 0;

    // Adds an observer, called after those attached before. There is no detach:
    // an observer must outlive the port, or have its callback cleared.
    void attach(MidiObserver& observer);
    // Calls notify() of every observer in attach order.
    void notifyObservers();

    // The result of the last driver call made by the port (0: success).
    midi::Result lastError() const { return lastError_; }

protected:
    std::shared_ptr<midi::Driver> driver_;
    std::vector<MidiObserver*> observers_;
    midi::Result lastError_ = midi::result::NoError;
};

} // namespace qel
