// Files made from items received from the keyboard: path, header, and for tone
// and drum groups the package directory and tables in front of the item bytes.

#include "model/KbdData.h"
#include "model/VdfData.h"
#include "support/Hex.h"
#include "support/RecordingMidiDialog.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace qel {
namespace {

using test::be32;
using test::hex;
using test::readFile;
using test::toHex;

std::string slice(const ByteVector& bytes, std::size_t at, std::size_t count) {
    return toHex(ByteVector(bytes.begin() + at, bytes.begin() + at + count));
}

class VdfFromKbdTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        directory = folder.path().toStdString() + "/";
    }

    KbdDataPtr received(category::id c, type::id t, std::uint16_t number) {
        auto item = std::make_shared<KbdData>(dialog, c, t, number);
        item->receive(dialog);
        return item;
    }

    QTemporaryDir folder;
    std::string directory;
    test::RecordingMidiDialog dialog;
};

TEST_F(VdfFromKbdTest, UserDspBecomesA100ByteFileNamedAfterIt) {
    ByteVector dsp(36, 0x22);
    std::copy_n("SHOWROOM", 8, dsp.begin());
    dialog.sizes[{category::DSP, 100}] = 36;
    dialog.names[{category::DSP, 100}] = "SHOWROOM";
    dialog.items[{category::DSP, 100}] = dsp;
    auto item = received(category::DSP, type::UserDsp, 100);

    VdfData file(directory, item);
    EXPECT_EQ(file.path(), directory + "SHOWROOM.vdf");
    EXPECT_TRUE(item->data().empty());
    file.save();
    const ByteVector bytes = readFile(file.path());
    ASSERT_EQ(bytes.size(), 100u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 15), "VORLA Music Lib");
    EXPECT_EQ(slice(bytes, 15, 13), "00 00 00 00 24 11 02 00 09 00 00 00 01");
    EXPECT_EQ(ByteVector(bytes.begin() + 64, bytes.end()), dsp);
    EXPECT_EQ(file.name(), "SHOWROOM");
}

TEST_F(VdfFromKbdTest, SongBecomesAMidFileOfExactlyItsBytes) {
    const ByteVector song =
        hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 04 00 FF 2F 00");
    dialog.sizes[{category::SMF, 7}] = static_cast<std::int32_t>(song.size());
    dialog.names[{category::SMF, 7}] = "MYSONG  ";
    dialog.items[{category::SMF, 7}] = song;
    VdfData file(directory, received(category::SMF, type::Smf, 7));
    EXPECT_EQ(file.path(), directory + "MYSONG  .mid");
    EXPECT_TRUE(file.header().empty());
    file.save();
    EXPECT_EQ(readFile(file.path()), song);
}

TEST_F(VdfFromKbdTest, UnsafeNameBytesBecomeUnderscoresInTheFileNameOnly) {
    const std::string name("A/B\\C\0D\x01", 8);
    dialog.sizes[{category::Tone, 750}] = 70;
    dialog.names[{category::Tone, 750}] = name;
    dialog.items[{category::Tone, 750}] = ByteVector(70, 1);
    VdfData file(directory, received(category::Tone, type::UserTone, 750));
    EXPECT_EQ(file.path(), directory + "A_B_C_D_.vdf");
    EXPECT_EQ(file.name(), name);
}

