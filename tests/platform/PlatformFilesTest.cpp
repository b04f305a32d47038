// The platform's file helpers: case-insensitive wildcard search, ranged reads
// that stay inside the file, and whole-or-nothing writes.

#include "platform/files/AtomicFileWriter.h"
#include "platform/files/DataDirectory.h"
#include "platform/files/FileBytes.h"
#include "platform/files/WildcardSearch.h"
#include "support/ScratchFolder.h"
#include "support/TestFiles.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace qel::platform {
namespace {

using test::readFile;
using test::ScratchFolder;
using test::writeFile;

TEST(WildcardSearch, MatchesLikeTheWindowsFileSearch) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.vdf", "A.VDF", true},
        {"*.vdf", "song.vdf", true},
        {"*.vdf", "a.vdfx", false},
        {"*.vdf", "vdf", false},
        {"*.z0*", "BASS1.Z05", true},
        {"*.z0*", "x.z0", true},
        {"*.z0*", "x.z10", false},
        {"*.mid", "tune.MiD", true},
        {"?.mid", "ab.mid", false},
        {"?.mid", "a.mid", true},
        {"*", "", true},
        {"", "a", false},
        {"*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

TEST(WildcardSearch, FindsRegularFilesSortedAndSkipsFolders) {
    ScratchFolder folder;
    for (const char* name : {"b.VDF", "a.vdf", "c.mid", "d.vdf.tmp"})
        writeFile(folder / name, {1});
    std::filesystem::create_directory(folder / "e.vdf");
    EXPECT_EQ(findFiles(folder.path(), "*.vdf"),
              (std::vector<std::string>{folder / "a.vdf", folder / "b.VDF"}));
    std::string noSlash = folder.path();
    noSlash.pop_back();
    EXPECT_EQ(findFiles(noSlash, "*.MID"), std::vector<std::string>{folder / "c.mid"});
    EXPECT_TRUE(findFiles(folder / "missing", "*").empty());
}

TEST(FileBytes, ReadsOnlyRangesInsideTheFile) {
    ScratchFolder folder;
    writeFile(folder / "f", {1, 2, 3, 4, 5});
    FileBytes file(folder / "f");
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.size(), 5u);
    std::vector<std::uint8_t> out{9};
    EXPECT_TRUE(file.read(1, 3, out));
    EXPECT_EQ(out, (std::vector<std::uint8_t>{2, 3, 4}));
    EXPECT_TRUE(file.read(5, 0, out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(file.read(3, 3, out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(file.read(0xFFFFFFFFFFFFFFFFull, 2, out)) << "offset + count wraps";
    EXPECT_FALSE(file.read(1, 0xFFFFFFFFFFFFFFFFull, out));
    EXPECT_FALSE(FileBytes(folder / "missing").isOpen());
    EXPECT_FALSE(FileBytes(folder.path()).isOpen()) << "a folder is no file";
}

TEST(AtomicFileWriter, ReplacesTheTargetOnlyOnCommit) {
    ScratchFolder folder;
    writeFile(folder / "t", {7, 7});
    {
        AtomicFileWriter writer(folder / "t");
        ASSERT_TRUE(writer.isOpen());
        writer.write(std::vector<std::uint8_t>{1, 2, 3});
        EXPECT_EQ(readFile(folder / "t"), (ByteVector{7, 7})) << "unchanged before commit";
    } // dropped without commit
    EXPECT_EQ(readFile(folder / "t"), (ByteVector{7, 7}));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"t"});

    AtomicFileWriter writer(folder / "t");
    writer.write(std::vector<std::uint8_t>{1, 2, 3});
    EXPECT_TRUE(writer.commit());
    EXPECT_EQ(readFile(folder / "t"), (ByteVector{1, 2, 3}));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"t"});
}

TEST(AtomicFileWriter, TargetWithoutAFileNameCannotBeWritten) {
    for (const char* target : {"", "/tmp/"}) {
        AtomicFileWriter writer(target);
        EXPECT_FALSE(writer.isOpen());
        EXPECT_FALSE(writer.commit());
    }
}

TEST(DataDirectory, NeverBesideAProgramInstalledInASystemFolder) {
    // Even where it could be written (as root), /usr/bin/Data is no place for data.
    for (const char* program : {"/usr/bin", "/usr/local/bin", "/opt/tq7400/bin", "/bin"})
        EXPECT_EQ(defaultDataDirectory(program, "/home/me/Documents"),
                  "/home/me/Documents/TQ-7400 Data/")
            << program;
}

TEST(DataDirectory, BesideTheProgramWhenThatCanBeWrittenElseInTheDocuments) {
    ScratchFolder folder;
    const std::string program = folder / "program";
    const std::string documents = folder / "documents";
    std::filesystem::create_directories(program);
    EXPECT_EQ(defaultDataDirectory(program, documents), program + "/Data/");
    EXPECT_FALSE(std::filesystem::exists(program + "/Data")) << "nothing is created";

    std::filesystem::permissions(program, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    if (access(program.c_str(), W_OK) == 0)
        GTEST_SKIP() << "running as root: every folder is writable";
    EXPECT_EQ(defaultDataDirectory(program, documents), documents + "/TQ-7400 Data/");
    std::filesystem::permissions(program, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

} // namespace
} // namespace qel::platform
