#include "platform/files/AtomicFileWriter.h"

#include "platform/files/TemporaryFiles.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qel::platform {

AtomicFileWriter::AtomicFileWriter(std::string target) : target_(std::move(target)) {
    fd_ = createTemporaryBeside(target_, temporary_);
    if (fd_ < 0)
        return;
    // A new file gets the mode the user's umask gives it; a replaced one keeps
    // the mode it had.
    struct stat status {};
    if (::stat(target_.c_str(), &status) == 0)
        ::fchmod(fd_, status.st_mode & 07777);
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
