// Temporary files: made only where no one else can reach them, with the mode
// the umask gives, and never left behind on a card.

#include "platform/files/TemporaryFiles.h"

#include "kbdsim/DemoContent.h"
#include "kbdsim/MemoryImage.h"
#include "model/CardData.h"
#include "model/VdfData.h"
#include "platform/files/AtomicFileWriter.h"
#include "support/PackageBuilder.h"
#include "support/ProcessSettings.h"
#include "support/ScratchFolder.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qel {
namespace {

using test::permissionsOf;
using test::readFile;
using test::ScratchFolder;
using test::writeFile;

// Runs `work` in a child process, which ends it with _exit() as a killed
// process would end, and waits for it. Fails the test when the child crashed.
void runAndVanish(const std::function<void()>& work) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        work();
        ::_exit(1); // work() did not end the process
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child crashed";
    ASSERT_EQ(WEXITSTATUS(status), 0);
}

TEST(TemporaryName, OnlyTheWritersOwnFormIsRecognised) {
    const std::pair<const char*, long> cases[] = {
        {".~qel-1234-Ab3xYz.tmp", 1234},
        {".~qel-1-000000.tmp", 1},
        {".~qel-4294967295-zzzzzz.tmp", 4294967295},
        {".~qel-1234-Ab3xY.tmp", -1},   // 5 random characters
        {".~qel-1234-Ab3xYzz.tmp", -1}, // 7
        {".~qel--Ab3xYz.tmp", -1},      // no process id
        {".~qel-12a4-Ab3xYz.tmp", -1},
        {".~qel-1234-Ab3x_z.tmp", -1},
        {".~qel-1234-Ab3xYz.tmp2", -1},
        {"~qel-1234-Ab3xYz.tmp", -1},
        {"song.mid", -1},
        {".~qel-12345678901-Ab3xYz.tmp", -1}, // 11 digits
    };
    for (const auto& [name, id] : cases) {
        unsigned long found = 0;
        EXPECT_EQ(platform::isTemporaryName(name, found), id >= 0) << name;
        if (id >= 0) {
            EXPECT_EQ(found, static_cast<unsigned long>(id)) << name;
        }
    }
}

TEST(TemporaryBeside, IsANewFileInTheTargetsFolderWithTheUmasksMode) {
    ScratchFolder folder;
    const test::UmaskOverride umask(027);
    std::string first, second;
    const int a = platform::createTemporaryBeside(folder / "target", first);
    const int b = platform::createTemporaryBeside(folder / "target", second);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    ::close(a);
    ::close(b);
    EXPECT_NE(first, second);
    for (const std::string& path : {first, second}) {
        EXPECT_EQ(path.rfind(folder.path(), 0), 0u) << path;
        unsigned long id = 0;
        EXPECT_TRUE(platform::isTemporaryName(path.substr(folder.path().size()), id)) << path;
        EXPECT_EQ(id, static_cast<unsigned long>(::getpid()));
        EXPECT_EQ(permissionsOf(path), 0640u) << path;
    }
    std::string untouched = "unchanged";
    EXPECT_LT(platform::createTemporaryBeside(folder / "missing/target", untouched), 0);
    EXPECT_LT(platform::createTemporaryBeside(folder.path(), untouched), 0) << "no file name";
    EXPECT_EQ(untouched, "unchanged");
}

TEST(AtomicFileWriter, NewFileHasTheModeTheUmaskGivesAndAReplacedOneKeepsItsMode) {
    ScratchFolder folder;
    for (const auto& [mask, mode] :
         {std::pair<mode_t, mode_t>{022, 0644}, {077, 0600}, {002, 0664}}) {
        const test::UmaskOverride umask(mask);
        const std::string target = folder / ("new" + std::to_string(mask));
        platform::AtomicFileWriter writer(target);
        writer.write(std::vector<std::uint8_t>{1});
        ASSERT_TRUE(writer.commit());
        EXPECT_EQ(permissionsOf(target), mode) << std::oct << mask;
    }
    const test::UmaskOverride umask(077);
    writeFile(folder / "old", {1});
    ::chmod((folder / "old").c_str(), 0640);
    platform::AtomicFileWriter writer(folder / "old");
    writer.write(std::vector<std::uint8_t>{2});
    ASSERT_TRUE(writer.commit());
    EXPECT_EQ(permissionsOf(folder / "old"), 0640u);
}

