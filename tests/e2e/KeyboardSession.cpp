#include "e2e/KeyboardSession.h"

#include "core/Exception.h"
#include "link/MidiDialogFactory.h"
#include "support/VirtualKeyboardBench.h"

#include <vector>

namespace qel::test {

KeyboardSession::KeyboardSession() : simulator_(std::make_shared<kbdsim::KeyboardSimulator>()) {
    if (!folder_.isValid())
        throw Exception("no temporary folder");
    directory_ = folder_.path().toStdString() + "/";

    dialog_ = createMidiDialog(test::VirtualKeyboardBench({}, simulator_).environment());
    if (dialog_->getErrorCode() != 0)
        throw Exception("the virtual keyboard did not open: " +
                        dialog_->getErrorText(dialog_->getErrorCode()));
}

KeyboardSession::~KeyboardSession() {
    destroyMidiDialog(dialog_);
}

} // namespace qel::test
