#include "model/ReceivedFilePath.h"

#include "core/Exception.h"

#include <filesystem>
#include <system_error>

namespace qel {

namespace {

constexpr int lastCopyNumber = 999;

// Whether the file at `path` holds the item `received` would save: then a
// new receive replaces it. Anything that is not such an item is kept.
bool holdsSameItem(const std::string& path, const VdfData& received) {
    try {
        const VdfData existing(path);
        return existing.type() == received.type() && existing.name() == received.name();
    } catch (const Exception&) {
        return false;
    }
}

std::string numbered(const std::string& path, int n) {
    const std::filesystem::path p(path);
    const std::string extension = p.extension().string();
    return path.substr(0, path.size() - extension.size()) + " (" + std::to_string(n) + ")" +
           extension;
}

} // namespace

std::string receivedFilePath(const VdfData& received) {
    std::string path = received.path();
    for (int n = 2;; ++n) {
        std::error_code error;
        const auto status = std::filesystem::symlink_status(path, error);
        if (status.type() == std::filesystem::file_type::not_found ||
            (status.type() == std::filesystem::file_type::regular && holdsSameItem(path, received)))
            return path;
        if (n > lastCopyNumber)
            throw Exception("Can't create the file: " + received.path() +
                            " (too many files of that name)");
        path = numbered(received.path(), n);
    }
}

std::string withoutCopyNumber(const std::string& stem) {
    const std::size_t open = stem.rfind(" (");
    if (open == std::string::npos || stem.size() < open + 4 || stem.back() != ')')
        return stem;
    const std::string digits = stem.substr(open + 2, stem.size() - open - 3);
    if (digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos ||
        digits.front() == '0' || std::stoi(digits) < 2)
        return stem;
    return stem.substr(0, open);
}

} // namespace qel
