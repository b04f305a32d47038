#pragma once

#include <cstdint>
#include <string>

namespace qel {

// A packed DOS date and time in the system's short date and long time format,
// as the file lists show it; empty when it holds no valid date (a file that
// did not exist).
std::string formatDosDateTime(std::uint32_t packed);

} // namespace qel
