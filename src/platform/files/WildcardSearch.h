#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qel::platform {

// Whether `name` matches `pattern`, where '*' stands for any run of characters
// and '?' for one. Letters compare without regard to case (ASCII), as the
// Windows file search does: "*.vdf" matches "A.VDF".
bool wildcardMatch(std::string_view pattern, std::string_view name);

// The full paths of the regular files directly in `folder` whose names match
// `pattern`, sorted by name. `folder` may end with '/' or not. A folder that
// does not exist or cannot be read gives an empty list.
std::vector<std::string> findFiles(const std::string& folder, std::string_view pattern);

} // namespace qel::platform
