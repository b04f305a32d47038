// Reading item data for sending: single items, packages cut into their items,
// tone and drum groups, and the refusal of positions past the end of a file.

#include "core/Exception.h"
#include "model/BigEndian.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using test::itemContent;
using test::PackageBuilder;
using test::ScratchFolder;
using test::singleItemFile;
using test::writeFile;

std::vector<std::uint32_t> sizes(std::initializer_list<std::uint32_t> list) {
    return std::vector<std::uint32_t>(list);
}

std::vector<category::id> keysOf(const VdfDataChildren& children) {
    std::vector<category::id> keys;
    for (const auto& [c, items] : children)
        keys.push_back(c);
    return keys;
}

VdfDataPtr loadForSending(const std::string& path) {
    auto item = std::make_shared<VdfData>(path);
    item->loadForSending();
    return item;
}

std::string sendingError(const std::string& path) {
    try {
        loadForSending(path);
    } catch (const Exception& error) {
        return error.message();
    }
    return "";
}

TEST(VdfSending, SingleItemIsReadAfterTheHeader) {
    ScratchFolder folder;
    const ByteVector data = itemContent(category::Registration, -1, 0, 240);
    ByteVector file = singleItemFile(category::Registration, type::Registration, data);
    file.push_back(0xEE); // a trailing byte beyond the size field is not read
    writeFile(folder / "r.vdf", file);
    auto item = loadForSending(folder / "r.vdf");
    EXPECT_EQ(item->data(), data);
    EXPECT_EQ(item->size(), 240u);
    EXPECT_TRUE(item->children().empty());
}

TEST(VdfSending, SizeFieldPastTheEndOfASingleItemIsIllegalFormat) {
    ScratchFolder folder;
    writeFile(folder / "r.vdf",
              singleItemFile(category::Registration, type::Registration, ByteVector(240), 241));
    EXPECT_EQ(sendingError(folder / "r.vdf"), "Illegal Format");
    writeFile(folder / "huge.vdf", singleItemFile(category::Registration, type::Registration,
                                                  ByteVector(240), 0xFFFFFFFF));
    EXPECT_EQ(sendingError(folder / "huge.vdf"), "Illegal Format");
}

TEST(VdfSending, SingleItemLargerThanTheDataAreaIsIllegalFormatEvenWhenTheFileHoldsIt) {
    ScratchFolder folder;
    const auto largest = static_cast<std::size_t>(KbdData::maximumItemSize);
    writeFile(folder / "fits.vdf",
              singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(largest, 1)));
    EXPECT_EQ(loadForSending(folder / "fits.vdf")->data().size(), largest);
    writeFile(folder / "large.vdf",
              singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(largest + 1, 1)));
    EXPECT_EQ(sendingError(folder / "large.vdf"), "Illegal Format");
}

TEST(VdfSending, SongOfTypePackageInAContainerIsReadFromByteZeroUnconverted) {
    ScratchFolder folder;
    ByteVector file = singleItemFile(category::SMF, type::Package, ByteVector(10, 0x42), 20);
    writeFile(folder / "s.vdf", file);
    auto item = loadForSending(folder / "s.vdf");
    EXPECT_EQ(item->data(), ByteVector(file.begin(), file.begin() + 20));
}

TEST(VdfSending, ToneGroupFileKeepsOnlyItsGroupsItems) {
    ScratchFolder folder;
    PackageBuilder builder(type::UserToneWithWave);
    builder.registrations(1).dsps(2).tones(1).song(0, "SONG", 10).rhythm(0, "RHY", 12);
    builder.toneGroup(sizes({100, 0, 50}));
    writeFile(folder / "tg.vdf", builder.build());
    auto item = loadForSending(folder / "tg.vdf");
    const auto& children = item->children();
    EXPECT_EQ(keysOf(children),
              (std::vector<category::id>{category::Tone, category::Timbre, category::Voice,
                                         category::Wave, category::WaveData}));
    ASSERT_EQ(children.at(category::Tone).size(), 1u);
    EXPECT_EQ(children.at(category::Tone)[0]->data(), itemContent(category::Tone, 0, 0, 70));
    EXPECT_EQ(children.at(category::Timbre)[0]->data(), itemContent(category::Timbre, 0, 0, 40));
    ASSERT_EQ(children.at(category::Voice).size(), 4u);
    EXPECT_EQ(children.at(category::Voice)[3]->data(), itemContent(category::Voice, 0, 3, 266));
    ASSERT_EQ(children.at(category::Wave).size(), 64u);
    EXPECT_EQ(children.at(category::Wave)[63]->data(), itemContent(category::Wave, 0, 63, 46));
    const auto& waveData = children.at(category::WaveData);
    ASSERT_EQ(waveData.size(), 64u);
    EXPECT_EQ(waveData[0]->data(), itemContent(category::WaveData, 0, 0, 100));
    EXPECT_EQ(waveData[1]->size(), 0u);
    EXPECT_EQ(waveData[2]->data(), itemContent(category::WaveData, 0, 2, 50));
    for (const auto& [c, items] : children)
        for (const VdfDataPtr& child : items) {
            EXPECT_TRUE(child->waveFlag()) << c;
            EXPECT_EQ(child->type(), type::UserToneWithWave);
            EXPECT_TRUE(child->path().empty());
            EXPECT_TRUE(child->header().empty());
            EXPECT_TRUE(child->name().empty());
        }
}

