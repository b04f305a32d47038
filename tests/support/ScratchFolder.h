#pragma once

// A fresh folder for one test's files, removed with everything in it when the
// test ends.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace qel::test {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qel-files-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a scratch folder");
        path_ = pattern + "/";
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder, ending with '/'.
    const std::string& path() const { return path_; }
    // A path in the folder.
    std::string operator/(const std::string& name) const { return path_ + name; }

    // The names of the files now in the folder, sorted.
    std::vector<std::string> names() const { return fileNames(path_); }

    // The names of the entries now in `folder`, sorted; none when it does not exist.
    static std::vector<std::string> fileNames(const std::string& folder) {
        std::vector<std::string> found;
        std::error_code missing;
        for (const auto& entry : std::filesystem::directory_iterator(folder, missing))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    std::string path_;
};

} // namespace qel::test
