// Replies the keyboard might send, well formed or not, through messageType and
// every decoder. A table of hand-written messages fixes the outcome of each:
// what it decodes to, or the text it is refused with. Random, truncated and
// mutated replies then show that nothing but a result or an Exception ever
// comes out; run in the sanitizer build, an out-of-bounds read fails the test.

#include "core/Exception.h"
#include "link/SysExDecoder.h"
#include "link/SysExEncoder.h"
#include "link/SysExFrame.h"
#include "support/Hex.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace qel {
namespace {

using test::hex;
using test::toHex;

enum class Reading { Type, Value, Data, Command };

// What a reading of `message` gives, as text: the result, or "refused: " and
// the text of the Exception.
std::string outcome(Reading reading, const ByteVector& message) {
    try {
        switch (reading) {
        case Reading::Type:
            return "type " + std::to_string(messageType(message));
        case Reading::Value:
            return "value " + std::to_string(sysex::decodeParameterValue(message));
        case Reading::Data:
            return "data [" + toHex(sysex::decodeDataBlock(message)) + "]";
        case Reading::Command:
            return "command " + std::to_string(sysex::decodeHandshake(message));
        }
    } catch (const Exception& e) {
        return "refused: " + e.message();
    }
    return "no reading";
}

TEST(CodecRobustness, HandWrittenRepliesGiveTheirOutcome) {
    struct Case {
        const char* name;
        Reading reading;
        const char* message;
        const char* expected;
    };
    const Case cases[] = {
        // The frame, for every reading.
        {"empty", Reading::Type, "", "refused: short message"},
        {"ten bytes", Reading::Type, "F0 44 11 02 7F 05 02 00 00 F7", "refused: short message"},
        {"eleven bytes", Reading::Type, "F0 44 11 02 7F 05 02 00 00 01 F7", "type 5"},
        {"data request", Reading::Type, "F0 44 11 02 7F 05 02 00 00 01 00 F7", "type 5"},
        {"other fixed bytes", Reading::Type, "F0 44 00 00 00 07 02 00 00 01 00 05 F7", "type 7"},
        {"start and end wrong", Reading::Type, "F1 44 11 02 7F 07 02 00 00 01 00 05 F6",
         "refused: SYSEX error"},
        {"end and maker wrong", Reading::Type, "F0 43 11 02 7F 07 02 00 00 01 00 05 F6",
         "refused: EOX error"},
        {"maker wrong", Reading::Value, "F0 43 11 02 7F 00 00 00 0D 00 00 00 03 00 F7",
         "refused: VORLA ID error"},
        {"data block of ten bytes", Reading::Data, "F0 44 11 02 7F 04 02 00 4F F7",
         "refused: short message"},
        {"handshake without end byte", Reading::Command, "F0 44 11 02 7F 07 02 00 00 01 00 05 00",
         "refused: EOX error"},

        // Parameter values: one to four index bytes, then the value groups.
        {"no room for the index byte", Reading::Value, "F0 44 11 02 7F 00 00 00 0D 00 F7",
         "refused: short message"},
        {"index byte is the end byte", Reading::Value, "F0 44 11 02 7F 00 00 00 0D 00 00 F7",
         "refused: short message"},
        {"one index byte, no value", Reading::Value, "F0 44 11 02 7F 00 00 00 0D 00 00 00 F7",
         "value 0"},
        {"one index byte, value 3", Reading::Value, "F0 44 11 02 7F 00 00 00 0D 00 00 00 03 00 F7",
         "value 3"},
        {"four index bytes announced, three there", Reading::Value,
         "F0 44 11 02 7F 00 00 00 6D 00 00 01 02 03 F7", "refused: short message"},
        {"four index bytes, no value", Reading::Value,
         "F0 44 11 02 7F 00 00 00 6D 00 00 01 02 03 04 F7", "value 0"},
        {"four index bytes, value 5", Reading::Value,
         "F0 44 11 02 7F 00 00 00 6D 00 00 01 02 03 04 05 00 F7", "value 5"},
        {"a head with every bit set means four index bytes", Reading::Value,
         "F0 44 11 02 7F 00 00 00 FF 00 00 01 02 03 04 09 F7", "value 9"},
        {"value bytes are not masked to 7 bits", Reading::Value,
         "F0 44 11 02 7F 00 00 00 0D 00 00 00 FF F7", "value 255"},
        {"a sixth group lies above bit 31", Reading::Value,
         "F0 44 11 02 7F 00 00 21 1F 00 00 00 7F 7F 7F 7F 7F 7F F7", "value -1"},

        // Data blocks: block number, pair count, three groups per pair, checksum.
        {"fifteen bytes", Reading::Data, "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 00 F7",
         "refused: short message"},
        {"no pairs", Reading::Data, "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 00 00 F7", "data []"},
        {"one group over", Reading::Data, "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 01 34 00 F7",
         "refused: data block error"},
        {"two groups over", Reading::Data, "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 01 34 24 00 F7",
         "refused: data block error"},
        {"one pair", Reading::Data, "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 01 34 24 00 28 F7",
         "data [12 34]"},
        {"pair count and checksum are not read", Reading::Data,
         "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 7F 34 24 00 00 F7", "data [12 34]"},
        {"groups with the top bit set wrap to 16 bits", Reading::Data,
         "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 01 FF FF FF 00 F7", "data [40 7F]"},
        {"two pairs with a third group of 7E", Reading::Data,
         "F0 44 11 02 7F 04 02 00 4F 01 00 00 00 02 34 24 00 01 00 7E 29 F7", "data [12 34 80 01]"},

        // Handshakes: the command byte at offset 11.
        {"handshake without command", Reading::Command, "F0 44 11 02 7F 07 02 00 00 01 00 F7",
         "refused: short message"},
        {"handshake", Reading::Command, "F0 44 11 02 7F 07 02 00 00 01 00 05 F7", "command 5"},
        {"longer handshake", Reading::Command, "F0 44 11 02 7F 07 02 00 00 01 00 03 00 F7",
         "command 3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(outcome(c.reading, hex(c.message)), c.expected) << c.name;
}

// Runs every reading on `message`: each gives a result or an Exception, and a
// decoded block is never longer than the message it came from.
void feed(const ByteVector& message) {
    for (Reading reading : {Reading::Type, Reading::Value, Reading::Data, Reading::Command}) {
        try {
            switch (reading) {
            case Reading::Type:
                messageType(message);
                break;
            case Reading::Value:
                sysex::decodeParameterValue(message);
                break;
            case Reading::Data:
                EXPECT_LE(sysex::decodeDataBlock(message).size(), message.size());
                break;
            case Reading::Command:
                sysex::decodeHandshake(message);
                break;
            }
        } catch (const Exception&) {
        } catch (...) {
            ADD_FAILURE() << "not an Exception, on " << toHex(message);
        }
    }
}

// A valid reply and what it carries.
struct Reply {
    ByteVector message;
    std::uint8_t type;
    std::uint32_t value = 0;
    ByteVector data;
    std::uint8_t command = 0;
};

Reply validReply(std::mt19937& random) {
    Reply reply;
    switch (random() % 3) {
    case 0: {
        reply.type = sysex::DataBlock;
        reply.data.resize(2 * (random() % 65)); // whole pairs: odd blocks are padded
        for (auto& b : reply.data)
            b = static_cast<std::uint8_t>(random());
        reply.message =
            sysex::encodeDataBlock(2, static_cast<std::uint16_t>(random() % 16384),
                                   static_cast<std::uint16_t>(random() % 16384), reply.data);
        break;
    }
    case 1:
        reply.type = sysex::ParameterValue;
        reply.value = static_cast<std::uint32_t>(random());
        reply.message =
            sysex::encodeParameterValue(0, 0, 33, ByteVector(1 + random() % 4, 0), reply.value);
        break;
    default:
        reply.type = sysex::Handshake;
        reply.command = static_cast<std::uint8_t>(random() % 128);
        reply.message = sysex::encodeHandshake(2, 1, reply.command);
        break;
    }
    return reply;
}

TEST(CodecRobustness, RandomBytesGiveAResultOrAnException) {
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        ByteVector message(random() % 40);
        for (auto& b : message)
            b = static_cast<std::uint8_t>(random());
        // Give most of them a valid frame so that the decoders get past the check.
        if (message.size() >= 2 && i % 4 != 0) {
            message.front() = 0xF0;
            message[1] = 0x44;
            message.back() = 0xF7;
        }
        feed(message);
    }
}

TEST(CodecRobustness, ValidRepliesDecodeToWhatWasEncoded) {
    std::mt19937 random(5);
    for (int i = 0; i < 3000; ++i) {
        const Reply reply = validReply(random);
        ASSERT_EQ(messageType(reply.message), reply.type);
        if (reply.type == sysex::DataBlock)
            ASSERT_EQ(sysex::decodeDataBlock(reply.message), reply.data);
        else if (reply.type == sysex::ParameterValue)
            ASSERT_EQ(static_cast<std::uint32_t>(sysex::decodeParameterValue(reply.message)),
                      reply.value);
        else
            ASSERT_EQ(sysex::decodeHandshake(reply.message), reply.command);
    }
}

TEST(CodecRobustness, TruncatedAndMutatedRepliesGiveAResultOrAnException) {
    std::mt19937 random(11);
    for (int i = 0; i < 3000; ++i) {
        const ByteVector message = validReply(random).message;
        // Every truncation that keeps a valid end byte.
        for (std::size_t length = 0; length <= message.size(); ++length) {
            ByteVector cut(message.begin(), message.begin() + static_cast<std::ptrdiff_t>(length));
            if (!cut.empty())
                cut.back() = 0xF7;
            feed(cut);
        }
        ByteVector mutated = message;
        for (int flips = 0; flips < 3; ++flips)
            mutated[random() % mutated.size()] = static_cast<std::uint8_t>(random());
        feed(mutated);
    }
}

} // namespace
} // namespace qel
