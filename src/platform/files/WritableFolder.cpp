#include "platform/files/WritableFolder.h"

#include "core/Exception.h"
#include "platform/files/TemporaryFiles.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace qel::platform {

std::optional<std::string> writableFolderError(const std::string& folder) {
    const std::string shown = folder.empty() ? "." : folder;
    const auto failure = [&shown](int error) {
        return "Can't create the file in " + shown + " (" + std::generic_category().message(error) +
               ")";
    };
    std::error_code made;
    std::filesystem::create_directories(shown, made);
    // create_directories() says nothing when the path is an existing file;
    // the probe below then fails with "Not a directory".
    if (made && made != std::errc::file_exists)
        return failure(made.value());
    std::string probe;
    const std::string stem = (shown.back() == '/' ? shown : shown + "/") + "probe";
    const int fd = createTemporaryBeside(stem, probe);
    if (fd < 0)
        return failure(errno);
    // Only the write permission is being tested: a probe that cannot be
    // closed or removed again would still have been created.
    ::close(fd);
    ::unlink(probe.c_str());
    return std::nullopt;
}

void requireWritableFolder(const std::string& folder) {
    if (const std::optional<std::string> error = writableFolderError(folder))
        throw Exception(*error);
}

} // namespace qel::platform
