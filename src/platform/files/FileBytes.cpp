#include "platform/files/FileBytes.h"

#include <sys/stat.h>

namespace qel::platform {

FileBytes::FileBytes(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
    if (!file_)
        return;
    struct stat status {};
    // Only regular files have a meaningful size; a folder opened for reading
    // on some systems is treated as unreadable.
    if (::fstat(fileno(file_.get()), &status) != 0 || !S_ISREG(status.st_mode)) {
        file_.reset();
        return;
    }
    size_ = static_cast<std::uint64_t>(status.st_size);
}

bool FileBytes::read(std::uint64_t offset, std::uint64_t count, std::vector<std::uint8_t>& out) {
    out.clear();
    if (!append(offset, count, out)) {
        out.clear();
        return false;
    }
    return true;
}

bool FileBytes::append(std::uint64_t offset, std::uint64_t count, std::vector<std::uint8_t>& out) {
    if (!file_ || !contains(offset, count))
        return false;
    if (count == 0)
        return true;
    if (::fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    const std::size_t start = out.size();
    out.resize(start + count);
    const std::size_t got = std::fread(out.data() + start, 1, count, file_.get());
    if (got != count) {
        // The file shrank since it was opened: give back what was not read.
        out.resize(start);
        return false;
    }
    return true;
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
    FileBytes file(path);
    std::vector<std::uint8_t> bytes;
    if (!file.isOpen() || !file.read(0, file.size(), bytes))
        return std::nullopt;
    return bytes;
}

std::optional<std::uint64_t> fileSize(const std::string& path) {
    FileBytes file(path);
    if (!file.isOpen())
        return std::nullopt;
    return file.size();
}

} // namespace qel::platform
