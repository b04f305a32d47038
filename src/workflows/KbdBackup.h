#pragma once

// The whole-keyboard backup and restore, made of the same receive and send
// steps as "Receive" and "Send". The steps here run inside an action the
// DataManager facade started.

#include "workflows/DataManagerState.h"
#include "workflows/KbdListing.h"
#include "workflows/Transfers.h"

#include <string>

namespace qel {

class KbdBackup : KbdSteps {
public:
    KbdBackup(DataManagerState& state, KbdListing& listing, Transfers& transfers)
        : KbdSteps(state), kbdListing_(listing), transfers_(transfers) {}

    // Every non-empty item of types 0 to 8 into a snapshot in `folder` (see
    // DataManager::backupKbd).
    void writeBackup(const std::string& folder);
    // Every item of the backup in `folder` back into its own slot (see
    // DataManager::restoreKbd).
    void restore(const std::string& folder);

private:
    KbdListing& kbdListing_;
    Transfers& transfers_;
};

} // namespace qel
