#include "link/SysExEncoder.h"

#include "core/Catalogue.h"
#include "core/Exception.h"
#include "link/ParameterWidths.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using test::hex;
using test::toHex;

ByteVector parameterValue(std::uint16_t category, std::uint16_t number, std::uint16_t parameter,
                          const ByteVector& index, std::uint32_t value) {
    return sysex::encodeParameterValue(category, number, parameter, index, value);
}

ByteVector parameterRequest(std::uint16_t category, std::uint16_t number, std::uint16_t parameter,
                            const ByteVector& index) {
    return sysex::encodeParameterRequest(category, number, parameter, index);
}

ByteVector dataBlock(std::uint16_t category, std::uint16_t number, std::uint16_t block,
                     const ByteVector& data) {
    return sysex::encodeDataBlock(category, number, block, data);
}

ByteVector dataRequest(std::uint16_t category, std::uint16_t number) {
    return sysex::encodeDataRequest(category, number);
}

ByteVector handshake(std::uint16_t category, std::uint16_t number, std::uint8_t command) {
    return sysex::encodeHandshake(category, number, command);
}

TEST(SysExEncoder, WorkedExamplesByteForByte) {
    struct Case {
        const char* name;
        ByteVector message;
        const char* expected;
    };
    const Case cases[] = {
        {"begin communication", parameterValue(0, 0, 32, {0}, 0),
         "F0 44 11 02 7F 00 00 20 06 00 00 00 00 F7"},
        {"model request", parameterRequest(0, 0, 0, {0}), "F0 44 11 02 7F 01 00 00 0D 00 00 00 F7"},
        {"song size request", parameterRequest(category::Song, 5, 3, {0}),
         "F0 44 11 02 7F 01 0A 03 1F 05 00 00 F7"},
        {"data request", dataRequest(category::Tone, 1), "F0 44 11 02 7F 05 02 00 00 01 00 F7"},
        {"next block", handshake(category::Tone, 1, 1), "F0 44 11 02 7F 07 02 00 00 01 00 01 F7"},
        {"data block", dataBlock(category::Tone, 1, 0, hex("12 34 80 01")),
         "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 02 34 24 00 01 00 7E 29 F7"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toHex(c.message), c.expected) << c.name;
}

TEST(SysExEncoder, MessageLengthsOfEveryType) {
    EXPECT_EQ(parameterRequest(0, 0, 0, {0}).size(), 13u);
    EXPECT_EQ(parameterValue(0, 0, 32, {0}, 0).size(), 14u); // 7-bit value: 1 group
    EXPECT_EQ(parameterValue(0, 0, 33, {0}, 0).size(), 18u); // 32-bit value: 5 groups
    EXPECT_EQ(parameterValue(0, 0, 35, {0}, 0).size(), 16u); // 16-bit value: 3 groups
    EXPECT_EQ(dataRequest(2, 1).size(), 12u);
    EXPECT_EQ(handshake(2, 1, 0).size(), 13u);
    EXPECT_EQ(dataBlock(2, 1, 0, ByteVector(128, 0x55)).size(), 208u);
    EXPECT_EQ(toHex(dataBlock(2, 1, 0, {})), "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 00 00 F7");
}

TEST(SysExEncoder, ItemNumberIsFourteenBitsLowGroupFirst) {
    EXPECT_EQ(toHex(dataRequest(2, 16383)), "F0 44 11 02 7F 05 02 00 00 7F 7F F7");
    EXPECT_EQ(toHex(dataRequest(2, 16384)), "F0 44 11 02 7F 05 02 00 00 00 00 F7");
    EXPECT_EQ(toHex(dataRequest(2, 850)), "F0 44 11 02 7F 05 02 00 00 52 06 F7");
}

TEST(SysExEncoder, ValueGroupsLeastSignificantFirst) {
    // Category 0 parameter 33 has width 32: five groups, the fifth holds bits 28-31.
    EXPECT_EQ(toHex(parameterValue(0, 0, 33, {0}, 0xFFFFFFFFu)),
              "F0 44 11 02 7F 00 00 21 1F 00 00 00 7F 7F 7F 7F 0F F7");
    EXPECT_EQ(toHex(parameterValue(0, 0, 35, {0}, 851)), // delete, 16 bits
              "F0 44 11 02 7F 00 00 23 0F 00 00 00 53 06 00 F7");
    // Values wider than the parameter are cut to its groups.
    EXPECT_EQ(toHex(parameterValue(0, 0, 41, {0}, 0x182)),
              "F0 44 11 02 7F 00 00 29 06 00 00 00 02 F7");
}

TEST(SysExEncoder, HeadByteCarriesIndexCountAndWidth) {
    EXPECT_EQ(parameterRequest(2, 750, 96, {0})[8], 0x1F);
    EXPECT_EQ(parameterRequest(2, 750, 96, {0, 1, 2, 3})[8], 0x60 | 0x1F);
    EXPECT_EQ(toHex(parameterRequest(2, 750, 96, {1, 2, 3, 4})),
              "F0 44 11 02 7F 01 02 60 7F 6E 05 01 02 03 04 F7");
}

TEST(SysExEncoder, DataBlockThirdGroupIsSignExtended) {
    struct Case {
        const char* data;
        const char* groups;
    };
    const Case cases[] = {
        {"00 00", "00 00 00 00"}, {"7F FF", "7F 7F 01 01"}, {"80 00", "00 00 7E 02"},
        {"FF FF", "7F 7F 7F 03"}, {"C0 00", "00 00 7F 01"}, {"40 00", "00 00 01 7F"},
    };
    for (const Case& c : cases) {
        const ByteVector message = dataBlock(2, 0, 0, hex(c.data));
        EXPECT_EQ(toHex(ByteVector(message.begin() + 14, message.end() - 1)), c.groups) << c.data;
    }
}

TEST(SysExEncoder, BlockNumberAndPairCount) {
    const ByteVector message = dataBlock(8, 864, 200, ByteVector(128, 0));
    EXPECT_EQ(toHex(ByteVector(message.begin() + 9, message.begin() + 14)), "60 06 48 01 40");
}

TEST(SysExEncoder, ChecksumMakesGroupsSumToZeroModulo128) {
    ByteVector data;
    for (int i = 0; i < 128; ++i)
        data.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    const ByteVector message = dataBlock(2, 1, 3, data);
    unsigned sum = 0;
    for (std::size_t i = 14; i + 1 < message.size(); ++i)
        sum += message[i];
    EXPECT_EQ(sum % 128, 0u);
}

TEST(SysExEncoder, OddDataBlockIsPaddedWithZero) {
    EXPECT_EQ(dataBlock(2, 1, 0, hex("12 34 80")), dataBlock(2, 1, 0, hex("12 34 80 00")));
}

TEST(SysExEncoder, OversizedDataBlockIsRefused) {
    ByteVector out = hex("01 02");
    EXPECT_NO_THROW(out = sysex::encodeDataBlock(2, 1, 0, ByteVector(254, 1)));
    out = hex("01 02");
    EXPECT_THROW(out = sysex::encodeDataBlock(2, 1, 0, ByteVector(255, 1)), Exception);
    EXPECT_EQ(out, hex("01 02"));
}

TEST(SysExEncoder, SameRequestTwiceGivesTheSameMessageAndReplacesOut) {
    ByteVector out(300, 0xAA);
    out = sysex::encodeDataBlock(2, 1, 0, hex("12 34 80 01"));
    const ByteVector first = out;
    out = sysex::encodeDataBlock(2, 1, 0, hex("12 34 80 01"));
    EXPECT_EQ(out, first);
    EXPECT_EQ(out.size(), 22u);
}

TEST(SysExEncoder, UnknownParametersAndBadIndexCountsAreRefused) {
    struct Case {
        const char* name;
        std::uint16_t category;
        std::uint16_t parameter;
        ByteVector index;
    };
    const Case cases[] = {
        {"width 0", 0, 7, {0}},
        {"past the end of the row", category::Wave, 11, {0}},
        {"category 15", 15, 0, {0}},
        {"package category", category::Package, 0, {0}},
        {"category past 16", 17, 0, {0}},
        {"no index bytes", 0, 0, {}},
        {"five index bytes", 0, 0, {0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        ByteVector out = hex("AB");
        EXPECT_THROW(out = sysex::encodeParameterRequest(c.category, 0, c.parameter, c.index),
                     Exception)
            << c.name;
        EXPECT_THROW(out = sysex::encodeParameterValue(c.category, 0, c.parameter, c.index, 1u),
                     Exception)
            << c.name;
        EXPECT_EQ(out, hex("AB")) << c.name;
    }
}

TEST(ParameterWidths, RowLengths) {
    const std::size_t lengths[17] = {128, 128, 126, 29, 24,  45, 18, 11, 4,
                                     80,  6,   6,   54, 120, 99, 0,  6};
    for (std::uint16_t c = 0; c < 17; ++c)
        EXPECT_EQ(parameterWidths::row(c).size(), lengths[c]) << "category " << c;
    EXPECT_TRUE(parameterWidths::row(category::Package).empty());
}

TEST(ParameterWidths, EntriesTheSystemUses) {
    struct Case {
        std::uint16_t category;
        std::uint16_t parameter;
        std::uint8_t width;
    };
    const Case cases[] = {
        {0, 0, 14},  {0, 32, 7},  {0, 33, 32}, {0, 34, 32}, {0, 35, 16},  {0, 36, 16},
        {0, 37, 16}, {0, 38, 16}, {0, 39, 16}, {0, 41, 7},  {8, 3, 32},   {10, 3, 32},
        {11, 3, 32}, {16, 3, 32}, {2, 96, 32}, {2, 97, 32}, {3, 0, 32},   {3, 1, 32},
        {4, 0, 32},  {4, 1, 32},  {9, 48, 32}, {9, 49, 32}, {13, 48, 32}, {13, 49, 32},
        {10, 4, 32}, {10, 5, 32}, {11, 4, 32}, {11, 5, 32}, {16, 4, 32},  {16, 5, 32},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parameterWidths::width(c.category, c.parameter), c.width)
            << "category " << c.category << " parameter " << c.parameter;
}

TEST(ParameterWidths, SpotChecksAcrossRows) {
    // Ends of rows and a few entries between runs, read off the keyboard's parameter list.
    EXPECT_EQ(parameterWidths::width(0, 127), 32);
    EXPECT_EQ(parameterWidths::width(0, 31), 0);
    EXPECT_EQ(parameterWidths::width(0, 40), 32); // after the five 16-bit delete commands
    EXPECT_EQ(parameterWidths::width(0, 42), 16);
    EXPECT_EQ(parameterWidths::width(1, 127), 7);
    EXPECT_EQ(parameterWidths::width(2, 125), 7);
    EXPECT_EQ(parameterWidths::width(7, 6), 27);
    EXPECT_EQ(parameterWidths::width(5, 44), 9);
    EXPECT_EQ(parameterWidths::width(14, 98), 32);
    EXPECT_EQ(parameterWidths::width(12, 53), 7);
    EXPECT_EQ(parameterWidths::width(13, 119), 7);
    EXPECT_EQ(parameterWidths::groupCount(7), 1u);
    EXPECT_EQ(parameterWidths::groupCount(14), 2u);
    EXPECT_EQ(parameterWidths::groupCount(16), 3u);
    EXPECT_EQ(parameterWidths::groupCount(32), 5u);
}

} // namespace
} // namespace qel