TEST(VdfSending, DrumGroupFileTakesInstFlagsFromTheTable) {
    ScratchFolder folder;
    ByteVector flags(128, 0);
    flags[0] = 1;
    flags[1] = 2; // only exactly 1 sets the flag
    flags[127] = 1;
    PackageBuilder builder(type::UserDrumWithWave);
    builder.drumGroup(sizes({8, 0, 6}), flags);
    writeFile(folder / "dg.vdf", builder.build());
    auto item = loadForSending(folder / "dg.vdf");
    const auto& children = item->children();
    EXPECT_EQ(keysOf(children), (std::vector<category::id>{category::Drum, category::Inst,
                                                           category::Wave, category::WaveData}));
    EXPECT_EQ(children.at(category::Drum)[0]->data(), itemContent(category::Drum, 100, 0, 1056));
    const auto& insts = children.at(category::Inst);
    ASSERT_EQ(insts.size(), 128u);
    EXPECT_EQ(insts[5]->data(), itemContent(category::Inst, 100, 5, 50));
    EXPECT_TRUE(insts[0]->waveFlag());
    EXPECT_FALSE(insts[1]->waveFlag());
    EXPECT_FALSE(insts[2]->waveFlag());
    EXPECT_TRUE(insts[127]->waveFlag());
    EXPECT_EQ(children.at(category::Wave).size(), 128u);
    EXPECT_TRUE(children.at(category::Wave)[1]->waveFlag());
    EXPECT_EQ(children.at(category::WaveData)[2]->data(),
              itemContent(category::WaveData, 100, 2, 6));
}

TEST(VdfSending, GroupFileWithoutAGroupHasNoItems) {
    ScratchFolder folder;
    writeFile(folder / "tg.vdf", PackageBuilder(type::UserToneWithWave).dsps(1).build());
    EXPECT_TRUE(loadForSending(folder / "tg.vdf")->children().empty());
}

