#include "platform/files/DosFileTime.h"

#include <sys/stat.h>

#include <algorithm>

namespace qel::platform {

std::uint32_t packDosDateTime(const std::tm& local) {
    const int year = local.tm_year + 1900;
    if (year < 1980)
        return (1u << 5 | 1u) << 16; // 1980-01-01 00:00:00
    if (year > 2107)
        return (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    const std::uint32_t date = static_cast<std::uint32_t>(year - 1980) << 9 |
                               static_cast<std::uint32_t>(local.tm_mon + 1) << 5 |
                               static_cast<std::uint32_t>(local.tm_mday);
    // A leap second (60) is kept within the 5-bit field.
    const int seconds = std::min(local.tm_sec, 59);
    const std::uint32_t time = static_cast<std::uint32_t>(local.tm_hour) << 11 |
                               static_cast<std::uint32_t>(local.tm_min) << 5 |
                               static_cast<std::uint32_t>(seconds / 2);
    return date << 16 | time;
}

std::uint32_t dosFileTime(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return noDosFileTime;
    std::tm local{};
    const std::time_t modified = status.st_mtime;
#ifdef _WIN32
    if (localtime_s(&local, &modified) != 0)
        return noDosFileTime;
#else
    if (localtime_r(&modified, &local) == nullptr)
        return noDosFileTime;
#endif
    return packDosDateTime(local);
}

} // namespace qel::platform
