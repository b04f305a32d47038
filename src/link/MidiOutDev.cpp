#include "link/MidiOutDev.h"

#include <algorithm>

namespace qel {

MidiOutDev::MidiOutDev(std::shared_ptr<midi::Driver> driver) : MidiDev(std::move(driver)) {}

MidiOutDev::~MidiOutDev() {
    close();
}

midi::Result MidiOutDev::open(int deviceIndex) {
    if (device_)
        return lastError_ = midi::result::Allocated;
    pending_ = 0;
    lastError_ = driver_->openOutput(
        deviceIndex, [this] { onDone(); }, device_);
    return lastError_;
}

midi::Result MidiOutDev::close() {
    lastError_ = midi::result::NoError;
    if (!device_)
        return lastError_;
    lastError_ = device_->reset();
    if (lastError_ != midi::result::NoError)
        return lastError_;
    lastError_ = device_->close();
    if (lastError_ != midi::result::NoError)
        return lastError_;
    device_.reset(); // drops done notifications still on their way
    prepared_ = false;
    return lastError_;
}

midi::Result MidiOutDev::prepare(const ByteVector& message) {
    lastError_ = midi::result::NoError;
    if (!device_)
        return lastError_;
    if (message.size() > buffer_.size())
        return lastError_ = midi::result::InvalidParameter;
    std::copy(message.begin(), message.end(), buffer_.begin());
    length_ = message.size();
    prepared_ = true;
    return lastError_;
}

midi::Result MidiOutDev::send() {
    lastError_ = midi::result::NoError;
    if (!device_)
        return lastError_;
    if (!prepared_)
        return lastError_ = midi::result::Unprepared;
    lastError_ = device_->send(std::span<const std::uint8_t>(buffer_.data(), length_));
    if (lastError_ == midi::result::NoError)
        ++pending_;
    return lastError_;
}

void MidiOutDev::onDone() {
    lastError_ = midi::result::NoError;
    if (!device_ || pending_ == 0)
        return;
    if (--pending_ == 0)
        notifyObservers();
}

} // namespace qel
