#include "model/MidiError.h"

#include "core/Exception.h"
#include "link/QelMidiDialog.h"

namespace qel {

void checkMidiError(const MidiDialog& dialog) {
    const std::int32_t code = dialog.getErrorCode();
    if (code == 0)
        return;
    // A cancel is the user's own choice, not a failure of the step it ended.
    if (code == dialogError::cancelled)
        throw Exception(dialog.getErrorText(code));
    throw Exception(dialog.getErrorText(code), dialog.getErrorStep());
}

} // namespace qel
