// What the file helpers say about files they cannot use: anything but a
// regular file refused at once when opened for reading, a folder that cannot
// take new files found out before any work, and the system's reason when a
// write fails.

#include "core/Exception.h"
#include "platform/files/AtomicFileWriter.h"
#include "platform/files/FileBytes.h"
#include "platform/files/WritableFolder.h"
#include "support/ScratchFolder.h"
#include "support/TestFiles.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qel::platform {
namespace {

using namespace std::chrono_literals;
using test::readFile;
using test::ScratchFolder;
using test::writeFile;

// The exit code of `body` run in a forked child; -1 when the child did not
// exit by itself (a crash). The body does a few file operations and returns.
int inChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0)
        ::_exit(body());
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Exit code of a child that could not drop root's right to write anywhere.
constexpr int cannotDropRoot = 77;

// In a child: as root, enters a user namespace of its own, where folder
// permissions hold for it as for any user.
bool actLikeAUser() {
    return ::geteuid() != 0 || ::unshare(CLONE_NEWUSER) == 0;
}

// Opens `path` with FileBytes in another thread and waits at most a second.
// A FIFO that blocked the open is released by opening its writing end, so
// that the test ends either way; `blocked` tells whether that was needed.
std::unique_ptr<FileBytes> openWithinASecond(const std::string& path, bool& blocked) {
    auto opening =
        std::async(std::launch::async, [path] { return std::make_unique<FileBytes>(path); });
    blocked = opening.wait_for(1s) != std::future_status::ready;
    if (blocked) {
        const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0)
            ::close(writer);
    }
    return opening.get();
}

TEST(FileBytes, AnythingButARegularFileIsRefusedAtOnceNamingItsPath) {
    ScratchFolder folder;
    const std::string fifo = folder / "pipe.vdf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = folder / "socket.vdf";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_directory(folder / "sub.vdf");
    std::filesystem::create_symlink(fifo, folder / "link-to-pipe.vdf");

    for (const std::string& path : {fifo, std::string("/dev/null"), folder / "sub.vdf", socketPath,
                                    folder / "link-to-pipe.vdf"}) {
        SCOPED_TRACE(path);
        bool blocked = false;
        const std::unique_ptr<FileBytes> file = openWithinASecond(path, blocked);
        EXPECT_FALSE(blocked) << "the open waited";
        EXPECT_FALSE(file->isOpen());
        EXPECT_TRUE(file->isNotRegular());
        EXPECT_EQ(file->failureText(), "Not a regular file: " + path);
        EXPECT_EQ(file->size(), 0u);
    }
    ::close(listener);
    EXPECT_FALSE(readWholeFile(fifo));
    EXPECT_FALSE(fileSize(folder / "sub.vdf"));
}

TEST(FileBytes, ALinkToARegularFileIsReadAndAMissingFileSaysItCannotBeOpened) {
    ScratchFolder folder;
    writeFile(folder / "real.vdf", ByteVector{1, 2, 3, 4, 5});
    std::filesystem::create_symlink(folder / "real.vdf", folder / "link.vdf");
    FileBytes linked(folder / "link.vdf");
    ASSERT_TRUE(linked.isOpen());
    EXPECT_EQ(linked.size(), 5u);
    ByteVector bytes;
    EXPECT_TRUE(linked.read(1, 3, bytes));
    EXPECT_EQ(bytes, (ByteVector{2, 3, 4}));
    EXPECT_EQ(linked.failureText(), "");

    FileBytes missing(folder / "missing.vdf");
    EXPECT_FALSE(missing.isOpen());
    EXPECT_FALSE(missing.isNotRegular());
    EXPECT_EQ(missing.failureText(), "Can't open the file: " + folder / "missing.vdf");
}

// ---- folders that must take a new file ----