TEST_F(VdfFromKbdTest, ToneGroupIsSavedAsAPackageWithDirectoryAndTables) {
    dialog.names[{category::Tone, 850}] = "WAVES 01";
    dialog.sizes[{category::Tone, 850}] = 70;
    dialog.sizes[{category::Timbre, 520}] = 40;
    for (std::uint16_t v = 950; v < 954; ++v)
        dialog.sizes[{category::Voice, v}] = 266;
    for (std::uint16_t w = 800; w < 864; ++w) {
        dialog.sizes[{category::Wave, w}] = 46;
        // Wave data 801, 802 and 863 are empty.
        if (w != 801 && w != 802 && w != 863) {
            dialog.sizes[{category::WaveData, w}] = 10;
            dialog.items[{category::WaveData, w}] = ByteVector(10, static_cast<std::uint8_t>(w));
        }
    }
    auto group = received(category::Package, type::UserToneWithWave, 850);
    VdfData file(directory, group);
    EXPECT_EQ(file.path(), directory + "WAVES 01.vdf");
    file.save();
    const ByteVector bytes = readFile(file.path());
    const ByteVector dir(bytes.begin() + 64, bytes.begin() + 64 + 512);

    EXPECT_EQ(be32(bytes, 16), 610u);                    // size: the wave data
    EXPECT_EQ(slice(bytes, 22, 6), "80 00 00 83 00 03"); // package, 131 items, type 3
    // Slots: 1 tone group; tones at 640 + 512 (index table), then timbre, voices, waves.
    EXPECT_EQ(slice(dir, 0, 24), toHex(ByteVector(24, 0)));
    EXPECT_EQ(slice(dir, 24, 6), "00 01 00 00 04 80");
    EXPECT_EQ(slice(dir, 30, 6), "00 01 00 00 04 C6");
    EXPECT_EQ(slice(dir, 36, 6), "00 01 00 00 04 EE");
    EXPECT_EQ(slice(dir, 42, 6), "00 01 00 00 09 16");
    const std::uint32_t waveBase = 0x0916 + 64 * 46;   // 0x1496
    EXPECT_EQ(slice(dir, 48, 6), "00 00 00 00 14 96"); // no drum group: at the wave base
    EXPECT_EQ(slice(dir, 60, 6), "00 00 00 00 14 96");
    EXPECT_EQ(be32(dir, 290), 610u);
    EXPECT_EQ(be32(dir, 294), waveBase);
    for (int i = 1; i < 10; ++i) {
        EXPECT_EQ(be32(dir, 290 + 8 * i), 0u);
        EXPECT_EQ(be32(dir, 294 + 8 * i), waveBase);
    }
    EXPECT_EQ(be32(dir, 370), 0u);
    EXPECT_EQ(be32(dir, 374), waveBase + 610);
    EXPECT_EQ(be32(dir, 378), 512u);
    EXPECT_EQ(be32(dir, 382), 640u);
    EXPECT_EQ(be32(dir, 386), 0u);
    EXPECT_EQ(be32(dir, 394), 610u);
    EXPECT_EQ(be32(dir, 398), 512u);
    EXPECT_EQ(std::string(dir.begin() + 402, dir.begin() + 510),
              "SIGNATURE(S)2003VORLA QRT TN482 FileSystem" + std::string(66, ' '));
    EXPECT_EQ(slice(dir, 510, 2), "00 00");

    // Inst flags: all zero for a tone group. Wave index: empty entries all ones.
    EXPECT_EQ(ByteVector(bytes.begin() + 576, bytes.begin() + 704), ByteVector(128, 0));
    const std::size_t index = 64 + 640;
    EXPECT_EQ(slice(bytes, index, 16), "00 00 00 00 00 00 00 0A FF FF FF FF 00 00 00 00");
    EXPECT_EQ(slice(bytes, index + 24, 8), "00 00 00 0A 00 00 00 0A");
    EXPECT_EQ(slice(bytes, index + 63 * 8, 8), "FF FF FF FF 00 00 00 00");
    // Item bytes follow in the directory's order; the wave data close the file.
    EXPECT_EQ(bytes.size(), 64 + waveBase + 610);
    EXPECT_EQ(bytes[64 + waveBase], 800 & 0xFF);
    EXPECT_EQ(bytes.back(), 862 & 0xFF);
}

TEST_F(VdfFromKbdTest, DrumGroupInstFlagsMarkInstsThatPlayUserWaves) {
    dialog.names[{category::Drum, 17}] = "DRUMKIT1";
    dialog.sizes[{category::Drum, 17}] = 1056;
    for (std::uint16_t i = 0; i < 128; ++i) {
        dialog.sizes[{category::Inst, std::uint16_t(240 + i)}] = 50;
        ByteVector inst(50, 0);
        const unsigned wave = i % 2 == 0 ? 2080 + i : 100; // even insts play user waves
        inst[2] = static_cast<std::uint8_t>(0xC0 | (wave >> 8));
        inst[3] = static_cast<std::uint8_t>(wave & 0xFF);
        dialog.items[{category::Inst, std::uint16_t(240 + i)}] = inst;
    }
    auto group = received(category::Package, type::UserDrumWithWave, 17);
    VdfData file(directory, group);
    file.save();
    const ByteVector bytes = readFile(file.path());
    const ByteVector dir(bytes.begin() + 64, bytes.begin() + 576);
    EXPECT_EQ(slice(bytes, 576, 4), "01 00 01 00");
    EXPECT_EQ(be32(dir, 378), 0u);
    EXPECT_EQ(be32(dir, 386), 1024u);
    EXPECT_EQ(be32(dir, 390), 640u);
    EXPECT_EQ(slice(dir, 48, 6), "00 01 00 00 06 80"); // drum after the drum index table
    EXPECT_EQ(be32(dir, 370), 0u);                     // no wave data
    EXPECT_EQ(slice(bytes, 576 + 128, 8), "FF FF FF FF 00 00 00 00");
}

} // namespace
} // namespace qel
