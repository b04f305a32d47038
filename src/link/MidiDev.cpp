#include "link/MidiDev.h"

namespace qel {

MidiDev::MidiDev(std::shared_ptr<midi::Driver> driver) : driver_(std::move(driver)) {}

MidiDev::~MidiDev() = default;

void MidiDev::attach(MidiObserver& observer) {
    observers_.push_back(&observer);
}

void MidiDev::notifyObservers() {
    for (MidiObserver* observer : observers_)
        observer->notify();
}

} // namespace qel
