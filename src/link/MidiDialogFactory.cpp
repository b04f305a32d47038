#include "link/MidiDialogFactory.h"

#include "link/QelMidiDialog.h"

namespace qel {

std::unique_ptr<MidiDialog> createMidiDialog(const MidiDialogEnvironment& environment) {
    return std::make_unique<QelMidiDialog>(environment.completed());
}

bool destroyMidiDialog(std::unique_ptr<MidiDialog>& dialog) {
    if (dialog && dialog->waiting())
        return false;
    dialog.reset();
    return true;
}

} // namespace qel