TEST(AtomicFileWriter, ALinkAtTheTargetIsReplacedNotWrittenThrough) {
    ScratchFolder folder, elsewhere;
    writeFile(elsewhere / "precious", {'k'});
    std::filesystem::create_symlink(elsewhere / "precious", folder / "t");
    platform::AtomicFileWriter writer(folder / "t");
    writer.write(std::vector<std::uint8_t>{1, 2});
    ASSERT_TRUE(writer.commit());
    EXPECT_FALSE(std::filesystem::is_symlink(folder / "t"));
    EXPECT_EQ(readFile(folder / "t"), (ByteVector{1, 2}));
    EXPECT_EQ(readFile(elsewhere / "precious"), (ByteVector{'k'}));
}

TEST(LeftoverTemporaries, OnlyThoseOfEndedProcessesAreRemoved) {
    ScratchFolder folder, elsewhere;
    // A write killed before its commit.
    runAndVanish([&] {
        platform::AtomicFileWriter writer(folder / "item.vdf");
        writer.write(std::vector<std::uint8_t>{1, 2, 3});
        ::_exit(0); // before the writer's destructor could clean up
    });
    ASSERT_EQ(folder.names().size(), 1u);
    const std::string leftover = folder.names().front();

    std::string mine;
    const int fd = platform::createTemporaryBeside(folder / "x", mine);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const std::string running = ".~qel-1-abcdef.tmp"; // process 1 always runs
    writeFile(folder / running, {1});
    writeFile(folder / "item.vdf", {4});
    writeFile(folder / ".~qel-1234-abcdef.tmpx", {5});
    // A link in the writer's form, from a process that ended: not the writer's.
    writeFile(elsewhere / "target", {6});
    const std::string link = leftover.substr(0, leftover.size() - 10) + "Linked.tmp";
    std::filesystem::create_symlink(elsewhere / "target", folder / link);

    EXPECT_EQ(platform::removeLeftoverTemporaries(folder.path()), 1);
    std::vector<std::string> expected{".~qel-1234-abcdef.tmpx", running, link, "item.vdf",
                                      mine.substr(folder.path().size())};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.names(), expected);
    EXPECT_EQ(readFile(elsewhere / "target"), (ByteVector{6}));
    EXPECT_EQ(platform::removeLeftoverTemporaries(folder / "missing"), 0);
}

TEST(PrivateTemporaryFolder, OnlyTheUserCanEnterItAndItGoesWithEverythingInIt) {
    ScratchFolder shared, elsewhere;
    const test::TemporaryFolderOverride tmpdir(shared.path());
    const test::UmaskOverride umask(0);
    writeFile(elsewhere / "precious", {1});
    {
        const platform::PrivateTemporaryFolder a, b;
        ASSERT_TRUE(a.isValid()) << a.error();
        ASSERT_TRUE(b.isValid()) << b.error();
        EXPECT_NE(a.path(), b.path());
        EXPECT_EQ(a.path().rfind(shared.path(), 0), 0u) << a.path();
        EXPECT_EQ(a.path().back(), '/');
        unsigned long id = 0;
        EXPECT_TRUE(platform::isPrivateFolderName(
            a.path().substr(shared.path().size(), a.path().size() - shared.path().size() - 1), id))
            << a.path();
        EXPECT_EQ(id, static_cast<unsigned long>(::getpid()));
        EXPECT_EQ(permissionsOf(a.path()), 0700u);
        writeFile(a.path() + "song.mid", {1, 2});
        std::filesystem::create_directory(a.path() + "sub");
        std::filesystem::create_symlink(elsewhere / "precious", a.path() + "link");
        std::filesystem::create_symlink(elsewhere.path(), a.path() + "folderlink");
    }
    EXPECT_TRUE(shared.names().empty());
    EXPECT_EQ(elsewhere.names(), std::vector<std::string>{"precious"}) << "links not followed";
    EXPECT_EQ(readFile(elsewhere / "precious"), (ByteVector{1}));
}