TEST(VdfSending, PackageKeepsEverySlotEightRhythmsAndTenSongs) {
    ScratchFolder folder;
    PackageBuilder builder(type::Package);
    builder.registrations(2).dsps(1).drawbarOrgans(3).tones(2);
    builder.song(3, "MYSONG", 40).rhythm(5, "GROOVE  ", 24);
    builder.toneGroup(sizes({4})).toneGroup(sizes({0, 6})).drumGroup(sizes({2}));
    writeFile(folder / "p.vdf", builder.build());
    auto item = loadForSending(folder / "p.vdf");
    const auto& children = item->children();
    EXPECT_EQ(keysOf(children),
              (std::vector<category::id>{category::Tone, category::DSP, category::Rhythm,
                                         category::Registration, category::DrawbarOrgan,
                                         category::SMF, category::Package}));
    EXPECT_EQ(children.at(category::Registration).size(), 8u) << "count 2 means 8 registrations";
    EXPECT_EQ(children.at(category::Registration)[7]->data(),
              itemContent(category::Registration, -1, 7, 240));
    EXPECT_EQ(children.at(category::DSP).size(), 1u);
    EXPECT_EQ(children.at(category::DrawbarOrgan)[2]->data(),
              itemContent(category::DrawbarOrgan, -1, 2, 92));
    EXPECT_EQ(children.at(category::Tone)[1]->data(), itemContent(category::Tone, -1, 1, 70));
    for (const VdfDataPtr& tone : children.at(category::Tone)) {
        EXPECT_FALSE(tone->waveFlag());
        EXPECT_EQ(tone->type(), type::Package);
    }

    const auto& songs = children.at(category::SMF);
    ASSERT_EQ(songs.size(), 10u);
    EXPECT_EQ(songs[3]->data(), itemContent(category::SMF, -1, 3, 40));
    EXPECT_EQ(songs[3]->name(), "MYSONG  ");
    EXPECT_EQ(songs[0]->size(), 0u);
    EXPECT_TRUE(songs[0]->data().empty());
    EXPECT_EQ(songs[0]->name(), "        ");

    const auto& rhythms = children.at(category::Rhythm);
    ASSERT_EQ(rhythms.size(), 8u);
    EXPECT_EQ(rhythms[5]->name(), "GROOVE  ");
    EXPECT_EQ(rhythms[5]->size(), 24u);
    EXPECT_TRUE(rhythms[0]->name().empty()) << "an empty rhythm gets no name";
    EXPECT_EQ(rhythms[0]->size(), 0u);

    const auto& groups = children.at(category::Package);
    ASSERT_EQ(groups.size(), 3u) << "tone groups first, then drum groups";
    EXPECT_EQ(groups[0]->type(), type::UserToneWithWave);
    EXPECT_EQ(groups[0]->size(), 4u);
    EXPECT_EQ(groups[1]->type(), type::UserToneWithWave);
    EXPECT_EQ(groups[1]->size(), 6u);
    EXPECT_EQ(groups[1]->children().at(category::Tone)[0]->data(),
              itemContent(category::Tone, 1, 0, 70));
    EXPECT_EQ(groups[1]->children().at(category::WaveData)[1]->data(),
              itemContent(category::WaveData, 1, 1, 6));
    EXPECT_EQ(groups[2]->type(), type::UserDrumWithWave);
    EXPECT_EQ(groups[2]->size(), 2u);
}

TEST(VdfSending, EmptyPackageStillHasEightRhythmAndTenSongEntries) {
    ScratchFolder folder;
    writeFile(folder / "p.vdf", PackageBuilder(type::Package).build());
    auto item = loadForSending(folder / "p.vdf");
    EXPECT_EQ(item->size(), 0u);
    EXPECT_EQ(item->children().at(category::SMF).size(), 10u);
    EXPECT_EQ(item->children().at(category::Rhythm).size(), 8u);
    EXPECT_EQ(item->children().count(category::Package), 0u);
}

TEST(VdfSending, OddSongAndWaveEntriesArePaddedWithOneZeroByte) {
    ScratchFolder folder;
    PackageBuilder builder(type::Package);
    builder.song(0, "ODD", 1001).song(1, "EVEN", 1000).rhythm(0, "RODD", 15).toneGroup(sizes({7}));
    writeFile(folder / "p.vdf", builder.build());
    auto item = loadForSending(folder / "p.vdf");
    const auto& odd = *item->children().at(category::SMF)[0];
    EXPECT_EQ(odd.size(), 1002u);
    ASSERT_EQ(odd.data().size(), 1002u);
    EXPECT_EQ(odd.data().back(), 0x00);
    EXPECT_EQ(ByteVector(odd.data().begin(), odd.data().end() - 1),
              itemContent(category::SMF, -1, 0, 1001));
    EXPECT_EQ(item->children().at(category::SMF)[1]->size(), 1000u);
    EXPECT_EQ(item->children().at(category::Rhythm)[0]->size(), 16u);
    const auto& wave =
        *item->children().at(category::Package)[0]->children().at(category::WaveData)[0];
    EXPECT_EQ(wave.size(), 8u);
    EXPECT_EQ(wave.data().back(), 0x00);
}

TEST(VdfSending, AbsentWaveEntryGivesAnEmptyItemWhateverItsSizeField) {
    ScratchFolder folder;
    PackageBuilder builder(type::UserToneWithWave);
    builder.toneGroup(sizes({0, 10}));
    ByteVector file = builder.build();
    // Entry 0 is FF FF FF FF 00 00 00 00; give it a size field that would matter.
    const std::size_t entry0 = 64 + builder.toneIndexOffset();
    ASSERT_EQ(files::readBigEndian(file, entry0, 4), 0xFFFFFFFFu);
    files::writeBigEndian(file, entry0 + 4, 1234, 4);
    writeFile(folder / "tg.vdf", file);
    auto item = loadForSending(folder / "tg.vdf");
    const auto& waveData = item->children().at(category::WaveData);
    EXPECT_EQ(waveData[0]->size(), 0u);
    EXPECT_TRUE(waveData[0]->data().empty());
    EXPECT_EQ(waveData[1]->size(), 10u);
}

