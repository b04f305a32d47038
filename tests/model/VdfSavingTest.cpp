// Writing container files: byte layout, the order of a package's items, and
// that a failed save leaves the earlier file as it was.

#include "core/Exception.h"
#include "model/ContainerLayout.h"
#include "model/VdfData.h"
#include "support/Hex.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qel {
namespace {

using test::hex;
using test::itemContent;
using test::PackageBuilder;
using test::readFile;
using test::ScratchFolder;
using test::singleItemFile;
using test::writeFile;

TEST(VdfSaving, ToneHeaderHoldsSizeMarkerCategoryCountAndType) {
    EXPECT_EQ(test::toHex(files::makeContainerHeader(70, category::Tone, 0, type::UserTone)),
              test::toHex(hex("56 4F 52 4C 41 20 4D 75 73 69 63 20 4C 69 62 00 "
                              "00 00 00 46 11 02 00 02 00 00 00 00 "
                              "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                              "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00")));
    EXPECT_EQ(test::toHex(files::makeContainerHeader(0x01020304, category::Package, 131,
                                                     type::UserToneWithWave))
                  .substr(16 * 3, 12 * 3 - 1),
              "01 02 03 04 11 02 80 00 00 83 00 03");
}

TEST(VdfSaving, LoadedToneIsWrittenBackAs134IdenticalBytes) {
    ScratchFolder folder;
    ByteVector data = itemContent(category::Tone, -1, 0, 70);
    const std::string name = "MYTONE  ";
    std::copy(name.begin(), name.end(), data.begin() + 36);
    const ByteVector file = singleItemFile(category::Tone, type::UserTone, data);
    writeFile(folder / "t.vdf", file);
    VdfData tone(folder / "t.vdf");
    tone.loadForSending();
    writeFile(folder / "t.vdf", ByteVector(5, 0)); // overwritten by save()
    tone.save();
    EXPECT_EQ(readFile(folder / "t.vdf"), file);
    EXPECT_EQ(readFile(folder / "t.vdf").size(), 134u);
    EXPECT_EQ(tone.name(), name) << "the name is derived again from the written file";
    EXPECT_EQ(folder.names(), std::vector<std::string>{"t.vdf"}) << "no temporary file left";
}

TEST(VdfSaving, PackageItemsAreWrittenInTheirFileOrderAndOthersAreLeftOut) {
    ScratchFolder folder;
    writeFile(folder / "g.vdf", PackageBuilder(type::UserToneWithWave).build());
    VdfData group(folder / "g.vdf");
    // One item of every category, each one byte long with its category number.
    const category::id all[] = {category::Tone,         category::Timbre,       category::Drum,
                                category::Voice,        category::Inst,         category::Wave,
                                category::WaveData,     category::DSP,          category::Rhythm,
                                category::Registration, category::DrawbarOrgan, category::SMF,
                                category::Package};
    for (category::id c : all) {
        auto item = std::make_shared<VdfData>(c, type::UserToneWithWave);
        item->data() = {static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>(c >> 8)};
        group.children()[c].push_back(item);
    }
    // A nested item's own items are not written.
    auto nested = std::make_shared<VdfData>(category::Wave, type::UserToneWithWave);
    group.children()[category::Package][0]->children()[category::Wave].push_back(nested);
    nested->data() = {0xEE, 0xEE};
    group.save();
    const ByteVector written = readFile(folder / "g.vdf");
    ASSERT_EQ(written.size(), 64u + 8 * 2);
    EXPECT_EQ(ByteVector(written.begin(), written.begin() + 64), group.header());
    EXPECT_EQ(test::toHex(ByteVector(written.begin() + 64, written.end())),
              "0C 00 02 00 03 00 05 00 04 00 06 00 07 00 08 00");
}

std::string saveError(VdfData& item) {
    try {
        item.save();
    } catch (const Exception& e) {
        return e.message();
    }
    return "";
}

TEST(VdfSaving, TargetThatCannotBeReplacedKeepsItsContent) {
    ScratchFolder folder;
    const ByteVector file =
        singleItemFile(category::Registration, type::Registration, ByteVector(240, 7));
    writeFile(folder / "r.vdf", file);
    VdfData item(folder / "r.vdf");
    item.loadForSending();
    // The target turned into a folder: the rename over it fails.
    std::filesystem::remove(folder / "r.vdf");
    std::filesystem::create_directory(folder / "r.vdf");
    EXPECT_EQ(saveError(item), "Can't create the file: " + folder / "r.vdf" + " (Is a directory)");
    EXPECT_TRUE(std::filesystem::is_directory(folder / "r.vdf"));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"r.vdf"}) << "no temporary file left";
}

TEST(VdfSaving, MissingFolderIsReported) {
    ScratchFolder folder;
    writeFile(folder / "r.vdf",
              singleItemFile(category::Registration, type::Registration, ByteVector(240)));
    VdfData item(folder / "r.vdf");
    std::filesystem::remove_all(folder.path());
    EXPECT_EQ(saveError(item),
              "Can't create the file: " + folder / "r.vdf" + " (No such file or directory)");
}

TEST(VdfSaving, SaveInterruptedByAFullDiskLeavesTheOldFileAsItWas) {
    ScratchFolder folder;
    const ByteVector old =
        singleItemFile(category::Registration, type::Registration, ByteVector(240, 1));
    writeFile(folder / "r.vdf", old);
    VdfData item(folder / "r.vdf");
    item.loadForSending();
    item.data().assign(240, 2);

    // A child process may write only 200 bytes per file, as on a disk that
    // fills up in the middle of the save; the system's reason is in the message.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{200, 200};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string error = saveError(item);
        const std::string expected =
            "Can't create the file: " + folder / "r.vdf" + " (File too large)";
        ::_exit(error == expected ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "save() must report the failure";
    EXPECT_EQ(readFile(folder / "r.vdf"), old);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"r.vdf"}) << "no temporary file left";
}

TEST(VdfSaving, ReadOnlyFolderKeepsTheOldFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: folder permissions do not stop writes";
    ScratchFolder folder;
    const ByteVector old =
        singleItemFile(category::Registration, type::Registration, ByteVector(240, 1));
    writeFile(folder / "r.vdf", old);
    VdfData item(folder / "r.vdf");
    item.loadForSending();
    std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_read |
                                                    std::filesystem::perms::owner_exec);
    EXPECT_EQ(saveError(item), "Can't create the file: " + folder / "r.vdf");
    EXPECT_EQ(readFile(folder / "r.vdf"), old);
}

} // namespace
} // namespace qel