TEST(PrivateFolderName, OnlyTheFolderForm) {
    const std::pair<const char*, long> cases[] = {
        {"qel-1234-Ab3xYz", 1234},
        {"qel-1-000000", 1},
        {"qel-4294967295-zzzzzz", 4294967295},
        {"qel-Ab3xYz", -1},       // no process id
        {"qel-files-Ab3xYz", -1}, // the tests' scratch folders
        {"qel-1234-Ab3xY", -1},   // 5 random characters
        {"qel-1234-Ab3xYzz", -1}, // 7
        {"qel-12a4-Ab3xYz", -1},
        {"qel-1234-Ab3x.z", -1},
        {"qel-12345678901-Ab3xYz", -1}, // 11 digits
        {".~qel-1234-Ab3xYz.tmp", -1},
        {"Qel-1234-Ab3xYz", -1},
        {"xqel-1234-Ab3xYz", -1},
    };
    for (const auto& [name, id] : cases) {
        unsigned long found = 0;
        EXPECT_EQ(platform::isPrivateFolderName(name, found), id >= 0) << name;
        if (id >= 0) {
            EXPECT_EQ(found, static_cast<unsigned long>(id)) << name;
        }
    }
}

// Starts a child process that makes a PrivateTemporaryFolder and waits; kills
// it with SIGKILL once the folder is there, as a user or the system might.
// Returns the folder (empty on failure). A child that ended any other way
// fails the test.
std::string folderOfAKilledProcess(pid_t& processId) {
    int ready[2], hold[2];
    if (::pipe(ready) != 0 || ::pipe(hold) != 0) {
        ADD_FAILURE() << "no pipe";
        return {};
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ADD_FAILURE() << "no child";
        return {};
    }
    if (child == 0) {
        ::close(ready[0]);
        ::close(hold[1]);
        const platform::PrivateTemporaryFolder folder;
        const std::string path = folder.path() + "\n";
        try {
            writeFile(folder.path() + "registry.json", {'{', '}'});
        } catch (const std::exception&) {
            ::_exit(1);
        }
        if (!folder.isValid() || ::write(ready[1], path.data(), path.size()) < 0)
            ::_exit(1);
        char byte = 0;
        // Waits for the kill; ends when the test process goes first.
        while (::read(hold[0], &byte, 1) < 0 && errno == EINTR) {
        }
        ::_exit(2);
    }
    ::close(ready[1]);
    ::close(hold[0]);
    std::string path;
    pollfd readable{ready[0], POLLIN, 0};
    char text[4096];
    while (path.find('\n') == std::string::npos && ::poll(&readable, 1, 10000) == 1) {
        const ssize_t got = ::read(ready[0], text, sizeof text);
        if (got <= 0)
            break;
        path.append(text, static_cast<std::size_t>(got));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    const pid_t ended = ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ::close(hold[1]);
    EXPECT_EQ(ended, child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the child crashed or ended by itself: status " << status;
    EXPECT_EQ(path.empty() ? ' ' : path.back(), '\n') << "the child made no folder";
    if (path.empty() || path.back() != '\n')
        return {};
    processId = child;
    path.pop_back();
    return path;
}

TEST(LeftoverPrivateFolders, OnlyThoseOfEndedProcessesGoWithoutFollowingLinks) {
    ScratchFolder shared, elsewhere;
    const test::TemporaryFolderOverride tmpdir(shared.path());
    pid_t killed = 0;
    const std::string left = folderOfAKilledProcess(killed);
    ASSERT_FALSE(left.empty());
    const std::string leftName = "qel-" + std::to_string(killed) + "-";
    ASSERT_EQ(left.rfind(shared.path() + leftName, 0), 0u) << left;
    ASSERT_TRUE(std::filesystem::exists(left + "registry.json")) << "killed: nothing removed it";
    std::filesystem::create_symlink(elsewhere.path(), left + "link");

    const platform::PrivateTemporaryFolder mine;
    ASSERT_TRUE(mine.isValid());
    const std::string mineName =
        mine.path().substr(shared.path().size(), mine.path().size() - shared.path().size() - 1);
    writeFile(elsewhere / "precious", {7});
    std::filesystem::create_directory(shared / "qel-1-abcdef"); // process 1 always runs
    std::filesystem::create_directory(shared / "qel-Abcdef");   // no process named
    std::filesystem::create_symlink(elsewhere.path(), shared / (leftName + "Linked"));
    writeFile(shared / (leftName + "File00"), {8});

    EXPECT_EQ(platform::removeLeftoverPrivateFolders(shared.path()), 1);
    std::vector<std::string> expected{leftName + "File00", leftName + "Linked", "qel-1-abcdef",
                                      "qel-Abcdef", mineName};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shared.names(), expected);
    EXPECT_EQ(elsewhere.names(), std::vector<std::string>{"precious"}) << "links not followed";
    EXPECT_EQ(readFile(elsewhere / "precious"), (ByteVector{7}));
    EXPECT_EQ(platform::removeLeftoverPrivateFolders(shared / "missing"), 0);
}

// A card file for a registration PC file.
CardData cardItem(const ScratchFolder& pc, const ScratchFolder& card, const std::string& name) {
    writeFile(pc / (name + ".vdf"),
              test::singleItemFile(category::Registration, type::Registration, ByteVector(240, 3)));
    return CardData(card.path(), VdfData(pc / (name + ".vdf")));
}

TEST(CardWrite, WhatAnInterruptedWriteLeftOnTheCardGoesWithTheNextWrite) {
    ScratchFolder pc, card;
    CardData first = cardItem(pc, card, "FIRST");
    // The process writing FIRST is killed half-way: its temporary file stays.
    runAndVanish([&] {
        platform::AtomicFileWriter writer(first.path());
        writer.write(ByteVector(100, 1));
        ::_exit(0); // before the writer's destructor could clean up
    });
    ASSERT_EQ(card.names().size(), 1u);
    unsigned long id = 0;
    ASSERT_TRUE(platform::isTemporaryName(card.names().front(), id));

    cardItem(pc, card, "SECOND").write();
    EXPECT_EQ(card.names(), std::vector<std::string>{"SECOND  .z01"});
}

TEST(KbdsimMemoryImage, IsSavedWholeWithTheModeTheUmaskGives) {
    ScratchFolder folder;
    const kbdsim::KeyboardMemory memory = [] {
        kbdsim::KeyboardMemory demo;
        kbdsim::fillDemoContent(demo);
        return demo;
    }();
    for (const auto& [mask, mode] : {std::pair<mode_t, mode_t>{022, 0644}, {077, 0600}}) {
        const test::UmaskOverride umask(mask);
        const std::string path = folder / ("memory" + std::to_string(mask) + ".img");
        kbdsim::MemoryImage::save(memory, path);
        EXPECT_EQ(permissionsOf(path), mode) << std::oct << mask;
        EXPECT_EQ(readFile(path), kbdsim::MemoryImage::encode(memory));
    }
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"memory18.img", "memory63.img"}))
        << "no temporary file stays";
}

} // namespace
} // namespace qel
