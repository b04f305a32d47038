// The per-device lock: one holder at a time, who the holder is, lock file
// names that arbitrary device names cannot steer, and folders it refuses.
// flock locks belong to an open file description, so a second lock inside
// this one process stands for another program.

#include "platform/files/DeviceLock.h"

#include "support/ProcessSettings.h"
#include "support/ScratchFolder.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace qel::platform {
namespace {

using State = DeviceLock::State;
using test::ScratchFolder;

TEST(DeviceLock, SecondLockOfAResourceIsRefusedAndNamesTheHolderUntilTheFirstGoes) {
    ScratchFolder folder;
    {
        DeviceLock first(folder.path(), "USB MIDI", "tq7400");
        ASSERT_EQ(first.state(), State::Held) << first.problem();
        DeviceLock second(folder.path(), "USB MIDI", "other");
        EXPECT_EQ(second.state(), State::InUse);
        EXPECT_EQ(second.holderName(), "tq7400");
        EXPECT_EQ(second.holderProcessId(), static_cast<unsigned long>(::getpid()));
        // The refused one leaves the holder's text alone.
        DeviceLock third(folder.path(), "USB MIDI", "third");
        EXPECT_EQ(third.holderName(), "tq7400");
    }
    // Released with its object, and its text gone with it: a newcomer refused
    // before the next holder writes must not name a program that has gone.
    const std::vector<std::string> files = folder.names();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(test::readFile(folder / files[0]).size(), 0u);
    DeviceLock again(folder.path(), "USB MIDI", "again");
    EXPECT_EQ(again.state(), State::Held) << again.problem();
}

TEST(DeviceLock, DifferentResourcesDoNotCollide) {
    ScratchFolder folder;
    DeviceLock input(folder.path(), "MIDI input: Cable");
    DeviceLock output(folder.path(), "MIDI output: Cable");
    DeviceLock otherCase(folder.path(), "MIDI input: CABLE");
    EXPECT_TRUE(input.held()) << input.problem();
    EXPECT_TRUE(output.held()) << output.problem();
    EXPECT_TRUE(otherCase.held()) << otherCase.problem();
}

// Every NUL-free byte, in one name.
std::string everyByte() {
    std::string text;
    for (int c = 1; c < 256; ++c)
        text += static_cast<char>(c);
    return text;
}

TEST(DeviceLock, ArbitraryNamesMapToSafeDistinctFilesInTheFolder) {
    const std::vector<std::string> names{"USB MIDI",
                                         "usb midi",
                                         "a/b",
                                         "/etc/passwd",
                                         "../../escape",
                                         "..",
                                         ".",
                                         "",
                                         " ",
                                         "name\nwith newline",
                                         "\x1b[31m\x7f",
                                         everyByte(),
                                         std::string(5000, 'x'),
                                         std::string(5001, 'x'),
                                         std::string(300, '/')};
    ScratchFolder folder;
    std::set<std::string> files;
    std::vector<std::unique_ptr<DeviceLock>> locks;
    for (const std::string& name : names) {
        const std::string file = deviceLockFileName(name);
        EXPECT_LE(file.size(), 100u);
        EXPECT_EQ(file.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-."),
                  std::string::npos)
            << file;
        EXPECT_NE(file.front(), '.');
        files.insert(file);
        locks.push_back(std::make_unique<DeviceLock>(folder.path(), name));
        EXPECT_TRUE(locks.back()->held()) << locks.back()->problem();
        EXPECT_EQ(locks.back()->path(), folder / file);
    }
    EXPECT_EQ(files.size(), names.size()) << "two names share a lock file";
    // Nothing was made anywhere but as plain files in the folder itself.
    EXPECT_EQ(folder.names(), std::vector<std::string>(files.begin(), files.end()));
    for (const std::string& file : files)
        EXPECT_TRUE(
            std::filesystem::is_regular_file(std::filesystem::symlink_status(folder / file)));
}

// What a holder might have left in its file (or anything at all someone put
// there), and what a refused lock makes of it.
struct HolderTextCase {
    const char* name;
    std::string text;
    std::string holderName;
    unsigned long processId;
};

void PrintTo(const HolderTextCase& c, std::ostream* out) {
    *out << c.name;
}

class HolderText : public testing::TestWithParam<HolderTextCase> {};

TEST_P(HolderText, IsReadAsUntrustedText) {
    ScratchFolder folder;
    DeviceLock holder(folder.path(), "Cable", "tq7400");
    ASSERT_TRUE(holder.held()) << holder.problem();
    {
        std::ofstream file(holder.path(), std::ios::binary | std::ios::trunc);
        file << GetParam().text;
    }
    DeviceLock refused(folder.path(), "Cable");
    ASSERT_EQ(refused.state(), State::InUse);
    EXPECT_EQ(refused.holderName(), GetParam().holderName);
    EXPECT_EQ(refused.holderProcessId(), GetParam().processId);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HolderText,
    testing::Values(
        HolderTextCase{"name and id", "tq7400\n1234\n", "tq7400", 1234},
        HolderTextCase{"nothing written yet", "", "", 0},
        HolderTextCase{"name cut short", "tq74", "", 0},
        HolderTextCase{"id cut short", "tq7400\n12", "tq7400", 0},
        HolderTextCase{"no name", "\n77\n", "", 77},
        HolderTextCase{"id not a number", "tq7400\n12a\n", "tq7400", 0},
        HolderTextCase{"negative id", "tq7400\n-5\n", "tq7400", 0},
        HolderTextCase{"id too large", "tq7400\n999999999999999999999999\n", "tq7400", 0},
        HolderTextCase{"control bytes in the name", "\x1b]0;x\x07\xc3\xa9\n5\n", "?]0;x???", 5},
        HolderTextCase{"a long name is cut", std::string(100, 'n') + "\n6\n", std::string(64, 'n'),
                       6},
        HolderTextCase{"a longer text than is read", std::string(300, 'n') + "\n6\n", "", 0}));

TEST(DeviceLock, UnsafeFoldersAreRefused) {
    ScratchFolder scratch;
    const std::string good = scratch / "good";
    ASSERT_TRUE(std::filesystem::create_directory(good));
    struct Case {
        const char* name;
        std::string folder;
    };
    std::vector<Case> cases;
    const std::string open = scratch / "world-writable";
    std::filesystem::create_directory(open);
    ::chmod(open.c_str(), 01777);
    cases.push_back({"world-writable", open});
    const std::string shared = scratch / "group-writable";
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 0770);
    cases.push_back({"group-writable", shared});
    const std::string link = scratch / "link";
    std::filesystem::create_directory_symlink(good, link);
    cases.push_back({"a symbolic link to a good folder", link});
    cases.push_back({"the same link with a slash", link + "/"});
    const std::string file = scratch / "file";
    test::writeFile(file, {1});
    cases.push_back({"a plain file", file});
    cases.push_back({"inside a plain file", file + "/locks"});
    cases.push_back({"under a missing folder", scratch / "missing/locks"});
    cases.push_back({"no folder", ""});
    if (::geteuid() == 0) {
        const std::string foreign = scratch / "foreign";
        std::filesystem::create_directory(foreign);
        ::chmod(foreign.c_str(), 0700);
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        cases.push_back({"owned by another user", foreign});
    }
    for (const Case& c : cases) {
        EXPECT_NE(preparePrivateFolder(c.folder), "") << c.name;
        DeviceLock lock(c.folder, "Cable");
        EXPECT_EQ(lock.state(), State::Unavailable) << c.name;
        EXPECT_NE(lock.problem(), "") << c.name;
    }
    EXPECT_TRUE(ScratchFolder::fileNames(good).empty()) << "nothing was made through the link";
}

