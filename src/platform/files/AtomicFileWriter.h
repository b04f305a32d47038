#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qel::platform {

// Writes a file whole or not at all. The bytes go to a new temporary file in
// the target's folder (createTemporaryBeside(): never an existing file, never
// through a link); commit() renames it over the target only when every byte
// was written and flushed. Until then, and whenever anything fails, the
// target keeps its earlier content. An uncommitted temporary file is removed
// by the destructor; one that a killed process left behind is removed by
// removeLeftoverTemporaries(). A new target gets mode 0666 less the umask, a
// replaced one keeps its mode.
class AtomicFileWriter {
public:
    // Creates the temporary file next to `target`. Use isOpen() to learn
    // whether that worked (the folder may be missing or read-only).
    explicit AtomicFileWriter(std::string target);
    ~AtomicFileWriter();

    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Whether the temporary file exists and no write has failed.
    bool isOpen() const { return fd_ >= 0 && !failed_; }

    // Appends bytes. Returns false (and keeps failing) once a write fails.
    bool write(const std::uint8_t* bytes, std::size_t count);
    bool write(const std::vector<std::uint8_t>& bytes) { return write(bytes.data(), bytes.size()); }

    // Flushes and closes the temporary file and renames it over the target.
    // Returns false when any step failed; the target is then unchanged.
    bool commit();

    // The system's text for the first step that failed ("No space left on
    // device", "Permission denied", "File too large"); empty while nothing
    // has failed.
    std::string errorText() const;

    // The message for a failed write: "Can't create the file: TARGET", with
    // errorText() after it in parentheses when there is one.
    std::string failureText() const;

private:
    void discard();
    // Keeps errno as the reason, unless an earlier failure gave one already.
    void noteFailure();

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    bool failed_ = false;
    int error_ = 0;
};

} // namespace qel::platform
