#pragma once

#include <string>

namespace qel {

// `name` made safe as a file name: path separators ('/' and '\\'), NUL and the
// other control bytes become '_', so a name taken from received bytes always
// names a file inside the folder it is put in.
std::string safeFileName(const std::string& name);

} // namespace qel