TEST(DeviceLock, MissingFolderIsMadePrivate) {
    ScratchFolder scratch;
    const test::UmaskOverride permissive(0);
    const std::string folder = scratch / "tq7400-1000";
    DeviceLock lock(folder, "Cable");
    EXPECT_TRUE(lock.held()) << lock.problem();
    EXPECT_EQ(test::permissionsOf(folder), 0700u);
    EXPECT_EQ(test::permissionsOf(lock.path()), 0600u);
}

TEST(DeviceLock, LinkOrFifoInPlaceOfTheLockFileIsNeverFollowed) {
    ScratchFolder folder;
    ScratchFolder elsewhere;
    const std::string target = elsewhere / "target";
    test::writeFile(target, {'k', 'e', 'e', 'p'});
    std::filesystem::create_symlink(target, folder / deviceLockFileName("Linked"));
    DeviceLock linked(folder.path(), "Linked");
    EXPECT_EQ(linked.state(), State::Unavailable);
    EXPECT_EQ(test::readFile(target).size(), 4u) << "the link's target was written";

    // A FIFO would make a blocking open wait for a writer forever.
    ASSERT_EQ(::mkfifo((folder / deviceLockFileName("Fifo")).c_str(), 0600), 0);
    DeviceLock fifo(folder.path(), "Fifo");
    EXPECT_EQ(fifo.state(), State::Unavailable);
}

// Sets or unsets an environment variable for the test's duration.
class VariableOverride {
public:
    VariableOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~VariableOverride() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    VariableOverride(const VariableOverride&) = delete;
    VariableOverride& operator=(const VariableOverride&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(DeviceLock, DefaultFolderIsTheOverrideThenTheRuntimeFolderThenAPrivateTemporaryOne) {
    struct Case {
        const char* overrideFolder;
        const char* runtimeFolder;
        std::string folder;
    };
    ScratchFolder temporaryFolder;
    const test::TemporaryFolderOverride temporary(temporaryFolder.path());
    const std::string fallback =
        temporaryFolder.path() + "tq7400-" + std::to_string(::geteuid()) + "/";
    const Case cases[] = {
        {"/tests/locks", "/run/user/1000", "/tests/locks/"},
        {nullptr, "/run/user/1000/", "/run/user/1000/"},
        {"", "/run/user/1000", "/run/user/1000/"},
        {"relative", nullptr, fallback},
        {nullptr, "", fallback},
        {nullptr, "run/user", fallback},
    };
    for (const Case& c : cases) {
        const VariableOverride overridden("QEL_DEVICE_LOCK_DIR", c.overrideFolder);
        const VariableOverride runtime("XDG_RUNTIME_DIR", c.runtimeFolder);
        EXPECT_EQ(defaultDeviceLockFolder(), c.folder)
            << (c.overrideFolder ? c.overrideFolder : "-") << " "
            << (c.runtimeFolder ? c.runtimeFolder : "-");
    }
}

} // namespace
} // namespace qel::platform
