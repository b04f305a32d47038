#include "model/KbdData.h"

#include "core/Exception.h"
#include "support/Hex.h"
#include "support/RecordingMidiDialog.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using test::RecordingMidiDialog;

class KbdDataTest : public ::testing::Test {
protected:
    RecordingMidiDialog dialog;
};

TEST_F(KbdDataTest, SongAndRegistrationNamesAreMadeFromTheNumber) {
    struct Case {
        category::id category;
        std::uint16_t number;
        const char* name;
    };
    const Case cases[] = {
        {category::Song, 3, "Song03"},         {category::Song, 0, "Song00"},
        {category::Registration, 32, "1 - 1"}, {category::Registration, 33, "1 - 2"},
        {category::Registration, 63, "8 - 4"},
    };
    for (const Case& c : cases) {
        dialog.calls.clear();
        KbdData item(dialog, c.category, type::Song, c.number);
        EXPECT_EQ(item.name(), c.name);
        // Only the size is asked; the name never travels.
        EXPECT_EQ(dialog.operations(),
                  std::vector<std::string>{"GetDataSize " + std::to_string(c.category) + " " +
                                           std::to_string(c.number)});
    }
}

TEST_F(KbdDataTest, OtherSlotsAskSizeThenNameWithTheProgressWindowHidden) {
    dialog.sizes[{category::DSP, 100}] = 36;
    dialog.names[{category::DSP, 100}] = "SHOWROOM";
    dialog.showProgress = true;
    KbdData item(dialog, category::DSP, type::UserDsp, 100);
    EXPECT_EQ(item.size(), 36);
    EXPECT_EQ(item.name(), "SHOWROOM");
    EXPECT_EQ(dialog.operations(),
              (std::vector<std::string>{"GetDataSize 9 100", "GetDataName 9 100"}));
    EXPECT_TRUE(dialog.showProgress); // given back afterwards
}

TEST_F(KbdDataTest, AFailedQueryThrowsTheDialogText) {
    dialog.failAtCall = 1; // the name query
    dialog.showProgress = true;
    try {
        KbdData item(dialog, category::Tone, type::UserTone, 750);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "MIDI TIMEOUT");
    }
    EXPECT_TRUE(dialog.showProgress);
}

struct Expected {
    category::id category;
    std::size_t count;
    std::uint16_t firstNumber;
    std::uint16_t firstPosition;
};

void expectChildren(const KbdData& group, std::initializer_list<Expected> rows) {
    ASSERT_EQ(group.children().size(), rows.size());
    for (const Expected& row : rows) {
        const auto& list = group.children().at(row.category);
        ASSERT_EQ(list.size(), row.count) << row.category;
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i]->number(), row.firstNumber + i) << row.category;
            EXPECT_EQ(list[i]->category(), row.category);
            if (row.count == 1)
                EXPECT_EQ(list[i]->position(), row.firstPosition) << row.category;
            else
                EXPECT_EQ(list[i]->position(), i) << row.category;
        }
    }
}

TEST_F(KbdDataTest, ToneGroup851IsBuiltFromItsBlocks) {
    dialog.names[{category::Tone, 851}] = "SYNWAVE1";
    dialog.sizes[{category::WaveData, 864}] = 1000;
    dialog.sizes[{category::WaveData, 927}] = 24;
    KbdData group(dialog, category::Package, type::UserToneWithWave, 851);
    expectChildren(group, {{category::Tone, 1, 851, 701},
                           {category::Timbre, 1, 521, 0},
                           {category::Voice, 4, 954, 0},
                           {category::Wave, 64, 864, 0},
                           {category::WaveData, 64, 864, 0}});
    EXPECT_EQ(group.name(), "SYNWAVE1");
    EXPECT_EQ(group.size(), 1024);
    EXPECT_EQ(group.children().at(category::Voice)[0]->type(), type::UserToneWithWave);
    EXPECT_EQ(dialog.operations("GetDataSize").size(), 134u);
}

