// Random, truncated and mutated replies through every decoder and messageType.
// Each call either gives a result or throws Exception, and which of the two it
// does is checked against the frame and length rules of the message; valid
// messages decode back to exactly what was encoded. Run in the sanitizer
// build, an out-of-bounds read fails the test.

#include "core/Exception.h"
#include "link/SysExDecoder.h"
#include "link/SysExEncoder.h"
#include "link/SysExFrame.h"

#include <gtest/gtest.h>
#include <random>

namespace qel {
namespace {

enum class Operation { Value, Data, Command };

bool frameIsValid(const ByteVector& message) {
    return message.size() >= sysex::minimumLength && message.front() == sysex::start &&
           message.back() == sysex::end && message[1] == sysex::manufacturer;
}

// Whether the decoder for message type `code` must refuse `operation` on
// `message`. Decoders only refuse in the operation of their own type; the
// others do nothing.
bool mustRefuse(std::uint8_t code, Operation operation, const ByteVector& message) {
    switch (code) {
    case sysex::ParameterValue:
        if (operation != Operation::Value)
            return false;
        if (!frameIsValid(message))
            return true;
        // The index bytes (1 to 4) must leave the end byte for the value.
        return sysex::bodyOffset + ((message[sysex::headOffset] >> 5) & 3) + 1 > message.size() - 1;
    case sysex::DataBlock:
        if (operation != Operation::Data)
            return false;
        return !frameIsValid(message) || message.size() < SysExHDSDecoder::minimumLength ||
               (message.size() - 2 - 14) % 3 != 0;
    case sysex::Handshake:
        if (operation != Operation::Command)
            return false;
        return !frameIsValid(message) || message.size() < SysExHCCDecoder::minimumLength;
    default:
        return false;
    }
}

// Feeds one message to messageType and to every decoder operation, and checks
// each refusal against mustRefuse(). Returns the number of refusals.
int feed(const ByteVector& message) {
    int refused = 0;
    auto attempt = [&](bool expectRefusal, const char* what, auto&& call) {
        bool threw = false;
        try {
            call();
        } catch (const Exception&) {
            threw = true;
            ++refused;
        }
        EXPECT_EQ(threw, expectRefusal)
            << what << " on a message of " << message.size() << " bytes";
    };
    attempt(!frameIsValid(message), "messageType", [&] { messageType(message); });
    for (std::uint8_t code :
         {sysex::ParameterValue, sysex::DataBlock, sysex::Handshake, sysex::ParameterRequest}) {
        auto decoder = makeDecoder(code);
        std::int32_t value = 0;
        ByteVector data;
        std::uint8_t command = 0;
        attempt(mustRefuse(code, Operation::Value, message), "decodeValue",
                [&] { decoder->decodeValue(message, value); });
        attempt(mustRefuse(code, Operation::Data, message), "decodeData",
                [&] { decoder->decodeData(message, data); });
        attempt(mustRefuse(code, Operation::Command, message), "decodeCommand",
                [&] { decoder->decodeCommand(message, command); });
        EXPECT_LE(data.size(), message.size());
    }
    return refused;
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
        makeEncoder(sysex::DataBlock)
            ->encode(2, random() % 16384, random() % 16384, reply.data, reply.message);
        break;
    }
    case 1:
        reply.type = sysex::ParameterValue;
        reply.value = static_cast<std::uint32_t>(random());
        makeEncoder(sysex::ParameterValue)
            ->encode(0, 0, 33, ByteVector(1 + random() % 4, 0), reply.value, reply.message);
        break;
    default:
        reply.type = sysex::Handshake;
        reply.command = static_cast<std::uint8_t>(random() % 128);
        makeEncoder(sysex::Handshake)->encode(2, 1, 0, reply.command, reply.message);
        break;
    }
    return reply;
}

TEST(CodecRobustness, RandomBytesAreRefusedExactlyWhenTheirFrameOrLengthIsWrong) {
    std::mt19937 random(7);
    int refusals = 0;
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
        refusals += feed(message);
    }
    EXPECT_GT(refusals, 0);
}

TEST(CodecRobustness, ValidRepliesDecodeToWhatWasEncoded) {
    std::mt19937 random(5);
    for (int i = 0; i < 3000; ++i) {
        const Reply reply = validReply(random);
        ASSERT_EQ(messageType(reply.message), reply.type);
        auto decoder = makeDecoder(reply.type);
        if (reply.type == sysex::DataBlock) {
            ByteVector data;
            decoder->decodeData(reply.message, data);
            ASSERT_EQ(data, reply.data);
        } else if (reply.type == sysex::ParameterValue) {
            std::int32_t value = 0;
            decoder->decodeValue(reply.message, value);
            ASSERT_EQ(static_cast<std::uint32_t>(value), reply.value);
        } else {
            std::uint8_t command = 0xFF;
            decoder->decodeCommand(reply.message, command);
            ASSERT_EQ(command, reply.command);
        }
    }
}

TEST(CodecRobustness, TruncatedAndMutatedRepliesAreRefusedExactlyWhenTheyMust) {
    std::mt19937 random(11);
    for (int i = 0; i < 3000; ++i) {
        const ByteVector message = validReply(random).message;
        // Every truncation that keeps a valid end byte.
        for (std::size_t length = 0; length <= message.size(); ++length) {
            ByteVector cut(message.begin(), message.begin() + length);
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