// A package whose directory points past the end of the file is refused before
// anything is sent: one row per field that can do it.
struct Damage {
    const char* what;
    std::size_t directoryOffset; // within the 512 bytes
    int width;
    std::uint32_t value;
};

TEST(VdfSending, PositionsPastTheEndOfAPackageAreIllegalFormat) {
    const Damage cases[] = {
        {"song offset", 146 + 4, 4, 0x00FFFFFF},
        {"song size", 146, 4, 0x7FFFFFFF},
        {"rhythm offset", 226 + 4, 4, 0xFFFFFFF0},
        {"rhythm name past the end", 226 + 8 + 4, 4, 0},
        {"registration count", 0, 2, 0xFFFF},
        {"DSP slot offset", 6 + 2, 4, 0x10000000},
        {"tone group voices offset", 36 + 2, 4, 0x01000000},
        {"tone wave index table offset", 382, 4, 0xFFFFFF00},
        {"drum wave index table offset", 390, 4, 0xFFFFFFFF},
        {"inst flag table offset", 398, 4, 0x00FFFFFF},
        {"tone group wave base", 290 + 4, 4, 0xFFFFFF00},
        {"drum group wave base", 370 + 4, 4, 0x7FFFFFFF},
        {"eleven tone groups", 24, 2, 11},
        {"two drum groups", 48, 2, 2},
        {"65535 tone groups", 24, 2, 0xFFFF},
    };
    ScratchFolder folder;
    PackageBuilder builder(type::Package);
    builder.song(0, "A", 10).rhythm(0, "R", 12).rhythm(1, "S", 12).registrations(1).dsps(1);
    builder.toneGroup(sizes({4, 4})).drumGroup(sizes({2}), ByteVector(128, 1));
    const ByteVector good = builder.build();
    writeFile(folder / "good.vdf", good);
    ASSERT_NO_THROW(loadForSending(folder / "good.vdf"));
    for (const Damage& d : cases) {
        ByteVector file = good;
        files::writeBigEndian(file, 64 + d.directoryOffset, d.value, d.width);
        if (std::string(d.what) == "rhythm name past the end") {
            // Rhythm 1 of size 4 at the last 4 bytes: its name would reach past the end.
            files::writeBigEndian(file, 64 + 226 + 8, 4, 4);
            files::writeBigEndian(file, 64 + 226 + 12,
                                  static_cast<std::uint32_t>(file.size() - 64 - 4), 4);
        }
        writeFile(folder / "bad.vdf", file);
        EXPECT_EQ(sendingError(folder / "bad.vdf"), "Illegal Format") << d.what;
    }
}

TEST(VdfSending, TruncatedPackageIsIllegalFormat) {
    ScratchFolder folder;
    PackageBuilder builder(type::Package);
    builder.song(9, "LAST", 100);
    ByteVector file = builder.build();
    writeFile(folder / "p.vdf", file);
    VdfData item(folder / "p.vdf");
    file.resize(file.size() - 1);
    writeFile(folder / "p.vdf", file); // shortened after loading
    EXPECT_THROW(
        {
            try {
                item.loadForSending();
            } catch (const Exception& e) {
                EXPECT_EQ(e.message(), "Illegal Format");
                throw;
            }
        },
        Exception);
}

TEST(VdfSending, FileRemovedAfterLoadingCannotBeOpened) {
    ScratchFolder folder;
    writeFile(folder / "r.vdf",
              singleItemFile(category::Registration, type::Registration, ByteVector(240)));
    writeFile(folder / "p.vdf", PackageBuilder().build());
    VdfData single(folder / "r.vdf");
    VdfData package(folder / "p.vdf");
    std::remove((folder / "r.vdf").c_str());
    std::remove((folder / "p.vdf").c_str());
    for (VdfData* item : {&single, &package}) {
        try {
            item->loadForSending();
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.message(), "Can't open the file: " + item->path());
        }
    }
}

} // namespace
} // namespace qel
