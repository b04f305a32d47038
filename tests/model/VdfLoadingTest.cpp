// Recognising PC files by content and reading their headers and directories.

#include "core/Exception.h"
#include "model/ContainerLayout.h"
#include "model/VdfData.h"
#include "model/VdfDataAttribute.h"
#include "platform/files/DosFileTime.h"
#include "support/Hex.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"

#include <ctime>
#include <gtest/gtest.h>
#include <utime.h>

namespace qel {
namespace {

using test::hex;
using test::PackageBuilder;
using test::ScratchFolder;
using test::singleItemFile;
using test::writeFile;

ByteVector bytesOf(std::string_view text) {
    return ByteVector(text.begin(), text.end());
}

std::string loadError(const std::string& path) {
    try {
        VdfData item(path);
    } catch (const Exception& error) {
        return error.message();
    }
    return "";
}

// Content that is neither a song nor a container file, and where it fails.
struct Refused {
    const char* what;
    ByteVector content;
};

TEST(VdfLoading, ContentThatIsNoPcFileIsIllegalFormat) {
    ByteVector signature = bytesOf("VORLA Music Lib");
    ByteVector wrong16th = signature;
    wrong16th.push_back(0x01);
    ByteVector shortHeader = signature;
    shortHeader.resize(63, 0x00);
    ByteVector shortDirectory = singleItemFile(category::Package, type::Package, ByteVector(511));
    ByteVector noClass0 = singleItemFile(category::Command, type::UserTone, ByteVector(4));
    ByteVector noClass15 = singleItemFile(category::Reserved, type::UserTone, ByteVector(4));
    ByteVector noClass17 =
        singleItemFile(static_cast<category::id>(17), type::UserTone, ByteVector(4));
    ByteVector unknownType =
        singleItemFile(category::Registration, type::Registration, ByteVector(240));
    unknownType[27] = 11;
    const Refused cases[] = {
        {"empty file", {}},
        {"first two letters of MThd", bytesOf("MT")},
        {"MTh and a space", bytesOf("MTh ")},
        {"15 signature bytes only", signature},
        {"16th byte not zero", wrong16th},
        {"shorter than the 64-byte header", shortHeader},
        {"package shorter than its directory", shortDirectory},
        {"category 0 has no class", noClass0},
        {"category 15 has no class", noClass15},
        {"category 17 has no class", noClass17},
        {"type 11 is unknown", unknownType},
    };
    ScratchFolder folder;
    for (const Refused& c : cases) {
        writeFile(folder / "x.vdf", c.content);
        EXPECT_EQ(loadError(folder / "x.vdf"), "Illegal Format") << c.what;
    }
    EXPECT_EQ(loadError(folder / "missing.vdf"), "Illegal Format");
    EXPECT_EQ(loadError(folder.path()), "Not a regular file: " + folder.path()) << "a folder";
}

TEST(VdfLoading, ShortFileIsRefusedAfterASongWasRecognised) {
    ScratchFolder folder;
    writeFile(folder / "song.mid", bytesOf("MThd\0\0\0\6"));
    VdfData song(folder / "song.mid");
    EXPECT_EQ(song.category(), category::SMF);
    writeFile(folder / "two.mid", bytesOf("MT"));
    EXPECT_EQ(loadError(folder / "two.mid"), "Illegal Format");
}

TEST(VdfLoading, SongIsRecognisedByContentNotExtension) {
    ScratchFolder folder;
    ByteVector song = bytesOf("MThd");
    song.resize(301, 0x20);
    writeFile(folder / "Tune.vdf", song);
    VdfData item(folder / "Tune.vdf");
    EXPECT_EQ(item.category(), category::SMF);
    EXPECT_EQ(item.type(), type::Smf);
    EXPECT_EQ(item.size(), 301u);
    EXPECT_EQ(item.name(), "Tune    ");
    EXPECT_TRUE(item.header().empty());
    EXPECT_TRUE(item.data().empty());

    // A container file named .mid is a container file.
    writeFile(folder / "Reg.mid",
              singleItemFile(category::Registration, type::Registration, ByteVector(240)));
    VdfData container(folder / "Reg.mid");
    EXPECT_EQ(container.category(), category::Registration);
    EXPECT_EQ(container.type(), type::Registration);
}

TEST(VdfLoading, ContainerHeaderGivesSizeCategoryCountAndType) {
    ScratchFolder folder;
    ByteVector file = singleItemFile(category::DSP, type::UserDsp, ByteVector(36, 'D'), 0x01020304);
    file[24] = 0x01; // item count 0x0107
    file[25] = 0x07;
    file[20] = 0x99; // ignored bytes
    file[26] = 0x55;
    file[40] = 0x77;
    writeFile(folder / "dsp.vdf", file);
    VdfData item(folder / "dsp.vdf");
    EXPECT_EQ(item.size(), 0x01020304u);
    EXPECT_EQ(item.category(), category::DSP);
    EXPECT_EQ(item.itemCount(), 0x0107);
    EXPECT_EQ(item.type(), type::UserDsp);
    EXPECT_EQ(item.header(), ByteVector(file.begin(), file.begin() + 64));
    EXPECT_TRUE(item.data().empty()) << "loading never reads the item data";
    EXPECT_TRUE(item.directoryBlock().empty());
    EXPECT_EQ(item.path(), folder / "dsp.vdf");
    EXPECT_FALSE(item.waveFlag());
}

TEST(VdfLoading, PackageSizeIsTheSumOfTheTwentyNineSizeFields) {
    ScratchFolder folder;
    PackageBuilder builder(type::Package);
    builder.song(0, "S0", 1001).song(9, "S9", 4).rhythm(0, "R0", 20).rhythm(7, "R7", 30);
    builder.toneGroup({10, 0, 12}).drumGroup({7, 9});
    ByteVector file = builder.build();
    // Sizes the loader must not count: slot counts and index table sizes.
    writeFile(folder / "p.vdf", file);
    VdfData item(folder / "p.vdf");
    EXPECT_EQ(item.category(), category::Package);
    EXPECT_EQ(item.size(), 1001u + 4 + 20 + 30 + 22 + 16)
        << "header size field 0x12345678 is replaced";
    EXPECT_EQ(item.directoryBlock(), ByteVector(file.begin() + 64, file.begin() + 576));
    EXPECT_EQ(item.name(), "p       ");
}

TEST(VdfLoading, PackageWithAllSizeFieldsZeroHasSizeZeroWhateverTheHeaderSays) {
    ScratchFolder folder;
    // A package header on a file whose type says "user tone": 512 bytes are
    // read as the directory anyway.
    ByteVector file = singleItemFile(category::Package, type::UserTone, ByteVector(512, 0), 999);
    writeFile(folder / "t.vdf", file);
    VdfData item(folder / "t.vdf");
    EXPECT_EQ(item.size(), 0u);
    EXPECT_EQ(item.directoryBlock().size(), 512u);
}

TEST(VdfLoading, SizeFieldSumBeyondThirtyTwoBitsIsIllegalFormat) {
    ScratchFolder folder;
    ByteVector file = PackageBuilder().build();
    for (std::size_t i = 0; i < 10; ++i) // ten song sizes of 0x80000000
        file[64 + 146 + 8 * i] = 0x80;
    writeFile(folder / "p.vdf", file);
    EXPECT_EQ(loadError(folder / "p.vdf"), "Illegal Format");
}

// Names of named categories come from the data at 64 + name offset.
struct NamedCase {
    category::id category;
    type::id type;
    std::size_t size;
    std::size_t nameOffset;
};

TEST(VdfLoading, NamedCategoriesTakeTheEightNameBytesFromTheData) {
    const NamedCase cases[] = {
        {category::Tone, type::UserTone, 70, 36},
        {category::Drum, type::UserDrumWithWave, 1056, 0},
        {category::DSP, type::UserDsp, 36, 0},
        {category::Rhythm, type::UserRhythm, 100, 2},
        {category::DrawbarOrgan, type::UserDrawbarOrgan, 92, 58},
    };
    ScratchFolder folder;
    const ByteVector name = hex("41 20 00 42 FF 2F 5C 20"); // spaces, zero, 0xFF, separators
    for (const NamedCase& c : cases) {
        ByteVector data(c.size, 0x11);
        std::copy(name.begin(), name.end(),
                  data.begin() + static_cast<std::ptrdiff_t>(c.nameOffset));
        writeFile(folder / "file.vdf", singleItemFile(c.category, c.type, data));
        VdfData item(folder / "file.vdf");
        EXPECT_EQ(ByteVector(item.name().begin(), item.name().end()), name) << c.category;
    }
}

TEST(VdfLoading, NamedItemWhoseNameLiesPastTheEndIsIllegalFormat) {
    ScratchFolder folder;
    // A tone header on 40 data bytes: the name (bytes 100-107) is missing.
    writeFile(folder / "t.vdf",
              singleItemFile(category::Tone, type::UserTone, ByteVector(40, 1), 70));
    EXPECT_EQ(loadError(folder / "t.vdf"), "Illegal Format");
}

TEST(VdfLoading, UnnamedCategoriesTakeTheFileNamePaddedToEight) {
    struct Case {
        const char* file;
        const char* name;
    };
    const Case cases[] = {
        {"AB.vdf", "AB      "},       {"ABCDEFGHIJ.vdf", "ABCDEFGHIJ"},
        {"EIGHTCHR.vdf", "EIGHTCHR"}, {"my.reg.vdf", "my.reg  "},
        {"noext", "noext   "},
    };
    ScratchFolder folder;
    for (const Case& c : cases) {
        writeFile(folder / c.file,
                  singleItemFile(category::Registration, type::Registration, ByteVector(240)));
        EXPECT_EQ(VdfData(folder / c.file).name(), c.name) << c.file;
    }
}

TEST(VdfLoading, EmptyItemForAPackageHasTheWaveFlagOfGroupTypes) {
    for (int t = 0; t < type::count; ++t) {
        VdfData item(category::Wave, static_cast<type::id>(t));
        EXPECT_EQ(item.waveFlag(), t == 3 || t == 4) << t;
        EXPECT_TRUE(item.path().empty());
        EXPECT_TRUE(item.name().empty());
        EXPECT_EQ(item.size(), 0u);
    }
}

TEST(VdfLoading, FileTimeIsTheModificationTimePackedAsDosDateAndTime) {
    ScratchFolder folder;
    writeFile(folder / "a.vdf",
              singleItemFile(category::Registration, type::Registration, ByteVector(240)));
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 2; // March
    local.tm_mday = 15;
    local.tm_hour = 13;
    local.tm_min = 45;
    local.tm_sec = 31;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    const utimbuf times{when, when};
    ASSERT_EQ(::utime((folder / "a.vdf").c_str(), &times), 0);
    const std::uint32_t expected = (44u << 9 | 3u << 5 | 15u) << 16 | (13u << 11 | 45u << 5 | 15u);
    EXPECT_EQ(VdfData(folder / "a.vdf").fileTime(), expected);
    EXPECT_EQ(platform::dosFileTime(folder / "gone.vdf"), 0xFFFFFFFFu);
}

TEST(VdfLoading, AttributeRecordCarriesCategoryNameSizePathAndDate) {
    ScratchFolder folder;
    writeFile(folder / "Reg1.vdf",
              singleItemFile(category::Registration, type::Registration, ByteVector(240)));
    VdfData item(folder / "Reg1.vdf");
    const VdfDataAttribute attribute(item);
    EXPECT_EQ(attribute.category, category::Registration);
    EXPECT_EQ(attribute.name, "Reg1    ");
    EXPECT_EQ(attribute.size, 240u);
    EXPECT_EQ(attribute.path, folder / "Reg1.vdf");
    EXPECT_EQ(attribute.date, item.fileTime());
    EXPECT_NE(attribute.date, 0xFFFFFFFFu);
}

TEST(VdfLoading, DosDateIsClampedToItsRange) {
    std::tm early{};
    early.tm_year = 1970 - 1900;
    early.tm_mday = 1;
    EXPECT_EQ(platform::packDosDateTime(early), 0x00210000u);
    std::tm late{};
    late.tm_year = 2200 - 1900;
    late.tm_mday = 1;
    EXPECT_EQ(platform::packDosDateTime(late) >> 25, 127u);
}

} // namespace
} // namespace qel
