#pragma once

// Reading one item file of a backup snapshot, ready to be sent back to the
// keyboard. The backup reads every file it writes with this same code before
// it records the file, so a snapshot holds only files that restore can send.

#include "model/VdfData.h"
#include "workflows/BackupManifest.h"

#include <memory>
#include <string>

namespace qel {

// Reads the item of `entry` from `path`, loaded for sending. An SMF goes back
// exactly as the keyboard held it: its bytes are never read as a song. Items
// whose name travels apart from their data (rhythms, SMF) carry the raw name
// bytes of the entry. Throws Exception "Can't restore FILE (USER TONE 3
// "NAME"): reason" when the file cannot be read or does not hold that item.
std::unique_ptr<VdfData> readBackupItem(const std::string& path, const BackupEntry& entry);

// "USER RHYTHM 140 "DEMO RH1"", the way backup and restore name an item;
// the name's control bytes escaped, as terminalName() does.
std::string describeBackupEntry(const BackupEntry& entry);

} // namespace qel
