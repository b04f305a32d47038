#include "link/QelMidiDialogDelegator.h"

namespace qel {

QelMidiDialogDelegator::QelMidiDialogDelegator(const MidiDialogEnvironment& environment)
    : dialog_(std::make_unique<QelMidiDialog>(environment.completed())) {}

QelMidiDialogDelegator::~QelMidiDialogDelegator() = default;

void QelMidiDialogDelegator::beginCommunication() {
    dialog_->beginCommunication();
}

std::uint16_t QelMidiDialogDelegator::getModel() {
    return dialog_->getModel();
}

void QelMidiDialogDelegator::sendCommand(std::uint16_t category, std::uint16_t number,
                                         const ByteVector& index, std::uint16_t parameter,
                                         std::int32_t value) {
    dialog_->sendCommand(category, number, index, parameter, value);
}

void QelMidiDialogDelegator::requestValue(std::uint16_t category, std::uint16_t number,
                                          const ByteVector& index, std::uint16_t parameter,
                                          std::int32_t& value) {
    dialog_->requestValue(category, number, index, parameter, value);
}

void QelMidiDialogDelegator::sendData(std::uint16_t category, std::uint16_t number,
                                      const ByteVector& data) {
    dialog_->sendData(category, number, data);
}

std::size_t QelMidiDialogDelegator::receiveData(std::uint16_t category, std::uint16_t number,
                                                std::span<std::uint8_t> destination) {
    return dialog_->receiveData(category, number, destination);
}

std::int32_t QelMidiDialogDelegator::getDataSize(std::uint16_t category, std::uint16_t number) {
    return dialog_->getDataSize(category, number);
}

std::string QelMidiDialogDelegator::getDataName(std::uint16_t category, std::uint16_t number) {
    return dialog_->getDataName(category, number);
}

void QelMidiDialogDelegator::sendDataName(std::uint16_t category, std::uint16_t number,
                                          const std::string& name) {
    dialog_->sendDataName(category, number, name);
}

void QelMidiDialogDelegator::setShowProgress(bool show) {
    dialog_->setShowProgress(show);
}

bool QelMidiDialogDelegator::getShowProgress() const {
    return dialog_->getShowProgress();
}

void QelMidiDialogDelegator::setCaption(const std::string& text) {
    dialog_->setCaption(text);
}

std::int32_t QelMidiDialogDelegator::getErrorCode() const {
    return dialog_->getErrorCode();
}

std::string QelMidiDialogDelegator::getErrorText(std::int32_t code) const {
    return dialog_->getErrorText(code);
}

void QelMidiDialogDelegator::setStep(const std::string& step) {
    dialog_->setStep(step);
}

std::string QelMidiDialogDelegator::getErrorStep() const {
    return dialog_->getErrorStep();
}

bool QelMidiDialogDelegator::cancelRequested() const {
    return dialog_->cancelRequested();
}

void QelMidiDialogDelegator::setDeadline(std::chrono::steady_clock::time_point deadline) {
    dialog_->setDeadline(deadline);
}

} // namespace qel
