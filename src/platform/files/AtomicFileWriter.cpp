#include "platform/files/AtomicFileWriter.h"

#include "platform/files/TemporaryFiles.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace qel::platform {

AtomicFileWriter::AtomicFileWriter(std::string target) : target_(std::move(target)) {
    fd_ = createTemporaryBeside(target_, temporary_);
    if (fd_ < 0) {
        noteFailure();
        return;
    }
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
            // A write that takes nothing without an error can only mean
            // that the volume has no room left.
            if (written == 0)
                errno = ENOSPC;
            noteFailure();
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
    // Each step keeps its own reason: a full disk often shows only when the
    // data are flushed.
    const bool synced = ::fsync(fd_) == 0;
    if (!synced)
        noteFailure();
    const bool closed = ::close(fd_) == 0;
    if (!closed)
        noteFailure();
    fd_ = -1;
    if (!synced || !closed || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        noteFailure();
        discard();
        return false;
    }
    temporary_.clear();
    return true;
}

std::string AtomicFileWriter::errorText() const {
    return error_ == 0 ? std::string() : std::generic_category().message(error_);
}

std::string AtomicFileWriter::failureText() const {
    const std::string reason = errorText();
    return "Can't create the file: " + target_ + (reason.empty() ? "" : " (" + reason + ")");
}

void AtomicFileWriter::noteFailure() {
    if (error_ == 0)
        error_ = errno;
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
