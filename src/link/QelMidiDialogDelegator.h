#pragma once

// The MidiDialog the rest of the program holds: owns one QelMidiDialog and
// forwards every operation to it unchanged.

#include "link/MidiDialog.h"
#include "link/QelMidiDialog.h"

#include <memory>

namespace qel {

class QelMidiDialogDelegator : public MidiDialog {
public:
    // Creates the dialog (opening its ports) in `environment`, with the
    // defaults of MidiDialogEnvironment for what it leaves empty.
    explicit QelMidiDialogDelegator(const MidiDialogEnvironment& environment);
    ~QelMidiDialogDelegator() override;

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
    void setShowProgress(bool show) override;
    bool getShowProgress() const override;
    void setCaption(const std::string& text) override;
    std::int32_t getErrorCode() const override;
    std::string getErrorText(std::int32_t code) const override;
    void setStep(const std::string& step) override;
    std::string getErrorStep() const override;
    bool cancelRequested() const override;
    void setDeadline(std::chrono::steady_clock::time_point deadline) override;

    // True while an operation waits for the keyboard.
    bool waiting() const { return dialog_->waiting(); }

private:
    std::unique_ptr<QelMidiDialog> dialog_;
};

} // namespace qel
