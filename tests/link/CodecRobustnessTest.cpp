// Random, truncated and mutated replies through every decoder and messageType:
// each must give a defined result or throw Exception. Run in the sanitizer
// build, an out-of-bounds read fails the test.

#include "core/Exception.h"
#include "link/SysExDecoder.h"
#include "link/SysExEncoder.h"

#include <gtest/gtest.h>
#include <random>

namespace qel {
namespace {

// Feeds one message to messageType and to every decoder operation. Returns the
// number of calls that threw Exception; any other exception fails the test.
int feed(const ByteVector& message) {
    int refused = 0;
    auto attempt = [&](auto&& call) {
        try {
            call();
        } catch (const Exception&) {
            ++refused;
        }
    };
    attempt([&] { messageType(message); });
    for (std::uint8_t code : {0, 4, 7, 3}) {
        auto decoder = makeDecoder(code);
        std::int32_t value = 0;
        ByteVector data;
        std::uint8_t command = 0;
        attempt([&] { decoder->decodeValue(message, value); });
        attempt([&] { decoder->decodeData(message, data); });
        attempt([&] { decoder->decodeCommand(message, command); });
        EXPECT_LE(data.size(), message.size());
    }
    return refused;
}

ByteVector validMessage(std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    ByteVector message;
    switch (random() % 4) {
    case 0: {
        ByteVector data(random() % 129);
        for (auto& b : data)
            b = static_cast<std::uint8_t>(byte(random));
        makeEncoder(4)->encode(2, random() % 16384, random() % 16384, data, message);
        break;
    }
    case 1:
        makeEncoder(0)->encode(0, 0, 33, ByteVector(1 + random() % 4, 0), random(), message);
        break;
    case 2:
        makeEncoder(7)->encode(2, 1, 0, static_cast<std::uint8_t>(random() % 128), message);
        break;
    default:
        makeEncoder(5)->encode(16, random() % 200, 0, message);
        break;
    }
    return message;
}

TEST(CodecRobustness, RandomBytesNeverCrash) {
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

TEST(CodecRobustness, TruncatedAndMutatedMessagesNeverCrash) {
    std::mt19937 random(11);
    for (int i = 0; i < 3000; ++i) {
        const ByteVector message = validMessage(random);
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
