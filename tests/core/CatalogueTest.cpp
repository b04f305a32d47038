#include "core/Catalogue.h"

#include <gtest/gtest.h>
#include <string>

namespace qel {
namespace {

TEST(Catalogue, CategoryTablesHoldSeventeenEntriesInValueOrder) {
    EXPECT_STREQ(categoryNames[category::Timbre], "Timber");
    EXPECT_STREQ(categoryNames[category::WaveData], "Wave Data");
    EXPECT_STREQ(categoryNames[category::SMF], "SMF");
    EXPECT_STREQ(groupCaptions[category::Voice], "TONE WITH WAVE");
    EXPECT_STREQ(groupCaptions[category::Inst], "DRUM WITH WAVE");
    EXPECT_STREQ(groupCaptions[category::DrawbarOrgan], "DRAWBAR ORGAN");
    EXPECT_EQ(std::size(categoryNames), 17u);
    EXPECT_EQ(std::size(groupCaptions), 17u);
}

TEST(Catalogue, ReservedCategoryHasNoNameAndNoCaption) {
    EXPECT_STREQ(categoryNames[category::Reserved], "");
    EXPECT_STREQ(groupCaptions[category::Reserved], "");
}

TEST(Catalogue, EveryCategoryNumberHasANameAndNoneReadsOutsideTheTable) {
    const std::pair<unsigned, const char*> cases[] = {
        {2, "Tone"},         {16, "SMF"},         {15, "category 15"},
        {17, "category 17"}, {0x8000, "Package"}, {0xFFFF, "category 65535"}};
    for (const auto& [number, name] : cases)
        EXPECT_EQ(categoryName(number), name) << number;
}

TEST(Catalogue, PackageTypesStandForCategory0x8000) {
    for (type::id t :
         {type::UserToneWithWave, type::UserDrumWithWave, type::Package, type::AllUserData}) {
        EXPECT_EQ(static_cast<std::uint16_t>(categoryOfType[t]), 0x8000) << int(t);
        EXPECT_EQ(categoryOf(t), category::Package);
    }
    EXPECT_GT(static_cast<std::uint16_t>(category::Package),
              static_cast<std::uint16_t>(category::SMF));
}

TEST(Catalogue, EveryTypeHasItsLabelExtensionAndCategory) {
    struct Row {
        type::id type;
        const char* label;
        const char* extension;
        std::uint16_t category;
    };
    const Row rows[] = {
        {type::UserTone, "USER TONE", ".z05", category::Tone},
        {type::UserDsp, "USER DSP", ".z07", category::DSP},
        {type::UserDrawbarOrgan, "USER DRAWBAR ORGAN", ".z04", category::DrawbarOrgan},
        {type::UserToneWithWave, "USER TONE WITH WAVE", ".z06", category::Package},
        {type::UserDrumWithWave, "USER DRUM WITH WAVE", ".z03", category::Package},
        {type::UserRhythm, "USER RHYTHM", ".z00", category::Rhythm},
        {type::Registration, "REGISTRATION", ".z01", category::Registration},
        {type::Song, "SONG", ".z02", category::Song},
        {type::Smf, "SMF", ".mid", category::SMF},
        {type::Package, "PACKAGE", ".z08", category::Package},
        {type::AllUserData, "ALL USER DATA", ".z09", category::Package},
    };
    for (const Row& row : rows) {
        EXPECT_STREQ(typeLabels[row.type], row.label);
        EXPECT_STREQ(typeExtensions[row.type], row.extension);
        EXPECT_EQ(categoryOf(row.type), row.category);
        EXPECT_EQ(typeOfExtension(row.extension), row.type);
    }
}

TEST(Catalogue, ExtensionLookUpLowerCasesFirst) {
    EXPECT_EQ(typeOfExtension(".Z05"), type::UserTone);
    EXPECT_EQ(typeOfExtension(".MID"), type::Smf);
    EXPECT_EQ(typeOfExactExtension(".Z05"), std::nullopt);
    EXPECT_EQ(categoryOf(*typeOfExtension(".mid")), category::SMF);
}

TEST(Catalogue, ExtensionMustMatchWhole) {
    for (const char* extension : {"", ".", ".z0", ".z055", "z05", ".z10", ".midi", ".vdf"})
        EXPECT_EQ(typeOfExtension(extension), std::nullopt) << extension;
}

} // namespace
} // namespace qel
