#include "platform/files/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qel::platform {

FileBytes::FileBytes(const std::string& path) : path_(path) {
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, so
    // that fstat() below can refuse it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat status {};
    if (fd < 0) {
        // Some kinds cannot be opened at all (a socket): still no regular file.
        notRegular_ = ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
        return;
    }
    if (::fstat(fd, &status) != 0) {
        ::close(fd);
        return;
    }
    if (!S_ISREG(status.st_mode)) {
        notRegular_ = true;
        ::close(fd);
        return;
    }
    // Reads of a regular file never wait; the flag is cleared all the same,
    // so that the stream sees the ordinary blocking descriptor.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file_.reset(::fdopen(fd, "rb"));
    if (!file_) {
        ::close(fd);
        return;
    }
    size_ = static_cast<std::uint64_t>(status.st_size);
}

std::string FileBytes::failureText() const {
    if (isOpen())
        return "";
    if (notRegular_)
        return "Not a regular file: " + path_;
    return "Can't open the file: " + path_;
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
