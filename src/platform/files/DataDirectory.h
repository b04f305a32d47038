#pragma once

// The folder proposed for the user's data files when none is set: "Data/"
// beside the program when that can be created and written and the program is
// not installed in a system folder (/usr, /bin, /sbin, /lib, /opt), otherwise
// "TQ-7400 Data/" in the user's documents folder. Always ends with '/'.
// Creates nothing. Needs a QCoreApplication (for the program's folder).

#include <string>

namespace qel::platform {

std::string defaultDataDirectory();

// The same rule for a program in `programFolder` and a documents folder
// `documentsFolder` (tests).
std::string defaultDataDirectory(const std::string& programFolder,
                                 const std::string& documentsFolder);

} // namespace qel::platform
