#pragma once

// Process-wide settings that a test changes for its own duration and puts
// back afterwards: the temporary folder (TMPDIR) and the umask. Tests run one
// per process under CTest, but all in one process when a test binary is run
// by hand, so each change is undone.

#include <cstdlib>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace qel::test {

// Points TMPDIR, which the system's temporary folder follows, at `folder`.
class TemporaryFolderOverride {
public:
    explicit TemporaryFolderOverride(const std::string& folder) {
        if (const char* old = std::getenv("TMPDIR"))
            old_ = old;
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~TemporaryFolderOverride() {
        if (old_)
            ::setenv("TMPDIR", old_->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    TemporaryFolderOverride(const TemporaryFolderOverride&) = delete;
    TemporaryFolderOverride& operator=(const TemporaryFolderOverride&) = delete;

private:
    std::optional<std::string> old_;
};

// Sets the umask.
class UmaskOverride {
public:
    explicit UmaskOverride(mode_t mask) : old_(::umask(mask)) {}
    ~UmaskOverride() { ::umask(old_); }
    UmaskOverride(const UmaskOverride&) = delete;
    UmaskOverride& operator=(const UmaskOverride&) = delete;

private:
    mode_t old_;
};

// The permission bits of the file at `path` (0 when it cannot be examined).
inline mode_t permissionsOf(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

} // namespace qel::test
