#include "platform/files/DeviceLock.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qel::platform {
namespace {

// The most of a lock file that is read: a name and a process id fit with room to spare.
constexpr std::size_t holderTextLimit = 256;
constexpr std::size_t holderNameLimit = 64;

std::string systemText(int error) {
    return std::strerror(error);
}

// `text` cut to `limit` bytes, every byte outside printable ASCII replaced by
// '?': a lock file may hold anything, and its text ends up in a message shown
// on a terminal or in a window.
std::string printable(std::string_view text, std::size_t limit) {
    std::string kept;
    for (const char c : text.substr(0, limit))
        kept += (c >= 0x20 && c < 0x7F) ? c : '?';
    return kept;
}

// `folder` without trailing slashes ("/" stays "/"), so that O_NOFOLLOW and
// lstat see a symbolic link as the link itself.
std::string withoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

// Opens `folder` (made with mode 0700 when missing) after the checks of
// preparePrivateFolder(). The checks run on the open folder itself, so the
// folder cannot be swapped between check and use. Returns the descriptor, or
// -1 with `problem` set.
int openPrivateFolder(const std::string& folder, std::string& problem) {
    const std::string path = withoutTrailingSlash(folder);
    if (path.empty()) {
        problem = "No folder for locks is named";
        return -1;
    }
    const std::string intro = "The folder " + path;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = intro + " could not be created: " + systemText(errno);
        return -1;
    }
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) {
        const int error = errno;
        struct stat status {};
        if (::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode))
            problem = intro + " is a symbolic link";
        else
            problem = intro + " could not be opened: " + systemText(error);
        return -1;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        problem = intro + " could not be examined: " + systemText(errno);
    else if (status.st_uid != ::geteuid())
        problem = intro + " belongs to another user";
    else if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        problem = intro + " may be written by other users";
    if (!problem.empty()) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

// The unsigned decimal number that is all of `text`, or 0.
unsigned long numberOf(std::string_view text) {
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return value;
}

} // namespace

std::string defaultDeviceLockFolder() {
    // Only absolute paths count: a relative one would depend on the working folder.
    for (const char* variable : {"QEL_DEVICE_LOCK_DIR", "XDG_RUNTIME_DIR"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] == '/')
            return withoutTrailingSlash(value) + "/";
    }
    return temporaryFolder() + "tq7400-" + std::to_string(::geteuid()) + "/";
}

std::string preparePrivateFolder(const std::string& folder) {
    std::string problem;
    const int descriptor = openPrivateFolder(folder, problem);
    if (descriptor >= 0)
        ::close(descriptor);
    return problem;
}

std::string deviceLockFileName(const std::string& resource) {
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(resource), QCryptographicHash::Sha256);
    return "tq7400-device-" + hash.toHex().toStdString() + ".lock";
}

DeviceLock::DeviceLock(const std::string& folder, const std::string& resource,
                       const std::string& holderName) {
    const std::string name = deviceLockFileName(resource);
    path_ = withoutTrailingSlash(folder) + "/" + name;
    const int folderDescriptor = openPrivateFolder(folder, problem_);
    if (folderDescriptor < 0)
        return;
    // O_NOFOLLOW: never a file a link points at; O_NONBLOCK: a FIFO put in
    // its place cannot hold the open.
    descriptor_ = ::openat(folderDescriptor, name.c_str(),
                           O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    const int openError = errno;
    ::close(folderDescriptor);
    if (descriptor_ < 0) {
        problem_ = "The lock file " + path_ + " could not be opened: " + systemText(openError);
        return;
    }
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) {
        problem_ = "The lock file " + path_ + " is not a plain file";
        ::close(descriptor_);
        descriptor_ = -1;
        return;
    }
    int result = 0;
    do
        result = ::flock(descriptor_, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0) {
        state_ = State::Held;
        writeHolder(holderName);
        return;
    }
    if (errno == EWOULDBLOCK) {
        state_ = State::InUse;
        readHolder();
    } else {
        problem_ = "The lock file " + path_ + " could not be locked: " + systemText(errno);
    }
    ::close(descriptor_);
    descriptor_ = -1;
}

DeviceLock::~DeviceLock() {
    if (descriptor_ < 0)
        return;
    // The holder's text goes first: a newcomer refused in the moment before
    // the next holder writes its own must not name a program that has gone.
    if (state_ == State::Held && ::ftruncate(descriptor_, 0) != 0) {
        // A text left behind only names a holder that has gone; the close
        // still releases the lock.
    }
    ::close(descriptor_); // releases the lock
}

void DeviceLock::writeHolder(const std::string& name) {
    // A holder that cannot write its text still holds the lock; a refused
    // program then names no holder.
    const std::string text =
        printable(name, holderNameLimit) + "\n" + std::to_string(currentProcessId()) + "\n";
    if (::ftruncate(descriptor_, 0) != 0)
        return;
    if (::pwrite(descriptor_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
        // A part of the text would name no one: better none at all.
        static_cast<void>(::ftruncate(descriptor_, 0) == 0);
}

void DeviceLock::readHolder() {
    char buffer[holderTextLimit];
    const ssize_t count = ::pread(descriptor_, buffer, sizeof buffer, 0);
    if (count <= 0)
        return;
    const std::string_view text(buffer, static_cast<std::size_t>(count));
    const std::size_t nameEnd = text.find('\n');
    if (nameEnd == std::string_view::npos)
        return; // cut short while it was being written
    holderName_ = printable(text.substr(0, nameEnd), holderNameLimit);
    const std::string_view rest = text.substr(nameEnd + 1);
    const std::size_t idEnd = rest.find('\n');
    if (idEnd != std::string_view::npos)
        holderProcessId_ = numberOf(rest.substr(0, idEnd));
}

} // namespace qel::platform
