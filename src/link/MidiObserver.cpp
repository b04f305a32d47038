#include "link/MidiObserver.h"

namespace qel {

void MidiObserver::notify() {
    if (!callback_)
        return;
    // A copy: the callback usually clears itself, which must not destroy the
    // function while it runs.
    const Callback callback = callback_;
    callback();
}

} // namespace qel
