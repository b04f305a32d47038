#include "kbdsim/DemoContent.h"

#include "core/Catalogue.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/SlotLayout.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

namespace kbdsim {
namespace {

namespace category = qel::category;
using qel::test::toHex;

std::string wordAt(const Bytes& data, std::size_t at) {
    return toHex(Bytes(data.begin() + static_cast<std::ptrdiff_t>(at),
                       data.begin() + static_cast<std::ptrdiff_t>(at + 2)));
}

TEST(SlotLayout, GroupChildrenAreNumberedByTheirGroup) {
    const auto tone = layout::toneGroupChildren(851);
    EXPECT_EQ(tone[0].first, 851);
    EXPECT_EQ(tone[1].first, 521);
    EXPECT_EQ(tone[2].first, 954);
    EXPECT_EQ(tone[3].first, 864);
    EXPECT_EQ(tone[4].first, 864);
    EXPECT_EQ(tone[4].count, 64);
    const auto drum = layout::drumGroupChildren(18);
    EXPECT_EQ(drum[1].first, 368);
    EXPECT_EQ(drum[3].first, 2208);
    EXPECT_EQ(drum[3].count, 128);
    EXPECT_EQ(layout::groupOf(category::WaveData, 927), 851);
    EXPECT_EQ(layout::groupOf(category::WaveData, 928), 852);
    EXPECT_EQ(layout::groupOf(category::WaveData, 2591), 20);
    EXPECT_EQ(layout::groupOf(category::Tone, 849), std::nullopt);
}

TEST(SlotLayout, UserSlotBoundaries) {
    struct Case {
        std::uint16_t category;
        std::uint16_t first;
        std::uint16_t last;
    };
    const Case cases[] = {
        {category::Tone, 750, 869},
        {category::DSP, 100, 199},
        {category::DrawbarOrgan, 100, 199},
        {category::Rhythm, 140, 155},
        {category::Registration, 32, 63},
        {category::Song, 0, 4},
        {category::SMF, 0, 199},
        {category::Timbre, 520, 539},
        {category::Voice, 950, 1029},
        {category::Drum, 17, 20},
        {category::Inst, 240, 751},
        {category::Wave, 800, 2591},
        {category::WaveData, 800, 2591},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(layout::isUserSlot(c.category, c.first)) << c.category;
        EXPECT_TRUE(layout::isUserSlot(c.category, c.last)) << c.category;
        if (c.first > 0) {
            EXPECT_FALSE(layout::isUserSlot(c.category, c.first - 1)) << c.category;
        }
        EXPECT_FALSE(layout::isUserSlot(c.category, c.last + 1)) << c.category;
    }
    EXPECT_FALSE(layout::isUserSlot(category::Patch, 0));
    EXPECT_FALSE(layout::isUserSlot(category::AnalogSynth, 0));
}

TEST(DemoContent, GroupBlocksReferToTheBlocksOfTheirOwnGroup) {
    KeyboardMemory memory;
    fillDemoContent(memory);
    EXPECT_EQ(wordAt(*memory.data(category::Tone, 850), 44), "02 08"); // Timbre 520
    const Bytes& timber = *memory.data(category::Timbre, 520);
    for (std::size_t j = 0; j < 4; ++j) // Voices 950..953
        EXPECT_EQ((timber[16 + 6 * j] << 8 | timber[17 + 6 * j]) & 0x3FFF, 950 + j);
    const Bytes& voice = *memory.data(category::Voice, 951);
    EXPECT_EQ(wordAt(voice, 28), "03 30");          // Wave 816
    EXPECT_EQ(wordAt(voice, 28 + 8 * 15), "03 3F"); // Wave 831
    const Bytes& drum = *memory.data(category::Drum, 17);
    EXPECT_EQ(wordAt(drum, 32), "00 F0");                             // Inst 240
    EXPECT_EQ(wordAt(drum, 32 + 8 * 127), "01 6F");                   // Inst 367
    EXPECT_EQ(wordAt(*memory.data(category::Inst, 241), 2), "08 21"); // Wave 2081
}

TEST(DemoContent, InitialGroupBlocksReferToTheirGroupToo) {
    EXPECT_EQ(wordAt(KeyboardMemory::initialBlock(category::Tone, 869), 44), "02 1B"); // 539
    EXPECT_EQ(wordAt(KeyboardMemory::initialBlock(category::Inst, 751), 2), "0A 1F");  // 2591
    EXPECT_EQ(wordAt(KeyboardMemory::initialBlock(category::Tone, 750), 44), "00 00"); // no group
}

TEST(DemoContent, SmfsAreWellFormedFormatZeroFilesOfEvenSize) {
    for (unsigned notes : {0u, 1u, 4u, 12u, 40u}) {
        const Bytes smf = makeDemoSmf(notes);
        ASSERT_GE(smf.size(), 22u + 4u);
        EXPECT_EQ(smf.size() % 2, 0u) << notes;
        EXPECT_EQ(std::string(smf.begin(), smf.begin() + 4), "MThd");
        EXPECT_EQ(toHex(Bytes(smf.begin() + 8, smf.begin() + 12)),
                  "00 00 00 01"); // format 0, 1 track
        EXPECT_EQ(std::string(smf.begin() + 14, smf.begin() + 18), "MTrk");
        const std::size_t length =
            static_cast<std::size_t>(smf[18]) << 24 | smf[19] << 16 | smf[20] << 8 | smf[21];
        EXPECT_EQ(length, smf.size() - 22) << notes;
        EXPECT_EQ(toHex(Bytes(smf.end() - 3, smf.end())), "FF 2F 00");
    }
}

TEST(DemoContent, UsesSomeOfBothAreasAndOnlySyntheticNames) {
    KeyboardMemory memory;
    fillDemoContent(memory);
    EXPECT_LT(memory.freeSongMemory(), songAreaSize);
    EXPECT_LT(memory.freeDataMemory(), dataAreaSize);
    for (const auto& [cat, number] : {std::pair{category::Tone, 750},
                                      {category::DSP, 100},
                                      {category::SMF, 0},
                                      {category::Rhythm, 141}})
        EXPECT_EQ(memory.name(static_cast<std::uint16_t>(cat), static_cast<std::uint16_t>(number))
                      .substr(0, 5),
                  "DEMO ");
}

} // namespace
} // namespace kbdsim
