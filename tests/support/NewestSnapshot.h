#pragma once

// The newest snapshot folder of a backup folder, for tests that look inside
// what a backup wrote.

#include <filesystem>
#include <string>

namespace qel::test {

// The snapshot folder with the greatest name (names are times), or
// "FOLDER/(no snapshot)" when there is none.
inline std::string newestSnapshot(const std::string& folder) {
    namespace fs = std::filesystem;
    std::string newest;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        std::error_code ignored;
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored) && !name.empty() &&
            name.front() != '.' && name > newest)
            newest = name;
    }
    return folder + "/" + (newest.empty() ? "(no snapshot)" : newest);
}

} // namespace qel::test
