#include "kbdsim/KeyboardSimulator.h"

#include "PcSide.h"
#include "core/Catalogue.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/SlotLayout.h"
#include "support/Hex.h"

#include <gtest/gtest.h>
#include <numeric>

namespace kbdsim {
namespace {

using namespace kbdsim::test;
using qel::test::hex;
using qel::test::toHex;
namespace category = qel::category;

Options blank() {
    Options options;
    options.content = StartContent::Blank;
    return options;
}

Bytes counting(std::size_t size, unsigned seed = 0) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 13 + seed) & 0xFF);
    return bytes;
}

TEST(KeyboardSimulator, AnswersTheModelRequestWithTheConfiguredCode) {
    for (std::uint16_t model : {1, 2, 3, 4, 0}) {
        Options options;
        options.modelCode = model;
        KeyboardSimulator keyboard(options);
        const auto reply = onlyReply(keyboard, hex("F0 44 11 02 7F 01 00 00 0D 00 00 00 F7"));
        ASSERT_TRUE(reply) << model;
        Bytes expected = hex("F0 44 11 02 7F 00 00 00 0D 00 00 00 00 00 F7");
        expected[12] = static_cast<std::uint8_t>(model);
        EXPECT_EQ(toHex(*reply), toHex(expected));
    }
}

TEST(KeyboardSimulator, DefaultKeyboardIsModelThreeWithImmediateReplies) {
    KeyboardSimulator keyboard;
    const auto replies = keyboard.handle(hex("F0 44 11 02 7F 01 00 00 0D 00 00 00 F7"));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(toHex(replies[0].message), "F0 44 11 02 7F 00 00 00 0D 00 00 00 03 00 F7");
    EXPECT_EQ(replies[0].delay.count(), 0);
}

TEST(KeyboardSimulator, TheTwoSmfNameMessagesChangeTheStoredName) {
    KeyboardSimulator keyboard(blank());
    EXPECT_TRUE(
        keyboard.handle(hex("F0 44 11 02 7F 00 10 04 1F 03 00 00 44 06 09 0A 04 F7")).empty());
    EXPECT_TRUE(
        keyboard.handle(hex("F0 44 11 02 7F 00 10 05 1F 03 00 00 48 0E 19 2A 04 F7")).empty());
    EXPECT_EQ(keyboard.memory().name(category::SMF, 3), "ABCDEFGH");
    // ... and the name requests give the same bytes back.
    EXPECT_EQ(toHex(*onlyReply(keyboard, parameterRequest(category::SMF, 3, 4))),
              "F0 44 11 02 7F 00 10 04 1F 03 00 00 44 06 09 0A 04 F7");
    EXPECT_EQ(toHex(*onlyReply(keyboard, parameterRequest(category::SMF, 3, 5))),
              "F0 44 11 02 7F 00 10 05 1F 03 00 00 48 0E 19 2A 04 F7");
}

TEST(KeyboardSimulator, ARhythmNameGoesIntoItsDataBytesTwoToNine) {
    KeyboardSimulator keyboard(blank());
    ASSERT_EQ(keyboard.memory().canStore(category::Rhythm, 141, 40),
              KeyboardMemory::StoreResult::Stored);
    keyboard.memory().store(category::Rhythm, 141, Bytes(40, 0x11));
    keyboard.handle(parameterValue(category::Rhythm, 141, 4, 0x52485931)); // "RHY1"
    keyboard.handle(parameterValue(category::Rhythm, 141, 5, 0x2D2D2D2D)); // "----"
    const Bytes& data = *keyboard.memory().data(category::Rhythm, 141);
    EXPECT_EQ(std::string(data.begin() + 2, data.begin() + 10), "RHY1----");
    EXPECT_EQ(data[1], 0x11);
    EXPECT_EQ(data[10], 0x11);
    EXPECT_EQ(askValue(keyboard, category::Rhythm, 141, 4), 0x52485931u);
}

