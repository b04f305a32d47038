// Keyboard items built from PC file items: numbering of group and package
// children, block references rewritten for the target group, and what send()
// puts on the wire.

#include "core/Exception.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "support/Hex.h"
#include "support/RecordingMidiDialog.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace qel {
namespace {

using test::hex;
using test::RecordingMidiDialog;

VdfDataPtr fileItem(category::id c, type::id t, ByteVector data, bool waveFlag = true) {
    auto item = std::make_shared<VdfData>(c, t);
    item->setSize(static_cast<std::uint32_t>(data.size()));
    item->data() = std::move(data);
    item->setWaveFlag(waveFlag);
    return item;
}

void add(VdfData& group, category::id c, std::size_t count, std::size_t size,
         std::uint8_t fill = 0) {
    for (std::size_t i = 0; i < count; ++i)
        group.children()[c].push_back(fileItem(c, group.type(), ByteVector(size, fill)));
}

// A tone group file item as the file reader hands it over: every block present.
VdfDataPtr toneGroupFile(std::uint32_t waveDataSize = 6) {
    auto group = std::make_shared<VdfData>(category::Package, type::UserToneWithWave);
    add(*group, category::Tone, 1, 70);
    add(*group, category::Timbre, 1, 40, 0xC0);
    add(*group, category::Voice, 4, 266);
    add(*group, category::Wave, 64, 46);
    add(*group, category::WaveData, 64, waveDataSize);
    group->setSize(64 * waveDataSize);
    return group;
}

VdfDataPtr drumGroupFile(std::size_t insts = 128) {
    auto group = std::make_shared<VdfData>(category::Package, type::UserDrumWithWave);
    add(*group, category::Drum, 1, 1056);
    add(*group, category::Inst, insts, 50);
    add(*group, category::Wave, 128, 46);
    add(*group, category::WaveData, 128, 2);
    group->setSize(256);
    return group;
}

std::uint16_t word(const ByteVector& data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]);
}

TEST(KbdDataForSending, ToneGroupChildrenAreNumberedForTheTargetGroup) {
    auto file = toneGroupFile();
    KbdData group(851, 701, *file);
    struct Row {
        category::id c;
        std::size_t count;
        std::uint16_t first;
        std::uint16_t firstPosition;
    };
    for (const Row& row : {Row{category::Tone, 1, 851, 701}, Row{category::Timbre, 1, 521, 0},
                           Row{category::Voice, 4, 954, 0}, Row{category::Wave, 64, 864, 0},
                           Row{category::WaveData, 64, 864, 0}}) {
        const auto& list = group.children().at(row.c);
        ASSERT_EQ(list.size(), row.count);
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i]->number(), row.first + i) << row.c;
            EXPECT_EQ(list[i]->position(), row.firstPosition + i) << row.c;
        }
    }
    EXPECT_EQ(group.size(), 64 * 6);
    EXPECT_TRUE(file->data().empty());
    EXPECT_TRUE(file->children().at(category::Tone)[0]->data().empty());
}

TEST(KbdDataForSending, ReferencesPointAtTheBlocksOfTheTargetGroup) {
    auto file = toneGroupFile();
    KbdData group(850, 700, *file);
    const ByteVector& tone = group.children().at(category::Tone)[0]->data();
    EXPECT_EQ(word(tone, 44), 0x0208); // Timbre 520
    const ByteVector& timber = group.children().at(category::Timbre)[0]->data();
    for (std::size_t j = 0; j < 4; ++j) // Voices 950-953, flag bits C0 kept
        EXPECT_EQ(word(timber, 16 + 6 * j), 0xC000 + 950 + j);
    const ByteVector& voice = group.children().at(category::Voice)[0]->data();
    EXPECT_EQ(test::toHex(ByteVector(voice.begin() + 28, voice.begin() + 30)), "03 20");
    for (std::size_t i = 0; i < 16; ++i) // Waves 800-815
        EXPECT_EQ(word(voice, 28 + 8 * i), 800 + i);
    EXPECT_EQ(word(group.children().at(category::Voice)[3]->data(), 28), 848);
}

