// The keyboard's tables against the numbers the keyboard is known to use.

#include "core/KeyboardTables.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

struct SlotCase {
    type::id type;
    std::uint16_t firstNumber, lastNumber;
    std::uint16_t firstPosition, lastPosition;
};

void PrintTo(const SlotCase& c, std::ostream* out) {
    *out << typeLabels[c.type];
}

class SlotNumbering : public testing::TestWithParam<SlotCase> {};

TEST_P(SlotNumbering, NumbersAndPositionsRunOverTheWholeType) {
    const SlotCase c = GetParam();
    const kbdSlots::TypeRow& row = kbdSlots::of(c.type);
    EXPECT_EQ(row.firstNumber, c.firstNumber);
    EXPECT_EQ(row.firstNumber + row.count - 1, c.lastNumber);
    EXPECT_EQ(kbdSlots::positionOf(c.type, c.firstNumber), c.firstPosition);
    EXPECT_EQ(kbdSlots::positionOf(c.type, c.lastNumber), c.lastPosition);
}

INSTANTIATE_TEST_SUITE_P(Types, SlotNumbering,
                         testing::Values(SlotCase{type::UserTone, 750, 849, 600, 699},
                                         SlotCase{type::UserDsp, 100, 199, 100, 199},
                                         SlotCase{type::UserDrawbarOrgan, 100, 199, 100, 199},
                                         SlotCase{type::UserToneWithWave, 850, 869, 700, 719},
                                         SlotCase{type::UserDrumWithWave, 17, 20, 800, 803},
                                         SlotCase{type::UserRhythm, 140, 155, 140, 155},
                                         SlotCase{type::Registration, 32, 63, 0, 31},
                                         SlotCase{type::Song, 0, 4, 0, 4},
                                         SlotCase{type::Smf, 0, 199, 0, 199}));

TEST(KeyboardTables, ARefreshCountsFiveHundredAndSeventyEightSlots) {
    EXPECT_EQ(kbdSlots::totalCount(), 578);
    EXPECT_EQ(kbdSlots::of(type::Package).count, 1);
}

TEST(KeyboardTables, GroupsStartWhereTheirTypesStart) {
    EXPECT_EQ(groupLayout::firstToneGroup, kbdSlots::of(type::UserToneWithWave).firstNumber);
    EXPECT_EQ(groupLayout::firstDrumGroup, kbdSlots::of(type::UserDrumWithWave).firstNumber);
    EXPECT_EQ(groupLayout::count(type::UserToneWithWave, category::Voice), 4);
    EXPECT_EQ(groupLayout::count(type::UserToneWithWave, category::Wave), 64);
    EXPECT_EQ(groupLayout::count(type::UserDrumWithWave, category::Inst), 128);
    EXPECT_EQ(groupLayout::count(type::UserDrumWithWave, category::Voice), 0);
}

TEST(KeyboardTables, TheLastGroupsKeepTheirBlocksInsideTheKeyboardsNumbers) {
    // The 20th tone group's last wave and the 4th drum group's last wave.
    const auto* toneWaves = groupLayout::find(type::UserToneWithWave, category::Wave);
    const auto* drumWaves = groupLayout::find(type::UserDrumWithWave, category::Wave);
    ASSERT_NE(toneWaves, nullptr);
    ASSERT_NE(drumWaves, nullptr);
    EXPECT_EQ(groupLayout::firstNumber(*toneWaves, type::UserToneWithWave, 869) + 63, 2079);
    EXPECT_EQ(groupLayout::firstNumber(*drumWaves, type::UserDrumWithWave, 20) + 127, 2591);
}

TEST(KeyboardTables, EveryReferenceLeadsToAPartOfTheSameGroupType) {
    for (const auto& reference : groupLayout::references) {
        const bool inToneGroup = groupLayout::find(type::UserToneWithWave, reference.from) &&
                                 groupLayout::find(type::UserToneWithWave, reference.to);
        const bool inDrumGroup = groupLayout::find(type::UserDrumWithWave, reference.from) &&
                                 groupLayout::find(type::UserDrumWithWave, reference.to);
        EXPECT_TRUE(inToneGroup || inDrumGroup) << categoryNames[reference.from];
    }
    EXPECT_EQ(groupLayout::referencesFrom(category::Voice).size(), 1u);
    EXPECT_EQ(groupLayout::referencesFrom(category::Wave).size(), 0u);
}

TEST(KeyboardTables, OnlyFiveTypesCanBeDeleted) {
    const std::pair<type::id, int> expected[] = {
        {type::UserToneWithWave, 37},
        {type::UserDrumWithWave, 38},
        {type::UserRhythm, 36},
        {type::Song, 35},
        {type::Smf, 39},
    };
    int deletable = 0;
    for (int t = 0; t < type::count; ++t)
        if (command::deleteParameter(static_cast<type::id>(t)))
            ++deletable;
    EXPECT_EQ(deletable, 5);
    for (const auto& [t, parameter] : expected)
        EXPECT_EQ(command::deleteParameter(t), parameter) << typeLabels[t];
}

TEST(KeyboardTables, ModelsAndMemory) {
    ASSERT_NE(command::findModel(3), nullptr);
    EXPECT_EQ(command::findModel(3)->caption, "TQ-7400");
    EXPECT_TRUE(command::findModel(3)->disk);
    EXPECT_FALSE(command::findModel(1)->card);
    EXPECT_TRUE(command::findModel(2)->card);
    EXPECT_EQ(command::findModel(0), nullptr);
    EXPECT_EQ(command::findModel(4), nullptr);
    EXPECT_EQ(command::dataMemorySize, 1572840);
    EXPECT_EQ(command::songMemorySize, 65455);
}

TEST(KeyboardTables, NamesLieWhereEachCategoryKeepsThem) {
    EXPECT_EQ(nameOffsetInData(category::Tone), 36u);
    EXPECT_EQ(nameOffsetInData(category::Rhythm), 2u);
    EXPECT_EQ(nameOffsetInData(category::DrawbarOrgan), 58u);
    EXPECT_FALSE(nameOffsetInData(category::Song).has_value());
    EXPECT_EQ(transfer::fixedSize(category::Package), 0);
    EXPECT_TRUE(transfer::hasNoName(transfer::nameParameter(category::Package)));
}

} // namespace
} // namespace qel