// Every category with user slots, at a slot the demo content fills; SMF 2 and
// the rhythms take several blocks.
TEST(KeyboardSimulator, ReceivingAnItemOfEveryCategoryGivesItsStoredBytes) {
    struct Case {
        std::uint16_t category;
        std::uint16_t number;
    };
    const Case cases[] = {
        {category::Tone, 750},        {category::Tone, 850},         {category::Timbre, 520},
        {category::Drum, 17},         {category::Voice, 950},        {category::Inst, 240},
        {category::Wave, 800},        {category::WaveData, 800},     {category::WaveData, 2080},
        {category::DSP, 100},         {category::Song, 0},           {category::Rhythm, 141},
        {category::Registration, 32}, {category::DrawbarOrgan, 100}, {category::SMF, 2},
    };
    KeyboardSimulator keyboard;
    for (const Case& c : cases) {
        const Bytes& stored = *keyboard.memory().data(c.category, c.number);
        ASSERT_FALSE(stored.empty()) << c.category << "/" << c.number;
        const auto received = receiveItem(keyboard, c.category, c.number);
        ASSERT_TRUE(received) << c.category << "/" << c.number;
        EXPECT_EQ(*received, stored) << c.category << "/" << c.number;
    }
    EXPECT_GT(keyboard.memory().data(category::SMF, 2)->size(), 3 * 128u);
}

TEST(KeyboardSimulator, AnEmptyItemAnswersTheDataRequestWithEndOfData) {
    KeyboardSimulator keyboard;
    const auto reply = onlyReply(keyboard, dataRequest(category::SMF, 199));
    ASSERT_TRUE(reply);
    EXPECT_EQ(toHex(*reply), "F0 44 11 02 7F 07 10 00 00 47 01 00 F7");
}

TEST(KeyboardSimulator, ADataRequestForNoUserSlotIsRejected) {
    KeyboardSimulator keyboard;
    for (const Bytes& request : {dataRequest(category::Tone, 749), dataRequest(category::SMF, 200),
                                 dataRequest(category::Patch, 0)}) {
        const auto reply = onlyReply(keyboard, request);
        ASSERT_TRUE(reply);
        EXPECT_EQ(commandOf(*reply), 5);
    }
}

TEST(KeyboardSimulator, SendingBlocksThenEndOfDataStoresExactlyTheBytesSent) {
    struct Case {
        std::uint16_t category;
        std::uint16_t number;
        std::size_t size;
        std::uint16_t freeParameter; // 0: fixed size, counts against no area
    };
    const Case cases[] = {
        {category::SMF, 50, 1000, 34},       {category::Rhythm, 150, 256, 34},
        {category::WaveData, 1000, 130, 34}, {category::Song, 4, 2, 33},
        {category::Tone, 760, 70, 0},        {category::Drum, 20, 1056, 0},
    };
    for (const Case& c : cases) {
        KeyboardSimulator keyboard(blank());
        const auto freeBefore =
            askValue(keyboard, category::Command, 0, c.freeParameter == 0 ? 34 : c.freeParameter);
        const Bytes item = counting(c.size, c.number);
        const std::vector<int> commands = sendItem(keyboard, c.category, c.number, item);
        ASSERT_EQ(commands.size(), (c.size + 127) / 128) << c.category;
        for (int command : commands) {
            EXPECT_NE(command, 0);
            EXPECT_NE(command, 3);
            EXPECT_NE(command, 5);
        }
        EXPECT_EQ(*keyboard.memory().data(c.category, c.number), item) << c.category;
        const auto freeAfter =
            askValue(keyboard, category::Command, 0, c.freeParameter == 0 ? 34 : c.freeParameter);
        const std::uint32_t used = c.freeParameter == 0 ? 0 : static_cast<std::uint32_t>(c.size);
        EXPECT_EQ(*freeBefore - *freeAfter, used) << c.category;
        // What went in comes back out the same.
        EXPECT_EQ(receiveItem(keyboard, c.category, c.number), item);
    }
}

TEST(KeyboardSimulator, SizeParameterFollowsTheStoredItem) {
    KeyboardSimulator keyboard(blank());
    EXPECT_EQ(askValue(keyboard, category::SMF, 7, 3), 0u);
    sendItem(keyboard, category::SMF, 7, counting(300));
    EXPECT_EQ(askValue(keyboard, category::SMF, 7, 3), 300u);
    EXPECT_EQ(askValue(keyboard, category::SMF, 200, 3), std::nullopt); // no user slot
}

TEST(KeyboardSimulator, EndOfDataAloneEmptiesAVariableSizeSlot) {
    KeyboardSimulator keyboard;
    ASSERT_FALSE(keyboard.memory().data(category::SMF, 0)->empty());
    EXPECT_TRUE(keyboard.handle(handshake(category::SMF, 0, 0)).empty());
    EXPECT_TRUE(keyboard.memory().data(category::SMF, 0)->empty());
}

