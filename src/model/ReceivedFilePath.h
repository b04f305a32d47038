#pragma once

// Where a received item is saved, so that two different items never share a
// file: the file of its safe name when that is free or already holds the same
// item (same type and name: a repeated receive replaces it), otherwise the
// first free "<name> (2).vdf", "<name> (3).vdf", ...

#include "model/VdfData.h"

#include <string>

namespace qel {

// The path `received` (built from a keyboard item, with the path of its safe
// name) is to be saved at. Throws Exception when a thousand names are taken.
std::string receivedFilePath(const VdfData& received);

// The name a file name stands for without the " (2)" that receivedFilePath()
// adds: "DEMO (2)" gives "DEMO"; other names are returned unchanged.
std::string withoutCopyNumber(const std::string& stem);

} // namespace qel