TEST_F(KbdDataTest, DrumGroup18IsBuiltFromItsBlocks) {
    KbdData group(dialog, category::Package, type::UserDrumWithWave, 18);
    expectChildren(group, {{category::Drum, 1, 18, 801},
                           {category::Inst, 128, 368, 0},
                           {category::Wave, 128, 2208, 0},
                           {category::WaveData, 128, 2208, 0}});
    EXPECT_EQ(dialog.operations("GetDataSize").size(), 385u);
    EXPECT_EQ(group.size(), 0);
}

TEST_F(KbdDataTest, ReceiveSkipsEmptyItemsAndReadsTheRest) {
    dialog.sizes[{category::Tone, 850}] = 70;
    dialog.sizes[{category::WaveData, 801}] = 4;
    ByteVector tone(70);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<std::uint8_t>(i);
    dialog.items[{category::Tone, 850}] = tone;
    dialog.items[{category::WaveData, 801}] = test::hex("01 02 03 04");
    KbdData group(dialog, category::Package, type::UserToneWithWave, 850);
    dialog.calls.clear();
    EXPECT_TRUE(group.receive(dialog).empty());
    EXPECT_EQ(dialog.operations(),
              (std::vector<std::string>{"BeginCommunication", "ReceiveData 2 850",
                                        "BeginCommunication", "ReceiveData 8 801"}));
    EXPECT_EQ(group.children().at(category::Tone)[0]->data(), tone);
    EXPECT_EQ(group.children().at(category::WaveData)[1]->data(), test::hex("01 02 03 04"));
}

TEST_F(KbdDataTest, AnEmptySlotCausesNoTraffic) {
    KbdData item(dialog, category::SMF, type::Smf, 5);
    dialog.calls.clear();
    EXPECT_TRUE(item.receive(dialog).empty());
    EXPECT_TRUE(dialog.calls.empty());
}

TEST_F(KbdDataTest, ReceiveRefusesShortTransfersAndImpossibleSizes) {
    dialog.sizes[{category::SMF, 1}] = 10;
    dialog.items[{category::SMF, 1}] = test::hex("01 02 03");
    KbdData shortItem(dialog, category::SMF, type::Smf, 1);
    EXPECT_THROW(shortItem.receive(dialog), Exception);
    EXPECT_TRUE(shortItem.data().empty());

    for (std::int32_t size : {-1, KbdData::maximumItemSize + 1}) {
        dialog.sizes[{category::SMF, 2}] = size;
        KbdData item(dialog, category::SMF, type::Smf, 2);
        EXPECT_THROW(item.receive(dialog), Exception) << size;
    }
}

TEST_F(KbdDataTest, GroupSizesThatCannotBeTrueAreRefused) {
    for (std::int32_t size : {-5, 0x7FFFFFFF}) {
        dialog.sizes[{category::WaveData, 800}] = size;
        dialog.sizes[{category::WaveData, 801}] = size;
        EXPECT_THROW(KbdData(dialog, category::Package, type::UserToneWithWave, 850), Exception)
            << size;
    }
}

TEST_F(KbdDataTest, ReceiveGetsNoMoreThanTheItemSize) {
    dialog.sizes[{category::SMF, 1}] = 4;
    dialog.items[{category::SMF, 1}] = test::hex("01 02 03 04 05 06");
    KbdData item(dialog, category::SMF, type::Smf, 1);
    EXPECT_THROW(item.receive(dialog), Exception); // the dialog ends the transfer with 24
    EXPECT_EQ(item.data().size(), 4u);
}

TEST_F(KbdDataTest, LoadedChildCountCountsNonEmptyChildren) {
    dialog.sizes[{category::Tone, 850}] = 70;
    dialog.sizes[{category::Timbre, 520}] = 40;
    dialog.sizes[{category::WaveData, 800}] = 10;
    KbdData group(dialog, category::Package, type::UserToneWithWave, 850);
    EXPECT_EQ(group.loadedChildCount(), 3);
}

} // namespace
} // namespace qel
