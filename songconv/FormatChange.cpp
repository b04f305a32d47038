#include "songconv/FormatChange.h"

#include "songconv/SmfReader.h"
#include "songconv/SmfWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <random>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// A failed step: its result code and the reason for the caller.
struct Failure {
    int code;
    std::string reason;
};

std::string systemText(int error) {
    return std::generic_category().message(error);
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now; false when closing reports an error (a write that failed late).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

std::vector<std::uint8_t> readSource(const char* path) {
    // Not blocking: a FIFO put where a song should be must not hang the caller.
    Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0)
        throw Failure{FormatChangeUnreadable, "cannot read it: " + systemText(errno)};
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        throw Failure{FormatChangeUnreadable, "cannot read it: " + systemText(errno)};
    if (!S_ISREG(status.st_mode))
        throw Failure{FormatChangeUnreadable, "not a regular file"};
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw Failure{FormatChangeUnreadable, "cannot read it: " + systemText(errno)};
        if (got == 0)
            return bytes;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

bool writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
    const std::uint8_t* at = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        at += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// Writes the bytes into a new file beside `destination` and renames it there,
// so that nothing is ever written through a file or link that was there.
void writeDestination(const std::string& destination, const std::vector<std::uint8_t>& bytes) {
    static constexpr char letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device source;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = destination + ".";
        for (int i = 0; i < 6; ++i)
            temporary += letters[pick(source)];
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        throw Failure{FormatChangeUnwritable,
                      "cannot write the converted song: " + systemText(errno)};
    Descriptor file(fd);
    int error = 0;
    if (!writeAll(file.get(), bytes))
        error = errno != 0 ? errno : EIO;
    if (!file.close() && error == 0)
        error = errno;
    if (error == 0 && std::rename(temporary.c_str(), destination.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        throw Failure{FormatChangeUnwritable,
                      "cannot write the converted song: " + systemText(error)};
    }
}

void copyReason(std::string_view text, char* reason, size_t reasonSize) {
    if (reason == nullptr || reasonSize == 0)
        return;
    const std::size_t length = std::min(text.size(), reasonSize - 1);
    std::memcpy(reason, text.data(), length);
    reason[length] = '\0';
}

Failure convert(const char* source, const char* destination) {
    if (source == nullptr || destination == nullptr || *source == '\0' || *destination == '\0')
        return {FormatChangeBadArguments, "no source or no destination given"};
    // Nothing may escape through the C interface.
    try {
        const std::vector<std::uint8_t> input = readSource(source);
        std::vector<std::uint8_t> output;
        try {
            output = qel::smf::writeFormat0(qel::smf::readSmf(input));
        } catch (const qel::smf::SmfError& error) {
            return {FormatChangeNotSmf, error.what()};
        }
        writeDestination(destination, output);
        return {FormatChangeDone, ""};
    } catch (const Failure& failure) {
        return failure;
    } catch (const std::exception& error) {
        // Out of memory while reading or building the output.
        return {FormatChangeUnwritable, std::string("cannot convert it: ") + error.what()};
    }
}

} // namespace

extern "C" int FormatChangeWithReason(const char* source, const char* destination, char* reason,
                                      size_t reasonSize) {
    try {
        const Failure result = convert(source, destination);
        copyReason(result.reason, reason, reasonSize);
        return result.code;
    } catch (...) {
        // Only building a reason text can fail here, and only for want of memory.
        copyReason("cannot convert it: out of memory", reason, reasonSize);
        return FormatChangeUnwritable;
    }
}

extern "C" int FormatChange(const char* source, const char* destination) {
    return FormatChangeWithReason(source, destination, nullptr, 0);
}
