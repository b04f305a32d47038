#include "platform/files/AtomicFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace qel::platform {

AtomicFileWriter::AtomicFileWriter(std::string target) : target_(std::move(target)) {
    if (target_.empty() || target_.back() == '/')
        return; // no file name: nothing can be created
    std::string pattern = target_ + ".XXXXXX";
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0)
        return;
    temporary_ = pattern;
    // mkstemp makes the file private to its owner; give the new file the mode
    // of the file it replaces, or the usual mode of a new document.
    struct stat status {};
    const mode_t mode = ::stat(target_.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0644;
    ::fchmod(fd_, mode);
}

AtomicFileWriter::~AtomicFileWriter() {
    discard();
}

bool AtomicFileWriter::write(const std::uint8_t* bytes, std::size_t count) {
    if (!isOpen())
        return false;
    while (count > 0) {
        const ssize_t written = ::write(fd_, bytes, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            failed_ = true;
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

bool AtomicFileWriter::commit() {
    if (!isOpen()) {
        discard();
        return false;
    }
    const bool synced = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closed || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void AtomicFileWriter::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        std::remove(temporary_.c_str());
        temporary_.clear();
    }
}

} // namespace qel::platform
