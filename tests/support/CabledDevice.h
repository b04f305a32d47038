#pragma once

// A device of another backend (usually an in-process virtual device) shown as
// one of the operating system's devices, as if it sat at the end of a cable:
// it answers as before, but other programs could reach it, so a MIDI dialog
// locks it. Cheaper than a JACK server for tests of the device locks.

#include "platform/midi/MidiBackend.h"

#include <memory>

namespace qel::test {

class CabledDevice : public midi::Backend {
public:
    explicit CabledDevice(std::unique_ptr<midi::Backend> device) : device_(std::move(device)) {}

    std::vector<std::string> inputNames() override { return device_->inputNames(); }
    std::vector<std::string> outputNames() override { return device_->outputNames(); }
    midi::Result openInput(std::size_t index, std::size_t bufferSize, midi::LongDataHandler onData,
                           std::unique_ptr<midi::InputDevice>& device) override {
        return device_->openInput(index, bufferSize, std::move(onData), device);
    }
    midi::Result openOutput(std::size_t index, midi::DoneHandler onDone,
                            std::unique_ptr<midi::OutputDevice>& device) override {
        return device_->openOutput(index, std::move(onDone), device);
    }
    bool inProcess() const override { return false; }

private:
    std::unique_ptr<midi::Backend> device_;
};

} // namespace qel::test
