#include "link/QelMidiDialogDelegator.h"

namespace qel {

QelMidiDialogDelegator::QelMidiDialogDelegator(const MidiDialogEnvironment& environment)
    : dialog_(std::make_unique<TQelMidiDialog>(environment.completed())) {}

QelMidiDialogDelegator::~QelMidiDialogDelegator() = default;

void QelMidiDialogDelegator::BeginCommunication() {
    dialog_->BeginCommunication();
}

std::uint16_t QelMidiDialogDelegator::GetModel() {
    return dialog_->GetModel();
}

void QelMidiDialogDelegator::SendCommand(std::uint16_t category, std::uint16_t number,
                                         const ByteVector& index, std::uint16_t parameter,
                                         std::int32_t value) {
    dialog_->SendCommand(category, number, index, parameter, value);
}

void QelMidiDialogDelegator::RequestValue(std::uint16_t category, std::uint16_t number,
                                          const ByteVector& index, std::uint16_t parameter,
                                          std::int32_t& value) {
    dialog_->RequestValue(category, number, index, parameter, value);
}

void QelMidiDialogDelegator::SendData(std::uint16_t category, std::uint16_t number,
                                      const ByteVector& data) {
    dialog_->SendData(category, number, data);
}

std::size_t QelMidiDialogDelegator::ReceiveData(std::uint16_t category, std::uint16_t number,
                                                std::span<std::uint8_t> destination) {
    return dialog_->ReceiveData(category, number, destination);
}

std::int32_t QelMidiDialogDelegator::GetDataSize(std::uint16_t category, std::uint16_t number) {
    return dialog_->GetDataSize(category, number);
}

std::string QelMidiDialogDelegator::GetDataName(std::uint16_t category, std::uint16_t number) {
    return dialog_->GetDataName(category, number);
}

void QelMidiDialogDelegator::SendDataName(std::uint16_t category, std::uint16_t number,
                                          const std::string& name) {
    dialog_->SendDataName(category, number, name);
}

void QelMidiDialogDelegator::SetShowProgress(bool show) {
    dialog_->SetShowProgress(show);
}

bool QelMidiDialogDelegator::GetShowProgress() const {
    return dialog_->GetShowProgress();
}

void QelMidiDialogDelegator::SetCaption(const std::string& text) {
    dialog_->SetCaption(text);
}

std::int32_t QelMidiDialogDelegator::GetErrorCode() const {
    return dialog_->GetErrorCode();
}

std::string QelMidiDialogDelegator::GetErrorText(std::int32_t code) const {
    return dialog_->GetErrorText(code);
}

void QelMidiDialogDelegator::SetStep(const std::string& step) {
    dialog_->SetStep(step);
}

std::string QelMidiDialogDelegator::GetErrorStep() const {
    return dialog_->GetErrorStep();
}

bool QelMidiDialogDelegator::cancelRequested() const {
    return dialog_->cancelRequested();
}

void QelMidiDialogDelegator::setDeadline(std::chrono::steady_clock::time_point deadline) {
    dialog_->setDeadline(deadline);
}

} // namespace qel
