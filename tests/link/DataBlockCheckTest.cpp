// The check of a received data block: its length, 7-bit bytes, pair count,
// checksum and block number, on the worked example of the block format and on
// blocks spoiled one field at a time.

#include "link/DataBlockCheck.h"

#include "link/SysExEncoder.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using test::hex;

// Block 0 of category 2, number 1, data 12 34 80 01.
const ByteVector example = hex("F0 44 11 02 7F 04 02 00 4F 01 00 00 00 02 34 24 00 01 00 7E 29 F7");

ByteVector block(std::uint16_t number, const ByteVector& data) {
    return sysex::encodeDataBlock(2, 1, number, data);
}

TEST(DataBlockCheck, TheWorkedExampleAndAnEmptyBlockPass) {
    EXPECT_EQ(checkDataBlock(example, 0), DataBlockFault::None);
    EXPECT_EQ(checkDataBlock(block(5, {}), 5), DataBlockFault::None);
    ByteVector full(128);
    for (std::size_t i = 0; i < full.size(); ++i)
        full[i] = static_cast<std::uint8_t>(i * 37 + 11);
    EXPECT_EQ(checkDataBlock(block(300, full), 300), DataBlockFault::None);
}

TEST(DataBlockCheck, BlockNumbersCountInFourteenBits) {
    // Block 16384 of an item travels as 00 00, block 16383 as 7F 7F.
    EXPECT_EQ(checkDataBlock(block(0, {1, 2}), 16384), DataBlockFault::None);
    EXPECT_EQ(checkDataBlock(block(16383, {1, 2}), 16383), DataBlockFault::None);
    EXPECT_EQ(checkDataBlock(block(16383, {1, 2}), 16384), DataBlockFault::BlockNumber);
    // The high 7 bits count: block 128 is not block 0.
    EXPECT_EQ(checkDataBlock(block(128, {1, 2}), 0), DataBlockFault::BlockNumber);
}

struct SpoiledCase {
    const char* name;
    void (*spoil)(ByteVector&);
    DataBlockFault fault;
};

void PrintTo(const SpoiledCase& c, std::ostream* out) {
    *out << c.name;
}

class Spoiled : public testing::TestWithParam<SpoiledCase> {};

TEST_P(Spoiled, TheExampleWithOneFieldWrongFailsWithThatFault) {
    ByteVector message = example;
    GetParam().spoil(message);
    EXPECT_EQ(checkDataBlock(message, 0), GetParam().fault)
        << dataBlockFaultName(checkDataBlock(message, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Spoiled,
    testing::Values(
        SpoiledCase{"checksum", [](ByteVector& m) { m[20] ^= 0x01; }, DataBlockFault::Checksum},
        SpoiledCase{"pair count high", [](ByteVector& m) { m[13] = 3; }, DataBlockFault::PairCount},
        SpoiledCase{"pair count low", [](ByteVector& m) { m[13] = 1; }, DataBlockFault::PairCount},
        SpoiledCase{"block number", [](ByteVector& m) { m[11] = 1; }, DataBlockFault::BlockNumber},
        SpoiledCase{"block number high", [](ByteVector& m) { m[12] = 1; },
                    DataBlockFault::BlockNumber},
        SpoiledCase{"low bit of a group", [](ByteVector& m) { m[15] ^= 0x01; },
                    DataBlockFault::Checksum},
        SpoiledCase{"bit 6 of a group", [](ByteVector& m) { m[17] ^= 0x40; },
                    DataBlockFault::Checksum},
        // 128 is 0 modulo 128: only the 7-bit test sees this one.
        SpoiledCase{"bit 7 of a group", [](ByteVector& m) { m[14] ^= 0x80; },
                    DataBlockFault::NotSevenBit},
        SpoiledCase{"bit 7 of the checksum", [](ByteVector& m) { m[20] ^= 0x80; },
                    DataBlockFault::NotSevenBit},
        SpoiledCase{"a group too many", [](ByteVector& m) { m.insert(m.begin() + 14, 0x00); },
                    DataBlockFault::Length},
        SpoiledCase{"a group short", [](ByteVector& m) { m.erase(m.begin() + 14); },
                    DataBlockFault::Length},
        SpoiledCase{"a pair missing",
                    [](ByteVector& m) { m.erase(m.begin() + 17, m.begin() + 20); },
                    DataBlockFault::PairCount},
        SpoiledCase{"shorter than an empty block", [](ByteVector& m) { m.resize(15); },
                    DataBlockFault::Length}),
    [](const testing::TestParamInfo<SpoiledCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(DataBlockCheck, FaultsHaveNames) {
    EXPECT_STREQ(dataBlockFaultName(DataBlockFault::None), "none");
    EXPECT_STREQ(dataBlockFaultName(DataBlockFault::Checksum), "checksum");
    EXPECT_STREQ(dataBlockFaultName(DataBlockFault::BlockNumber), "block number");
}

} // namespace
} // namespace qel
