// The lock-free ring that carries whole messages between the JACK process
// thread and the others: full, empty, wrap-around at every part of a message,
// messages that can never fit, and one producer and one consumer thread at once.

#include "platform/midi/MessageRing.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using qel::midi::MessageRing;
using Bytes = std::vector<std::uint8_t>;

// A message of `size` bytes that differs from the message of any other `seed`.
Bytes pattern(std::size_t size, unsigned seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed * 31 + i * 7 + 1);
    return bytes;
}

bool push(MessageRing& ring, const Bytes& message) {
    return ring.push(message.data(), static_cast<std::uint32_t>(message.size()));
}

std::optional<Bytes> pop(MessageRing& ring) {
    const auto size = ring.nextSize();
    if (!size)
        return std::nullopt;
    Bytes bytes(*size);
    ring.pop(bytes.data());
    return bytes;
}

TEST(MessageRing, AnEmptyRingHasNothingAndPoppingItChangesNothing) {
    MessageRing ring(64);
    EXPECT_FALSE(ring.nextSize());
    ring.pop(nullptr);
    Bytes unused(4, 0xAA);
    ring.pop(unused.data());
    EXPECT_EQ(unused, Bytes(4, 0xAA));
    EXPECT_FALSE(ring.nextSize());
    // Still whole afterwards.
    ASSERT_TRUE(push(ring, pattern(10, 1)));
    EXPECT_EQ(pop(ring), pattern(10, 1));
}

TEST(MessageRing, CapacityIsAPowerOfTwoWithTheLengthWordsInside) {
    EXPECT_EQ(MessageRing(64).capacity(), 64u);
    EXPECT_EQ(MessageRing(65).capacity(), 128u);
    EXPECT_EQ(MessageRing(64).largestMessage(), 64u - MessageRing::lengthBytes);
    EXPECT_GE(MessageRing(0).largestMessage(), 1u);
}

// A full ring refuses the next message whole, keeps what it holds in order,
// and takes messages again as soon as one has left.
TEST(MessageRing, AFullRingRefusesWholeMessagesAndKeepsItsOrder) {
    MessageRing ring(64); // four messages of 12 bytes, 16 with their length words
    for (unsigned i = 0; i < 4; ++i)
        ASSERT_TRUE(push(ring, pattern(12, i))) << i;
    EXPECT_FALSE(ring.hasRoomFor(1));
    EXPECT_FALSE(push(ring, pattern(1, 9)));
    EXPECT_FALSE(push(ring, pattern(12, 9)));

    EXPECT_EQ(pop(ring), pattern(12, 0));
    EXPECT_TRUE(ring.hasRoomFor(12));
    EXPECT_FALSE(ring.hasRoomFor(13));
    ASSERT_TRUE(push(ring, pattern(12, 4)));
    for (unsigned i = 1; i <= 4; ++i)
        EXPECT_EQ(pop(ring), pattern(12, i)) << i;
    EXPECT_FALSE(ring.nextSize());
}

// The largest message fills an empty ring exactly; one byte more can never
// fit, however empty the ring is.
TEST(MessageRing, AMessageLargerThanTheRingIsNeverTaken) {
    MessageRing ring(32);
    const std::size_t largest = ring.largestMessage();
    EXPECT_FALSE(ring.hasRoomFor(largest + 1));
    EXPECT_FALSE(push(ring, pattern(largest + 1, 1)));
    EXPECT_FALSE(ring.nextSize()) << "a refused message leaves nothing behind";
    ASSERT_TRUE(push(ring, pattern(largest, 2)));
    EXPECT_FALSE(ring.hasRoomFor(0));
    EXPECT_EQ(pop(ring), pattern(largest, 2));
    // The same after the positions have moved on past the buffer's end.
    ASSERT_TRUE(push(ring, pattern(5, 3)));
    EXPECT_EQ(pop(ring), pattern(5, 3));
    EXPECT_FALSE(push(ring, pattern(largest + 1, 4)));
    ASSERT_TRUE(push(ring, pattern(largest, 5)));
    EXPECT_EQ(pop(ring), pattern(largest, 5));
}

// Where a message starts is set by a filler message pushed and popped first;
// the cases put the buffer's end inside the length word (at each of its
// bytes), inside the message bytes, and exactly between the two.
TEST(MessageRing, AMessageAcrossTheBufferEndArrivesWhole) {
    struct Case {
        const char* what;
        std::size_t filler; // message bytes before; 4 more for its length word
        std::size_t size;
    };
    const std::vector<Case> cases{
        {"length word split after its first byte", 27, 20},
        {"length word split after two bytes", 26, 20},
        {"length word split after three bytes", 25, 20},
        {"buffer end between length word and bytes", 24, 20},
        {"buffer end inside the bytes", 20, 27},
        {"message ends exactly at the buffer end", 14, 10},
        {"starts exactly at the buffer start", 28, 28},
        {"one byte on either side", 23, 2},
    };
    for (const Case& c : cases) {
        MessageRing ring(32);
        ASSERT_TRUE(push(ring, pattern(c.filler, 0))) << c.what;
        ASSERT_EQ(pop(ring), pattern(c.filler, 0)) << c.what;
        ASSERT_TRUE(push(ring, pattern(c.size, 1))) << c.what;
        EXPECT_EQ(ring.nextSize(), c.size) << c.what;
        EXPECT_EQ(pop(ring), pattern(c.size, 1)) << c.what;
        EXPECT_FALSE(ring.nextSize()) << c.what;
    }
}

TEST(MessageRing, PoppingWithoutADestinationOnlyRemoves) {
    MessageRing ring(64);
    ASSERT_TRUE(push(ring, pattern(8, 1)));
    ASSERT_TRUE(push(ring, pattern(9, 2)));
    ring.pop(nullptr);
    EXPECT_EQ(pop(ring), pattern(9, 2));
}

// One producer and one consumer thread on a small ring, so that it runs full,
// runs empty and wraps many times: every message arrives once, whole and in
// order. Each side gives up at a deadline instead of waiting forever.
TEST(MessageRing, TwoThreadsPassEveryMessageWholeAndInOrder) {
    constexpr unsigned count = 20000;
    const auto sizeOf = [](unsigned i) { return std::size_t{1} + (i * 13) % 60; };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    MessageRing ring(256);
    std::atomic<bool> producerTimedOut{false};

    std::thread producer([&] {
        for (unsigned i = 0; i < count; ++i) {
            const Bytes message = pattern(sizeOf(i), i);
            while (!push(ring, message)) {
                if (std::chrono::steady_clock::now() > deadline) {
                    producerTimedOut = true;
                    return;
                }
                std::this_thread::yield();
            }
        }
    });

    unsigned received = 0;
    std::string firstFault;
    while (received < count && firstFault.empty()) {
        const auto message = pop(ring);
        if (!message) {
            if (std::chrono::steady_clock::now() > deadline) {
                firstFault = "timed out after " + std::to_string(received) + " messages";
                break;
            }
            std::this_thread::yield();
            continue;
        }
        if (*message != pattern(sizeOf(received), received))
            firstFault = "message " + std::to_string(received) + " differs";
        ++received;
    }
    producer.join();
    EXPECT_FALSE(producerTimedOut);
    EXPECT_EQ(firstFault, "");
    EXPECT_EQ(received, count);
    EXPECT_FALSE(ring.nextSize());
}

} // namespace
