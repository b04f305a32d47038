#include "link/SysExDecoder.h"

#include "core/Exception.h"
#include "link/SysExEncoder.h"
#include "support/Hex.h"

#include <gtest/gtest.h>
#include <random>

namespace qel {
namespace {

using test::hex;

std::int32_t decodeValue(const char* message) {
    return sysex::decodeParameterValue(hex(message));
}

TEST(SysExDecoder, ParameterValues) {
    struct Case {
        const char* message;
        std::int32_t value;
    };
    const Case cases[] = {
        {"F0 44 11 02 7F 00 00 00 0D 00 00 00 03 00 F7", 3},
        {"F0 44 11 02 7F 00 00 00 0D 00 00 00 7F 7F F7", 16383},
        // Four index bytes: the value starts at offset 15.
        {"F0 44 11 02 7F 00 02 60 7F 00 00 01 02 03 04 05 00 F7", 5},
        {"F0 44 11 02 7F 00 00 21 1F 00 00 00 7F 7F 7F 7F 0F F7", -1},
        {"F0 44 11 02 7F 00 00 21 1F 00 00 00 68 7F 5F 00 00 F7", 1572840},
        // No value groups at all gives 0; groups above bit 31 are dropped.
        {"F0 44 11 02 7F 00 00 00 0D 00 00 00 F7", 0},
        {"F0 44 11 02 7F 00 00 21 1F 00 00 00 01 00 00 00 00 7F 7F F7", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeValue(c.message), c.value) << c.message;
}

TEST(SysExDecoder, ValueWhoseIndexBytesReachTheEndByteIsRefused) {
    // Head 0x60 announces four index bytes; only two precede the end byte.
    std::int32_t value = 42;
    EXPECT_THROW(value =
                     sysex::decodeParameterValue(hex("F0 44 11 02 7F 00 00 00 7F 00 00 01 02 F7")),
                 Exception);
    EXPECT_EQ(value, 42);
}

TEST(SysExDecoder, WorkedDataBlockExample) {
    ByteVector data = hex("AA BB CC DD EE FF");
    data = sysex::decodeDataBlock(
        hex("F0 44 11 02 7F 04 02 00 4F 01 00 00 00 02 34 24 00 01 00 7E 29 F7"));
    EXPECT_EQ(data, hex("12 34 80 01"));
}

TEST(SysExDecoder, ThirdGroupsTwoAndThreeSetBitFifteenLikeSevenEAndSevenF) {
    ByteVector viaSign, viaPlain;
    viaSign =
        sysex::decodeDataBlock(hex("F0 44 11 02 7F 04 02 00 4F 00 00 00 00 01 00 00 7E 00 F7"));
    viaPlain =
        sysex::decodeDataBlock(hex("F0 44 11 02 7F 04 02 00 4F 00 00 00 00 01 00 00 02 00 F7"));
    EXPECT_EQ(viaSign, hex("80 00"));
    EXPECT_EQ(viaPlain, hex("80 00"));
}

TEST(SysExDecoder, EmptyBlockAndWrongChecksumStillDecode) {
    ByteVector data = hex("01 02 03");
    data = sysex::decodeDataBlock(hex("F0 44 11 02 7F 04 02 00 4F 01 00 00 00 00 00 F7"));
    EXPECT_TRUE(data.empty());
    data = sysex::decodeDataBlock(
        hex("F0 44 11 02 7F 04 02 00 4F 01 00 00 00 02 34 24 00 01 00 7E 00 F7"));
    EXPECT_EQ(data, hex("12 34 80 01"));
}

TEST(SysExDecoder, MalformedDataBlocksAreRefusedAndDataKept) {
    const char* messages[] = {
        "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 F7",          // 14 bytes, under 16
        "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 00 F7",       // 15 bytes
        "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 02 34 00 F7", // one group and a half
        "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 02 34 24 00 F6",
    };
    for (const char* message : messages) {
        ByteVector data = hex("01 02");
        EXPECT_THROW(data = sysex::decodeDataBlock(hex(message)), Exception) << message;
        EXPECT_EQ(data, hex("01 02")) << message;
    }
}

TEST(SysExDecoder, HandshakeCommand) {
    std::uint8_t command = 9;
    command = sysex::decodeHandshake(hex("F0 44 11 02 7F 07 02 00 00 01 00 05 F7"));
    EXPECT_EQ(command, 5);
    command = 9;
    // Twelve bytes: the end byte where the command should be.
    EXPECT_THROW(command = sysex::decodeHandshake(hex("F0 44 11 02 7F 07 02 00 00 01 00 F7")),
                 Exception);
    EXPECT_THROW(command = sysex::decodeHandshake(hex("F0 44 11 02 7F 07 02 00 00 01 00 05 00")),
                 Exception);
    EXPECT_EQ(command, 9);
}

TEST(SysExDecoder, FailedCheckRaisesItsText) {
    try {
        sysex::decodeHandshake(hex("F0 43 11 02 7F 07 02 00 00 01 00 05 F7"));
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "VORLA ID error");
    }
}

TEST(SysExCodec, EveryEvenBlockLengthRoundTrips) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t length = 0; length <= 128; length += 2) {
        for (int trial = 0; trial < 20; ++trial) {
            ByteVector data(length);
            for (auto& b : data)
                b = static_cast<std::uint8_t>(byte(random));
            const ByteVector message =
                sysex::encodeDataBlock(8, 864, static_cast<std::uint16_t>(trial), data);
            ASSERT_EQ(message.size(), 16 + 3 * length / 2);
            for (std::size_t i = 1; i + 1 < message.size(); ++i)
                ASSERT_LT(message[i], 0x80) << "byte " << i << " is not 7-bit";
            ASSERT_EQ(sysex::decodeDataBlock(message), data) << "length " << length;
        }
    }
}

} // namespace
} // namespace qel