TEST(KbdDataForSending, InstAndDrumReferences) {
    auto file = drumGroupFile();
    file->children()[category::Inst][0]->data()[2] = 0xC0;
    KbdData group(17, 800, *file);
    const ByteVector& inst = group.children().at(category::Inst)[0]->data();
    EXPECT_EQ(inst[2], 0xC8);
    EXPECT_EQ(inst[3], 0x20); // Wave 2080, flag bits kept
    const ByteVector& drum = group.children().at(category::Drum)[0]->data();
    for (std::size_t i = 0; i < 128; ++i) // Insts 240-367
        EXPECT_EQ(word(drum, 32 + 8 * i), 240 + i);
    EXPECT_EQ(group.children().at(category::Drum)[0]->position(), 800);
}

TEST(KbdDataForSending, WithoutTheWaveFlagBytesStayAsTheyWere) {
    auto tone = fileItem(category::Tone, type::UserTone, ByteVector(70, 0x11), false);
    KbdData item(750, 600, *tone);
    EXPECT_EQ(item.data(), ByteVector(70, 0x11));
    EXPECT_EQ(item.size(), 70);
}

TEST(KbdDataForSending, ShortBlocksGetOnlyTheReferencesThatFit) {
    // Damaged items: each is one byte short of its last reference.
    struct Case {
        category::id c;
        std::size_t size;
    };
    for (const Case& c :
         {Case{category::Tone, 45}, Case{category::Timbre, 35}, Case{category::Drum, 1049},
          Case{category::Voice, 149}, Case{category::Inst, 3}, Case{category::Drum, 0}}) {
        auto item = fileItem(c.c, type::UserDrumWithWave, ByteVector(c.size, 0xAB));
        KbdData built(18, 0, *item);
        ASSERT_EQ(built.data().size(), c.size);
        if (c.size > 0) {
            EXPECT_EQ(built.data().back(), 0xAB) << c.c; // the last, partial reference untouched
        }
    }
}

TEST(KbdDataForSending, DrumWavesOfInstsWithoutUserWaveAreSkipped) {
    auto file = drumGroupFile();
    file->children()[category::Inst][1]->setWaveFlag(false);
    KbdData group(18, 801, *file);
    EXPECT_FALSE(group.children().at(category::Wave)[0]->skipSend());
    EXPECT_TRUE(group.children().at(category::Wave)[1]->skipSend());
    EXPECT_FALSE(group.children().at(category::WaveData)[1]->skipSend());

    RecordingMidiDialog dialog;
    group.send(dialog);
    const auto sends = dialog.operations("SendData 7 ");
    EXPECT_EQ(sends.size(), 127u);
    EXPECT_EQ(std::count(sends.begin(), sends.end(), "SendData 7 2209"), 0);
    EXPECT_EQ(dialog.operations("SendData 8 ").size(), 128u);
}

TEST(KbdDataForSending, WavesWithoutAnInstAreSent) {
    auto file = drumGroupFile(100);
    file->children()[category::Inst][0]->setWaveFlag(false);
    KbdData group(17, 800, *file);
    const auto& waves = group.children().at(category::Wave);
    EXPECT_TRUE(waves[0]->skipSend());
    for (std::size_t i = 100; i < waves.size(); ++i)
        EXPECT_FALSE(waves[i]->skipSend()) << i;
}