TEST(WritableFolder, AFolderThatExistsOrCanBeMadeTakesFilesAndKeepsNoProbe) {
    ScratchFolder folder;
    EXPECT_EQ(writableFolderError(folder.path()), std::nullopt);
    EXPECT_TRUE(folder.names().empty()) << "the probe file is removed again";
    const std::string nested = folder / "new/deeper";
    EXPECT_EQ(writableFolderError(nested), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(nested));
    EXPECT_TRUE(ScratchFolder::fileNames(nested).empty());
    EXPECT_NO_THROW(requireWritableFolder(nested + "/"));
}

TEST(WritableFolder, AFolderThatCannotBeMadeGivesTheSystemsReason) {
    ScratchFolder folder;
    writeFile(folder / "plain", ByteVector(1));
    for (const std::string& path : {folder / "plain", folder / "plain/sub/"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(writableFolderError(path),
                  "Can't create the file in " + path + " (Not a directory)");
    }
    try {
        requireWritableFolder(folder / "plain/sub");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(),
                  "Can't create the file in " + folder / "plain/sub" + " (Not a directory)");
    }
    EXPECT_EQ(folder.names(), std::vector<std::string>{"plain"});
}

TEST(WritableFolder, AReadOnlyFolderIsFoundOutAndLeftAsItWas) {
    ScratchFolder folder;
    const std::string locked = folder / "locked";
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_exec);
    const std::string expected = "Can't create the file in " + locked + " (Permission denied)";
    const int status = inChild([&] {
        if (!actLikeAUser())
            return cannotDropRoot;
        const std::optional<std::string> error = writableFolderError(locked);
        return error == expected ? 0 : 1;
    });
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    if (status == cannotDropRoot)
        GTEST_SKIP() << "running as root without user namespaces: every folder is writable";
    EXPECT_EQ(status, 0) << "expected: " << expected;
    EXPECT_TRUE(ScratchFolder::fileNames(locked).empty());
}

// ---- the reason of a failed write ----

TEST(AtomicFileWriter, AWriteThatSucceedsHasNoErrorText) {
    ScratchFolder folder;
    AtomicFileWriter writer(folder / "a.bin");
    EXPECT_TRUE(writer.write(ByteVector(10, 1)));
    EXPECT_TRUE(writer.commit());
    EXPECT_EQ(writer.errorText(), "");
}

TEST(AtomicFileWriter, AFailedStepGivesTheSystemsReason) {
    ScratchFolder folder;
    {
        AtomicFileWriter writer(folder / "missing/a.bin");
        EXPECT_FALSE(writer.isOpen());
        EXPECT_FALSE(writer.commit());
        EXPECT_EQ(writer.errorText(), "No such file or directory");
        EXPECT_EQ(writer.failureText(), "Can't create the file: " + folder / "missing/a.bin" +
                                            " (No such file or directory)");
    }
    {
        // The target became a folder: only the final rename fails.
        std::filesystem::create_directory(folder / "taken");
        AtomicFileWriter writer(folder / "taken");
        EXPECT_TRUE(writer.write(ByteVector(10, 1)));
        EXPECT_FALSE(writer.commit());
        EXPECT_EQ(writer.errorText(), "Is a directory");
    }
}

TEST(AtomicFileWriter, AWriteCutShortByTheFileSizeLimitSaysFileTooLarge) {
    ScratchFolder folder;
    const ByteVector old(5, 9);
    writeFile(folder / "a.bin", old);
    const std::string target = folder / "a.bin";
    // The limit stands in for a volume that fills up during the write: the
    // first write past it fails with the system's own reason.
    const int status = inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{200, 200};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 3;
        AtomicFileWriter writer(target);
        if (!writer.write(ByteVector(150, 1)) || writer.write(ByteVector(150, 2)))
            return 4; // the first must fit, the second must not
        if (writer.commit() || writer.write(ByteVector(1, 3)))
            return 5;
        return writer.failureText() == "Can't create the file: " + target + " (File too large)" ? 0
                                                                                                : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"a.bin"}) << "no temporary file left";
}

} // namespace
} // namespace qel::platform
