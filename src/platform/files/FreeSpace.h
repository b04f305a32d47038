#pragma once

#include <cstdint>
#include <string>

namespace qel::platform {

// The bytes that the current user may still write on the volume whose root
// (or any folder) is `folder`; -1 when `folder` is not a readable folder of a
// mounted, ready volume (no card in the reader, a path that does not exist).
std::int64_t freeSpace(const std::string& folder);

} // namespace qel::platform