TEST(KeyboardSimulator, FreshMemoryReportsBothWholeAreasFree) {
    KeyboardSimulator keyboard(blank());
    EXPECT_EQ(askValue(keyboard, category::Command, 0, 33), 65455u);
    EXPECT_EQ(askValue(keyboard, category::Command, 0, 34), 1572840u);
}

TEST(KeyboardSimulator, FreeMemoryIsTheAreaLessTheVariableSizeItems) {
    KeyboardSimulator keyboard; // demo content
    std::uint32_t songs = 0, data = 0;
    for (const auto& [key, slot] : keyboard.memory().storedSlots()) {
        const auto c = static_cast<std::uint16_t>(key >> 16);
        if (c == category::Song)
            songs += static_cast<std::uint32_t>(slot.data.size());
        else if (c == category::WaveData || c == category::Rhythm || c == category::SMF)
            data += static_cast<std::uint32_t>(slot.data.size());
    }
    EXPECT_GT(songs, 0u);
    EXPECT_GT(data, 0u);
    EXPECT_EQ(askValue(keyboard, category::Command, 0, 33), 65455u - songs);
    EXPECT_EQ(askValue(keyboard, category::Command, 0, 34), 1572840u - data);
}

TEST(KeyboardSimulator, ListedNamesAgreeWithTheNameBytesInsideTheData) {
    struct Case {
        std::uint16_t category;
        std::uint16_t number;
        std::uint16_t parameter;
        std::size_t offset;
        const char* name;
    };
    const Case cases[] = {
        {category::Tone, 750, 96, 36, "DEMO TN1"},
        {category::Tone, 850, 96, 36, "DEMO TW1"},
        {category::Timbre, 520, 0, 0, "DEMO TW1"},
        {category::Drum, 17, 0, 0, "DEMO DW1"},
        {category::DSP, 101, 48, 0, "DEMO DS2"},
        {category::DrawbarOrgan, 100, 48, 58, "DEMO DB1"},
        {category::Rhythm, 140, 4, 2, "DEMO RH1"},
    };
    KeyboardSimulator keyboard;
    for (const Case& c : cases) {
        const auto first = askValue(keyboard, c.category, c.number, c.parameter);
        const auto second = askValue(keyboard, c.category, c.number, c.parameter + 1);
        ASSERT_TRUE(first && second) << c.name;
        std::string listed;
        for (std::uint32_t value : {*first, *second})
            for (int shift = 24; shift >= 0; shift -= 8)
                listed += static_cast<char>((value >> shift) & 0xFF);
        EXPECT_EQ(listed, c.name);
        const Bytes data = *receiveItem(keyboard, c.category, c.number);
        EXPECT_EQ(std::string(data.begin() + static_cast<std::ptrdiff_t>(c.offset),
                              data.begin() + static_cast<std::ptrdiff_t>(c.offset + 8)),
                  c.name);
    }
}

TEST(KeyboardSimulator, ParameterValuesAreNeverAnswered) {
    KeyboardSimulator keyboard;
    for (const Bytes& message :
         {hex("F0 44 11 02 7F 00 00 20 06 00 00 00 00 F7"), parameterValue(0, 0, 41, 2),
          parameterValue(0, 0, 35, 1), parameterValue(0, 0, 37, 850), parameterValue(0, 0, 39, 5),
          parameterValue(category::Tone, 750, 96, 0x41414141)})
        EXPECT_TRUE(keyboard.handle(message).empty()) << toHex(message);
}

TEST(KeyboardSimulator, DeletingToneGroup851EmptiesItsWaveDataOnly) {
    KeyboardSimulator keyboard(blank());
    KeyboardMemory& memory = keyboard.memory();
    for (std::uint16_t number = 800; number < 992; ++number) // groups 850, 851, 852
        ASSERT_EQ(memory.store(category::WaveData, number, counting(64, number)),
                  KeyboardMemory::StoreResult::Stored);
    Bytes tone = memory.initialBlock(category::Tone, 851);
    tone[0] = 0x55;
    memory.store(category::Tone, 851, tone);
    const auto freeBefore = askValue(keyboard, 0, 0, 34);

    EXPECT_TRUE(keyboard.handle(parameterValue(0, 0, 37, 851)).empty());

    for (std::uint16_t number = 800; number < 992; ++number) {
        const bool inGroup = number >= 864 && number <= 927;
        EXPECT_EQ(memory.data(category::WaveData, number)->empty(), inGroup) << number;
    }
    EXPECT_EQ(*memory.data(category::Tone, 851), memory.initialBlock(category::Tone, 851));
    EXPECT_EQ(*askValue(keyboard, 0, 0, 34) - *freeBefore, 64u * 64u);
}

