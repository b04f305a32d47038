#include "link/MidiInDev.h"

namespace qel {

MidiInDev::MidiInDev(std::shared_ptr<midi::Driver> driver) : MidiDev(std::move(driver)) {}

MidiInDev::~MidiInDev() {
    close();
}

midi::Result MidiInDev::open(int deviceIndex) {
    if (device_)
        return lastError_ = midi::result::Allocated;
    lastError_ = driver_->openInput(
        deviceIndex, bufferSize, [this](std::span<const std::uint8_t> bytes) { onLongData(bytes); },
        device_);
    if (lastError_ != midi::result::NoError)
        return lastError_;
    lastError_ = device_->reset();
    return lastError_;
}

midi::Result MidiInDev::close() {
    lastError_ = midi::result::NoError;
    if (!device_)
        return lastError_;
    for (auto step :
         {&midi::InputDevice::stop, &midi::InputDevice::reset, &midi::InputDevice::close}) {
        lastError_ = ((*device_).*step)();
        if (lastError_ != midi::result::NoError)
            return lastError_;
    }
    device_.reset(); // drops notifications still on their way
    return lastError_;
}

midi::Result MidiInDev::start() {
    return lastError_ = device_ ? device_->start() : midi::result::InvalidHandle;
}

midi::Result MidiInDev::stop() {
    return lastError_ = device_ ? device_->stop() : midi::result::InvalidHandle;
}

void MidiInDev::onLongData(std::span<const std::uint8_t> bytes) {
    lastError_ = midi::result::NoError;
    if (!device_ || bytes.empty())
        return;
    message_.assign(bytes.begin(), bytes.end());
    notifyObservers();
}

} // namespace qel
