#include "link/MidiDialogFactory.h"

#include "link/QelMidiDialogDelegator.h"

namespace qel {

std::unique_ptr<MidiDialog> createMidiDialog(const MidiDialogEnvironment& environment) {
    return std::make_unique<QelMidiDialogDelegator>(environment);
}

bool destroyMidiDialog(std::unique_ptr<MidiDialog>& dialog) {
    if (auto* delegator = dynamic_cast<QelMidiDialogDelegator*>(dialog.get());
        delegator && delegator->waiting())
        return false;
    dialog.reset();
    return true;
}

} // namespace qel
