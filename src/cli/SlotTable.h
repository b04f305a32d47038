#pragma once

// The keyboard's slots of one type as `tq7400 list` prints them: one line a
// slot with its number, name and size, in columns.

#include "model/KbdData.h"

#include <string>

namespace qel::cli {

// The lines for `slots`, each "  <no, 4 wide>  <name>  <size, 8 wide>\n".
// Names are escaped for the terminal (see NameText.h) and padded by the
// characters shown, to the widest name of the list but at least 8, so that
// the columns line up whatever bytes the names hold.
std::string slotTable(const KbdDataAttributeList& slots);

} // namespace qel::cli
