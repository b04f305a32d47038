#pragma once

// The IQelMidiDialog the rest of the program holds: owns one TQelMidiDialog and
// forwards every operation to it unchanged.

#include "link/IQelMidiDialog.h"
#include "link/TQelMidiDialog.h"

#include <memory>

namespace qel {

class QelMidiDialogDelegator : public IQelMidiDialog {
public:
    // Creates the dialog (opening its ports) in `environment`, with the
    // defaults of MidiDialogEnvironment for what it leaves empty.
    explicit QelMidiDialogDelegator(const MidiDialogEnvironment& environment);
    ~QelMidiDialogDelegator() override;

    void BeginCommunication() override;
    std::uint16_t GetModel() override;
    void SendCommand(std::uint16_t category, std::uint16_t number, const ByteVector& index,
                     std::uint16_t parameter, std::int32_t value) override;
    void RequestValue(std::uint16_t category, std::uint16_t number, const ByteVector& index,
                      std::uint16_t parameter, std::int32_t& value) override;
    void SendData(std::uint16_t category, std::uint16_t number, const ByteVector& data) override;
    std::size_t ReceiveData(std::uint16_t category, std::uint16_t number,
                            std::span<std::uint8_t> destination) override;
    std::int32_t GetDataSize(std::uint16_t category, std::uint16_t number) override;
    std::string GetDataName(std::uint16_t category, std::uint16_t number) override;
    void SendDataName(std::uint16_t category, std::uint16_t number,
                      const std::string& name) override;
    void SetShowProgress(bool show) override;
    bool GetShowProgress() const override;
    void SetCaption(const std::string& text) override;
    std::int32_t GetErrorCode() const override;
    std::string GetErrorText(std::int32_t code) const override;
    void SetStep(const std::string& step) override;
    std::string GetErrorStep() const override;
    bool cancelRequested() const override;
    void setDeadline(std::chrono::steady_clock::time_point deadline) override;

    // True while an operation waits for the keyboard.
    bool waiting() const { return dialog_->waiting(); }

private:
    std::unique_ptr<TQelMidiDialog> dialog_;
};

} // namespace qel
