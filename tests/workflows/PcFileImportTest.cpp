// Files dropped onto the PC list: what is copied into the data directory,
// under which name, and what is refused, with the reason.

#include "DataManagerFixture.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"
#include "support/SmfBytes.h"
#include "support/TestFiles.h"

#include <filesystem>

namespace qel::test {
namespace {

class PcFileImportTest : public DataManagerTest {
protected:
    PcFileImportTest() {
        manager->start();
        std::filesystem::create_directories(desktop);
    }

    // A file on the "desktop", outside the data directory.
    std::string dropped(const std::string& name, const ByteVector& bytes) {
        writeFile(desktop + name, bytes);
        return desktop + name;
    }
    std::vector<std::string> dataFiles() const { return ScratchFolder::fileNames(dataDirectory); }

    std::string desktop = folder.filePath("desktop").toStdString() + "/";
    const ByteVector rhythm =
        singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(100, 0x21));
    const ByteVector otherRhythm =
        singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(100, 0x22));
};

TEST_F(PcFileImportTest, ItemFilesAreCopiedAndListedAndOtherFilesRefusedByName) {
    std::filesystem::create_directories(desktop + "a folder.vdf");
    manager->copyFilesToDataDirectory(
        {dropped("rh.vdf", rhythm), dropped("notes.txt", ByteVector{'h', 'i'}),
         dropped("tune.midi", smfWithText(20)), desktop + "a folder.vdf"});
    EXPECT_EQ(dataFiles(), (std::vector<std::string>{"rh.vdf", "tune.mid"}));
    EXPECT_EQ(readFile(dataDirectory + "rh.vdf"), rhythm);
    EXPECT_EQ(readFile(dataDirectory + "tune.mid"), smfWithText(20));
    EXPECT_EQ(manager->pcLists()[type::UserRhythm].size(), 1u) << "listed";
    EXPECT_EQ(manager->pcLists()[type::Smf].size(), 1u);
    ASSERT_EQ(view.defaultErrors.size(), 1u);
    EXPECT_EQ(view.defaultErrors[0], "Not copied into the data directory:\n"
                                     "notes.txt: not an item file of a known type\n"
                                     "a folder.vdf: Not a regular file: " +
                                         desktop + "a folder.vdf");
    const std::string shownFolder = dataDirectory.substr(0, dataDirectory.size() - 1);
    EXPECT_EQ(view.results, std::vector<std::string>{"Copied 2 files into " + shownFolder});
}

TEST_F(PcFileImportTest, NothingIsOverwrittenAndAFileAlreadyThereIsNotCopiedAgain) {
    writeFile(dataDirectory + "rh.vdf", otherRhythm);
    const ByteVector third =
        singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(100, 0x23));
    writeFile(dataDirectory + "rh (2).vdf", third);
    const std::string source = dropped("rh.vdf", rhythm);

    manager->copyFilesToDataDirectory({source});
    EXPECT_EQ(readFile(dataDirectory + "rh.vdf"), otherRhythm);
    EXPECT_EQ(readFile(dataDirectory + "rh (2).vdf"), third);
    EXPECT_EQ(readFile(dataDirectory + "rh (3).vdf"), rhythm);

    // The same content again, and a file of the data directory dropped onto it.
    manager->copyFilesToDataDirectory({source, dataDirectory + "rh.vdf"});
    EXPECT_EQ(dataFiles(), (std::vector<std::string>{"rh (2).vdf", "rh (3).vdf", "rh.vdf"}));
    const std::string shownFolder = dataDirectory.substr(0, dataDirectory.size() - 1);
    EXPECT_EQ(view.results, (std::vector<std::string>{"Copied 1 file into " + shownFolder,
                                                      "Copied 0 files into " + shownFolder +
                                                          ", 2 already there"}));
    EXPECT_TRUE(view.defaultErrors.empty());
}

TEST_F(PcFileImportTest, ADataDirectoryThatCannotTakeFilesCopiesNothing) {
    writeFile(dataDirectory + "plain", ByteVector(1));
    manager->setDataDirectory(dataDirectory + "plain/sub/");
    manager->copyFilesToDataDirectory({dropped("rh.vdf", rhythm)});
    EXPECT_EQ(view.defaultErrors,
              std::vector<std::string>{"Can't create the file in " + dataDirectory +
                                       "plain/sub/ (Not a directory)"});
    EXPECT_TRUE(view.results.empty());
}

} // namespace
} // namespace qel::test