TEST(KbdDataForSending, PackageChildrenGoToTheReservedSlots) {
    auto package = std::make_shared<VdfData>(category::Package, type::Package);
    package->children()[category::Package] = {toneGroupFile(), drumGroupFile(), toneGroupFile()};
    package->children()[category::Tone] = {fileItem(category::Tone, type::Package, ByteVector(70)),
                                           fileItem(category::Tone, type::Package, ByteVector(70))};
    package->children()[category::SMF] = {fileItem(category::SMF, type::Package, ByteVector(10))};
    package->setSize(1000);
    KbdData item(0, 0, *package);
    const auto& groups = item.children().at(category::Package);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0]->number(), 860);
    EXPECT_EQ(groups[0]->position(), 710);
    EXPECT_EQ(groups[1]->number(), 20);
    EXPECT_EQ(groups[1]->position(), 803);
    EXPECT_EQ(groups[2]->number(), 861);
    EXPECT_EQ(groups[2]->position(), 711);
    // A group inside a package is numbered by the group rule from its own number.
    EXPECT_EQ(groups[2]->children().at(category::Timbre)[0]->number(), 531);
    EXPECT_EQ(groups[1]->children().at(category::Inst)[0]->number(), 240 + 3 * 128);
    EXPECT_EQ(item.children().at(category::Tone)[1]->number(), 841);
    EXPECT_EQ(item.children().at(category::Tone)[1]->position(), 691);
    EXPECT_EQ(item.children().at(category::SMF)[0]->number(), 190);
}

class KbdDataSendTest : public ::testing::Test {
protected:
    RecordingMidiDialog dialog;
};

TEST_F(KbdDataSendTest, ToneGroupSendsItsBlocksInCategoryOrderWithItsCaption) {
    auto file = toneGroupFile();
    KbdData group(850, 700, *file);
    dialog.showProgress = false;
    group.send(dialog);
    const auto sends = dialog.operations("SendData");
    ASSERT_EQ(sends.size(), 134u);
    EXPECT_EQ(sends[0], "SendData 2 850");
    EXPECT_EQ(sends[1], "SendData 3 520");
    EXPECT_EQ(sends[2], "SendData 5 950");
    EXPECT_EQ(sends[6], "SendData 7 800");
    EXPECT_EQ(sends[70], "SendData 8 800");
    EXPECT_EQ(dialog.caption, "TONE WITH WAVE");
    EXPECT_TRUE(dialog.showProgress);
    EXPECT_TRUE(dialog.operations("SendDataName").empty());
}

TEST_F(KbdDataSendTest, AnEmptyGroupSendsNothing) {
    auto file = toneGroupFile(0);
    KbdData group(850, 700, *file);
    group.send(dialog);
    EXPECT_TRUE(dialog.calls.empty());
}

TEST_F(KbdDataSendTest, RhythmsAndSmfAreFollowedByTheirNameUnlessEmpty) {
    struct Case {
        category::id c;
        type::id t;
        std::size_t size;
        std::vector<std::string> operations;
        const char* caption;
    };
    const Case cases[] = {
        {category::Rhythm,
         type::UserRhythm,
         10,
         {"SendData 11 140", "SendDataName 11 140 MYBEAT  "},
         "RHYTHM"},
        {category::SMF, type::Smf, 4, {"SendData 16 140", "SendDataName 16 140 MYBEAT  "}, "SMF"},
        {category::SMF, type::Smf, 0, {"SendData 16 140"}, "SMF"},
        {category::Tone, type::UserTone, 70, {"SendData 2 140"}, "TONE"},
    };
    for (const Case& c : cases) {
        dialog.calls.clear();
        auto file = fileItem(c.c, c.t, ByteVector(c.size), false);
        file->setName("MYBEAT  ");
        KbdData item(140, 140, *file);
        item.send(dialog);
        EXPECT_EQ(dialog.operations(), c.operations) << c.c;
        EXPECT_EQ(dialog.caption, c.caption);
    }
}

TEST_F(KbdDataSendTest, AFailingChildStopsTheSend) {
    auto file = toneGroupFile();
    KbdData group(850, 700, *file);
    dialog.failAtCall = 5; // captions count as calls: the third sendData
    EXPECT_THROW(group.send(dialog), Exception);
    EXPECT_EQ(dialog.operations("SendData").size(), 3u);
}

} // namespace
} // namespace qel
