// Song files are converted to format 0 through the temporary song file before
// they are sent.

#include "core/Exception.h"
#include "model/VdfData.h"
#include "model/VdfSongConversion.h"
#include "platform/files/ProcessInfo.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"
#include "support/SmfBytes.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace qel {
namespace {

using test::hex;
using test::ScratchFolder;
using test::writeFile;

bool exists(const std::string& path) {
    return std::filesystem::exists(path);
}

TEST(SongSending, TemporaryFileIsNamedAfterTheProcessInTheTemporaryFolder) {
    const std::string path = temporarySongPath();
    EXPECT_EQ(path, platform::temporaryFolder() + "tmp" +
                        std::to_string(platform::currentProcessId()) + ".mid");
    EXPECT_EQ(path.find(std::filesystem::current_path().string() + "/tmp"), std::string::npos);
}

TEST(SongSending, FormatOneSongIsSentAsFormatZero) {
    ScratchFolder folder;
    // Two tracks; the second has an event between the first's two.
    writeFile(folder / "two.mid",
              test::smfFile(1, 2, 96,
                            {"00 90 3C 40  60 80 3C 00  00 FF 2F 00", "30 91 40 50  00 FF 2F 00"}));
    VdfData song(folder / "two.mid");
    song.loadForSending();
    const ByteVector expected =
        test::smfFile(0, 1, 96, {"00 90 3C 40  30 91 40 50  30 80 3C 00  00 FF 2F 00"});
    // 38 bytes: even, no padding.
    EXPECT_EQ(song.data(), expected);
    EXPECT_EQ(song.size(), expected.size());
    EXPECT_FALSE(exists(temporarySongPath())) << "removed after success";
}

TEST(SongSending, OddConvertedSongIsPaddedButKeepsItsSize) {
    ScratchFolder folder;
    for (std::size_t text : {270u, 271u}) {
        writeFile(folder / "s.mid", test::smfWithText(text));
        VdfData song(folder / "s.mid");
        song.loadForSending();
        const std::uint32_t length = static_cast<std::uint32_t>(test::smfWithText(text).size());
        EXPECT_EQ(song.size(), length);
        EXPECT_EQ(song.data().size(), length + length % 2);
        if (length % 2 != 0) {
            EXPECT_EQ(song.data().back(), 0x00);
        }
    }
}

TEST(SongSending, InvalidSongFailsWithTheTemporaryNameAndLeavesNoFile) {
    ScratchFolder folder;
    writeFile(folder / "bad.mid", hex("4D 54 68 64 00 00 00 06 00 02 00 01 00 60"));
    VdfData song(folder / "bad.mid");
    // A file of that name left by an earlier run must not be sent instead.
    writeFile(temporarySongPath(), test::smfWithText(4));
    try {
        song.loadForSending();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "Can't open the file: " + temporarySongPath());
    }
    EXPECT_FALSE(exists(temporarySongPath())) << "removed after failure";
}

TEST(SongSending, TwoSongsInARowUseTheSameTemporaryName) {
    ScratchFolder folder;
    writeFile(folder / "a.mid", test::smfWithText(10));
    writeFile(folder / "b.mid", test::smfWithText(20));
    VdfData a(folder / "a.mid");
    VdfData b(folder / "b.mid");
    a.loadForSending();
    b.loadForSending();
    EXPECT_EQ(a.data(), test::smfWithText(10));
    EXPECT_EQ(b.data(), test::smfWithText(20));
    EXPECT_FALSE(exists(temporarySongPath()));
}

} // namespace
} // namespace qel
