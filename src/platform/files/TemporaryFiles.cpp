#include "platform/files/TemporaryFiles.h"

#include "platform/files/ProcessInfo.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <signal.h>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace qel::platform {
namespace {

constexpr std::string_view namePrefix = ".~qel-";
constexpr std::string_view nameSuffix = ".tmp";
constexpr std::string_view folderPrefix = "qel-";
constexpr std::size_t randomLength = 6;
constexpr std::string_view letters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool isLetterOrDigit(char c) {
    return letters.find(c) != std::string_view::npos;
}

// Whether the process `id` is known to have ended. A process of another user
// (EPERM) still runs; only "no such process" counts as ended.
bool hasEnded(unsigned long id) {
    if (id == 0 || id > static_cast<unsigned long>(INT_MAX))
        return false; // 0 and negative ids would address process groups
    return ::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH;
}

// Whether what process `id` left can go: that process has ended, and is not this one.
bool isLeftOver(unsigned long id) {
    return id != currentProcessId() && hasEnded(id);
}

// Reads "<process id>-<randomLength letters or digits>", all of `text`.
bool parseOwnedName(std::string_view text, unsigned long& processId) {
    if (text.size() < 2 + randomLength)
        return false;
    const std::size_t dash = text.size() - randomLength - 1;
    if (text[dash] != '-' || dash == 0 || dash > 10)
        return false;
    unsigned long id = 0;
    for (char c : text.substr(0, dash)) {
        if (c < '0' || c > '9')
            return false;
        id = id * 10 + static_cast<unsigned long>(c - '0');
    }
    for (char c : text.substr(dash + 1))
        if (!isLetterOrDigit(c))
            return false;
    processId = id;
    return true;
}

} // namespace

int createTemporaryBeside(const std::string& target, std::string& path) {
    if (target.empty() || target.back() == '/') {
        errno = EINVAL;
        return -1;
    }
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string stem =
        folder + std::string(namePrefix) + std::to_string(currentProcessId()) + "-";
    std::random_device source;
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    // Another file of the same name can only be a coincidence or someone
    // guessing: a few fresh names get past either.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = stem;
        for (std::size_t i = 0; i < randomLength; ++i)
            candidate += letters[pick(source)];
        candidate += nameSuffix;
        const int fd =
            ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            path = std::move(candidate);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1; // errno stays EEXIST
}

bool isTemporaryName(const std::string& name, unsigned long& processId) {
    const std::string_view text(name);
    if (text.size() < namePrefix.size() + nameSuffix.size() ||
        text.substr(0, namePrefix.size()) != namePrefix ||
        text.substr(text.size() - nameSuffix.size()) != nameSuffix)
        return false;
    return parseOwnedName(
        text.substr(namePrefix.size(), text.size() - namePrefix.size() - nameSuffix.size()),
        processId);
}

bool isPrivateFolderName(const std::string& name, unsigned long& processId) {
    const std::string_view text(name);
    return text.substr(0, folderPrefix.size()) == folderPrefix &&
           parseOwnedName(text.substr(folderPrefix.size()), processId);
}

int removeLeftoverTemporaries(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::directory_iterator entries(folder.empty() ? fs::path(".") : fs::path(folder), error);
    if (error)
        return 0;
    int removed = 0;
    for (const fs::directory_entry& entry : entries) {
        unsigned long id = 0;
        if (!isTemporaryName(entry.path().filename().string(), id))
            continue;
        std::error_code ignored;
        // Only what the writer makes: a regular file, never a link someone put there.
        if (!entry.is_regular_file(ignored) || entry.is_symlink(ignored))
            continue;
        if (!isLeftOver(id))
            continue;
        if (fs::remove(entry.path(), ignored))
            ++removed;
    }
    return removed;
}

int removeLeftoverPrivateFolders(const std::string& parent) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::directory_iterator entries(parent.empty() ? fs::path(".") : fs::path(parent), error);
    if (error)
        return 0;
    int removed = 0;
    for (const fs::directory_entry& entry : entries) {
        unsigned long id = 0;
        if (!isPrivateFolderName(entry.path().filename().string(), id) || !isLeftOver(id))
            continue;
        // Only a real folder of this user, never a link someone put there
        // nor another user's folder; in a shared temporary folder with the
        // sticky bit nobody else can swap it for something else afterwards.
        struct stat status {};
        if (::lstat(entry.path().c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
            status.st_uid != ::geteuid())
            continue;
        std::error_code ignored;
        // remove_all deletes links inside it themselves, never what they point to.
        if (fs::remove_all(entry.path(), ignored) > 0 && !ignored)
            ++removed;
    }
    return removed;
}

PrivateTemporaryFolder::PrivateTemporaryFolder() {
    std::string pattern = temporaryFolder() + std::string(folderPrefix) +
                          std::to_string(currentProcessId()) + "-XXXXXX";
    // mkdtemp creates the folder with mode 0700 and fails rather than reuse a name.
    if (::mkdtemp(pattern.data()) == nullptr) {
        error_ = std::generic_category().message(errno);
        return;
    }
    path_ = pattern + "/";
}

PrivateTemporaryFolder::~PrivateTemporaryFolder() {
    if (path_.empty())
        return;
    std::error_code ignored;
    // remove_all deletes links themselves, never what they point to.
    std::filesystem::remove_all(path_, ignored);
}

} // namespace qel::platform