TEST(KeyboardSimulator, DeletesOfEachKindEmptyTheirItem) {
    struct Case {
        std::uint16_t parameter;
        std::uint16_t category;
        std::uint16_t number;
    };
    const Case cases[] = {
        {35, category::Song, 1},       {36, category::Rhythm, 140},    {39, category::SMF, 1},
        {37, category::WaveData, 801}, {38, category::WaveData, 2081},
    };
    for (const Case& c : cases) {
        KeyboardSimulator keyboard;
        ASSERT_FALSE(keyboard.memory().data(c.category, c.number)->empty());
        const std::uint16_t target = c.parameter == 37 ? 850 : c.parameter == 38 ? 17 : c.number;
        keyboard.handle(parameterValue(0, 0, c.parameter, target));
        EXPECT_TRUE(keyboard.memory().data(c.category, c.number)->empty()) << c.parameter;
    }
}

TEST(KeyboardSimulator, DeletingADrumGroupRestoresItsFixedBlocks) {
    KeyboardSimulator keyboard;
    KeyboardMemory& memory = keyboard.memory();
    ASSERT_NE(*memory.data(category::Drum, 17), memory.initialBlock(category::Drum, 17));
    keyboard.handle(parameterValue(0, 0, 38, 17));
    EXPECT_EQ(*memory.data(category::Drum, 17), memory.initialBlock(category::Drum, 17));
    EXPECT_EQ(*memory.data(category::Inst, 240), memory.initialBlock(category::Inst, 240));
    EXPECT_EQ(memory.name(category::Drum, 17), "        ");
}

TEST(KeyboardSimulator, ABlockWithAWrongChecksumIsAnsweredWithSysExError) {
    KeyboardSimulator keyboard(blank());
    Bytes block = dataBlock(category::SMF, 9, 0, counting(128));
    block[block.size() - 2] ^= 0x01;
    EXPECT_EQ(commandOf(*onlyReply(keyboard, block)), 3);
    keyboard.handle(handshake(category::SMF, 9, 0));
    EXPECT_TRUE(keyboard.memory().data(category::SMF, 9)->empty());
}

TEST(KeyboardSimulator, BlocksOutOfSequenceAreAnsweredWithSysExError) {
    KeyboardSimulator keyboard(blank());
    EXPECT_EQ(commandOf(*onlyReply(keyboard, dataBlock(category::SMF, 9, 1, counting(128)))), 3);
    EXPECT_EQ(commandOf(*onlyReply(keyboard, dataBlock(category::SMF, 9, 0, counting(128)))), 2);
    EXPECT_EQ(commandOf(*onlyReply(keyboard, dataBlock(category::SMF, 9, 2, counting(128)))), 3);
    // A short block ends the item; nothing may follow it.
    EXPECT_EQ(commandOf(*onlyReply(keyboard, dataBlock(category::SMF, 9, 0, counting(10)))), 2);
    EXPECT_EQ(commandOf(*onlyReply(keyboard, dataBlock(category::SMF, 9, 1, counting(10)))), 3);
}

TEST(KeyboardSimulator, ItemsThatCannotBeStoredAreRejected) {
    struct Case {
        const char* what;
        std::uint16_t category;
        std::uint16_t number;
        std::size_t size;
    };
    const Case cases[] = {
        {"no user slot", category::SMF, 200, 10},
        {"no user slot of the category", category::Tone, 700, 70},
        {"fixed size too short", category::Tone, 750, 68},
        {"fixed size too long", category::DSP, 100, 130},
        {"song larger than the song area", category::Song, 0, 65456},
    };
    for (const Case& c : cases) {
        KeyboardSimulator keyboard(blank());
        const std::vector<int> commands =
            sendItem(keyboard, c.category, c.number, counting(c.size));
        ASSERT_FALSE(commands.empty()) << c.what;
        EXPECT_EQ(commands.back(), 5) << c.what;
    }
}

