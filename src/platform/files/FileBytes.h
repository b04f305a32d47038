#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qel::platform {

// A regular file opened for reading raw bytes, read in ranges that must lie
// inside it. Nothing is ever read or allocated beyond the file's size as it
// was when the file was opened. A FIFO, a device, a folder or a socket is
// refused at once, never waited on: opening a FIFO for reading would block
// until a writer comes, and such files have no size to check ranges against.
class FileBytes {
public:
    // Opens `path` for reading. Use isOpen() to learn whether that worked and
    // failureText() for why not. A symbolic link to a regular file is followed.
    explicit FileBytes(const std::string& path);

    // Whether the file could be opened.
    bool isOpen() const { return file_ != nullptr; }

    // Whether the path names something other than a regular file.
    bool isNotRegular() const { return notRegular_; }

    // Why the file could not be opened, naming its path: "Not a regular file:
    // PATH" for a FIFO, device, folder or socket, otherwise "Can't open the
    // file: PATH". Empty when it is open.
    std::string failureText() const;

    // The file's size in bytes when it was opened (0 when not open).
    std::uint64_t size() const { return size_; }

    // Whether the range [offset, offset + count) lies inside the file.
    bool contains(std::uint64_t offset, std::uint64_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }

    // Replaces `out` by the `count` bytes at `offset`. Returns false, leaving
    // `out` empty, when the range is not inside the file or the read fails.
    bool read(std::uint64_t offset, std::uint64_t count, std::vector<std::uint8_t>& out);

    // Appends the `count` bytes at `offset` to `out`; false as for read().
    bool append(std::uint64_t offset, std::uint64_t count, std::vector<std::uint8_t>& out);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::string path_;
    std::unique_ptr<std::FILE, Closer> file_;
    std::uint64_t size_ = 0;
    bool notRegular_ = false;
};

// The whole content of the regular file at `path`, or nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path);

// The size of the regular file at `path`, or nothing when it cannot be opened.
std::optional<std::uint64_t> fileSize(const std::string& path);

} // namespace qel::platform
