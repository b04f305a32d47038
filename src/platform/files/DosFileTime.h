#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace qel::platform {

// The value a DOS-style file-age query gives for a file that does not exist.
inline constexpr std::uint32_t noDosFileTime = 0xFFFFFFFFu;

// Packs a local broken-down time as DOS date (high 16 bits) and time (low 16
// bits): year-1980 in 7 bits, month, day, hour, minute, seconds / 2. Years
// outside 1980..2107 are clamped to the range's ends.
std::uint32_t packDosDateTime(const std::tm& local);

// The modification time of the file at `path`, in local time, packed as DOS
// date and time. Gives noDosFileTime when the file does not exist.
std::uint32_t dosFileTime(const std::string& path);

} // namespace qel::platform