TEST(KeyboardSimulator, AnItemJustFittingTheDataAreaIsTakenOneByteMoreIsNot) {
    KeyboardSimulator keyboard(blank());
    // Fill the data area up to 1000 bytes below its end with wave data.
    std::uint32_t left = dataAreaSize - 1000;
    for (std::uint16_t number = 800; left > 0; ++number) {
        const std::uint32_t size = std::min<std::uint32_t>(left, 60000);
        ASSERT_EQ(keyboard.memory().store(category::WaveData, number, Bytes(size)),
                  KeyboardMemory::StoreResult::Stored);
        left -= size;
    }
    EXPECT_EQ(sendItem(keyboard, category::SMF, 0, counting(1002)).back(), 5);
    EXPECT_EQ(sendItem(keyboard, category::SMF, 0, counting(1000)).back(), 2);
    EXPECT_EQ(askValue(keyboard, 0, 0, 34), 0u);
    // Replacing an item may use the room it frees.
    EXPECT_EQ(sendItem(keyboard, category::SMF, 0, counting(1000, 9)).back(), 2);
}

TEST(KeyboardSimulator, AFixedSizeItemThatArrivesShortIsNotStored) {
    KeyboardSimulator keyboard;
    const Bytes before = *keyboard.memory().data(category::Drum, 17);
    // 1024 of 1056 bytes in eight whole blocks, then end of data.
    const std::vector<int> commands = sendItem(keyboard, category::Drum, 17, counting(1024));
    EXPECT_EQ(commands, std::vector<int>(8, 2));
    EXPECT_EQ(*keyboard.memory().data(category::Drum, 17), before);
}

TEST(KeyboardSimulator, NextBlockOutsideATransferIsNotAnswered) {
    KeyboardSimulator keyboard;
    EXPECT_TRUE(keyboard.handle(handshake(category::SMF, 2, 1)).empty());
    ASSERT_TRUE(onlyReply(keyboard, dataRequest(category::SMF, 2)));
    EXPECT_TRUE(keyboard.handle(handshake(category::SMF, 1, 1)).empty()); // another item
}

TEST(KeyboardSimulator, MalformedAndTruncatedMessagesGetNoReplyAndNeverThrow) {
    KeyboardSimulator keyboard;
    const Bytes valid[] = {
        parameterRequest(category::Command, 0, 0),
        parameterRequest(category::SMF, 2, 4),
        dataRequest(category::SMF, 2),
        dataBlock(category::SMF, 30, 0, counting(128)),
        handshake(category::SMF, 2, 1),
        parameterValue(0, 0, 39, 2),
    };
    for (const Bytes& message : valid)
        for (std::size_t cut = 0; cut + 1 < message.size(); ++cut) {
            Bytes shortened(message.begin(), message.begin() + static_cast<std::ptrdiff_t>(cut));
            shortened.push_back(0xF7);
            std::vector<Reply> replies;
            EXPECT_NO_THROW(replies = keyboard.handle(shortened));
            if (cut < 11) {
                EXPECT_TRUE(replies.empty()) << toHex(shortened);
            }
        }
    for (const Bytes& message :
         {hex(""), hex("F0"), hex("F7"), hex("F0 43 11 02 7F 01 00 00 0D 00 00 00 F7"),
          hex("F0 44 11 02 7F 01 00 00 0D 00 00 00"), hex("F0 44 11 02 7F 01 00 00 0D 00 80 00 F7"),
          hex("F0 44 11 02 7F 03 00 00 0D 00 00 00 F7")})
        EXPECT_TRUE(keyboard.handle(message).empty()) << toHex(message);
}

TEST(KeyboardSimulator, ParametersItDoesNotServeGetNoReply) {
    KeyboardSimulator keyboard;
    EXPECT_EQ(askValue(keyboard, category::Command, 0, 4), std::nullopt);
    // A parameter the keyboard does not have at all (width 0).
    EXPECT_TRUE(keyboard.handle(hex("F0 44 11 02 7F 01 00 07 0D 00 00 00 F7")).empty());
    EXPECT_EQ(askValue(keyboard, category::Tone, 750, 48), std::nullopt);
    EXPECT_EQ(askValue(keyboard, category::Registration, 32, 4), std::nullopt);
    EXPECT_EQ(askValue(keyboard, category::Tone, 749, 96), std::nullopt);
}

TEST(KeyboardSimulator, ARequestWithFourIndexBytesIsAnsweredWithThemEchoed) {
    KeyboardSimulator keyboard;
    const Bytes request =
        qel::sysex::encodeParameterRequest(category::Command, 0, 0, Bytes{1, 2, 3, 4});
    EXPECT_EQ(toHex(*onlyReply(keyboard, request)),
              "F0 44 11 02 7F 00 00 00 6D 00 00 01 02 03 04 03 00 F7");
}

} // namespace
} // namespace kbdsim
