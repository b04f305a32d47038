#include "model/CurrentMidiDialog.h"

#include "core/Exception.h"
#include "link/TQelMidiDialog.h"

namespace qel {
namespace {
IQelMidiDialog* openDialog = nullptr;
} // namespace

IQelMidiDialog* currentMidiDialog() {
    return openDialog;
}

void setCurrentMidiDialog(IQelMidiDialog* dialog) {
    openDialog = dialog;
}

IQelMidiDialog& requireMidiDialog() {
    if (openDialog == nullptr)
        throw Exception("The MIDI connection to the keyboard is not open");
    return *openDialog;
}

void checkMidiError(const IQelMidiDialog& dialog) {
    const std::int32_t code = dialog.GetErrorCode();
    if (code == 0)
        return;
    // A cancel is the user's own choice, not a failure of the step it ended.
    if (code == dialogError::cancelled)
        throw Exception(dialog.GetErrorText(code));
    throw Exception(dialog.GetErrorText(code), dialog.GetErrorStep());
}

} // namespace qel
