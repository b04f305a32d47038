#pragma once

// Whether files can be created in a folder, learnt before any work whose
// result would have to be saved there.

#include <optional>
#include <string>

namespace qel::platform {

// Makes sure that a new file can be created in `folder`: creates the folder
// and any missing parents, then creates and removes a probe file in it (the
// kind createTemporaryBeside() makes, so that a probe a killed process left
// behind is cleaned up like any interrupted write). An empty `folder` is the
// working directory. Returns nothing when it can; otherwise "Can't create the
// file in FOLDER (REASON)" with the system's reason, such as "Permission
// denied", "Not a directory" or "No space left on device".
std::optional<std::string> writableFolderError(const std::string& folder);

// As writableFolderError(), but throws qel::Exception with the message.
void requireWritableFolder(const std::string& folder);

} // namespace qel::platform
