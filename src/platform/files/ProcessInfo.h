#pragma once

#include <string>

namespace qel::platform {

// The id of the running process.
unsigned long currentProcessId();

// The file name of the running program ("tq7400"); empty when it cannot be learnt.
std::string currentProgramName();

// The system's folder for temporary files, ending with '/'. Falls back to the
// current directory ("./") when the system names none.
std::string temporaryFolder();

} // namespace qel::platform
