#include "model/VdfSongConversion.h"

#include "core/Exception.h"
#include "platform/files/FileBytes.h"
#include "platform/files/ProcessInfo.h"
#include "songconv/FormatChange.h"

#include <cstdio>

namespace qel {
namespace {

// Removes the temporary file when the conversion ends, however it ends.
class TemporaryFileRemover {
public:
    explicit TemporaryFileRemover(const std::string& path) : path_(path) {}
    ~TemporaryFileRemover() { std::remove(path_.c_str()); }
    TemporaryFileRemover(const TemporaryFileRemover&) = delete;
    TemporaryFileRemover& operator=(const TemporaryFileRemover&) = delete;

private:
    const std::string& path_;
};

} // namespace

std::string temporarySongPath() {
    return platform::temporaryFolder() + "tmp" + std::to_string(platform::currentProcessId()) +
           ".mid";
}

ByteVector convertSong(const std::string& source) {
    const std::string temporary = temporarySongPath();
    // A file left by an earlier run must not pass for this conversion's result.
    std::remove(temporary.c_str());
    TemporaryFileRemover remover(temporary);
    // The result code is not needed: a failed conversion leaves no file.
    FormatChange(source.c_str(), temporary.c_str());
    auto bytes = platform::readWholeFile(temporary);
    if (!bytes)
        throw Exception("Can't open the file: " + temporary);
    return std::move(*bytes);
}

} // namespace qel
