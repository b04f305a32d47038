// System Exclusive reassembly on a MIDI input: events as a JACK port delivers
// them (a long message split into pieces, real-time bytes in between, broken
// senders) in, whole messages out.

#include "platform/midi/SysExAssembler.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

namespace {

using qel::midi::SysExAssembler;
using Bytes = std::vector<std::uint8_t>;
using Dropped = SysExAssembler::Dropped;

struct Outcome {
    std::vector<Bytes> messages;
    std::vector<Dropped> dropped; // one entry per event that dropped something
    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& outcome, std::ostream* out) {
    *out << "messages:";
    for (const Bytes& message : outcome.messages) {
        *out << " [";
        for (std::uint8_t byte : message)
            *out << ' ' << std::hex << int(byte);
        *out << " ]";
    }
    *out << " dropped:";
    for (Dropped dropped : outcome.dropped)
        *out << ' ' << (dropped == Dropped::Overlong ? "overlong" : "unfinished");
}

Outcome feed(SysExAssembler& assembler, const std::vector<Bytes>& events) {
    Outcome outcome;
    for (const Bytes& event : events) {
        const SysExAssembler::Step step = assembler.add(event);
        if (!step.message.empty())
            outcome.messages.emplace_back(step.message.begin(), step.message.end());
        if (step.dropped != Dropped::Nothing)
            outcome.dropped.push_back(step.dropped);
    }
    return outcome;
}

struct Case {
    const char* what;
    std::vector<Bytes> events;
    Outcome expected;
};

void check(const std::vector<Case>& cases, std::size_t longest) {
    for (const Case& c : cases) {
        SysExAssembler assembler(longest);
        EXPECT_EQ(feed(assembler, c.events), c.expected) << c.what;
        EXPECT_FALSE(assembler.assembling()) << c.what;
    }
}

TEST(SysExAssembler, WholeAndSplitMessages) {
    check(
        {
            {"a whole SysEx passes as it came",
             {{0xF0, 0x44, 0x01, 0xF7}},
             {{{0xF0, 0x44, 0x01, 0xF7}}, {}}},
            {"a channel message passes", {{0x90, 0x3C, 0x40}}, {{{0x90, 0x3C, 0x40}}, {}}},
            {"a SysEx in three pieces comes out whole",
             {{0xF0, 0x44, 0x01}, {0x02, 0x03}, {0x04, 0xF7}},
             {{{0xF0, 0x44, 0x01, 0x02, 0x03, 0x04, 0xF7}}, {}}},
            {"a piece of one byte and the end alone",
             {{0xF0}, {0x01}, {0x02, 0xF7}},
             {{{0xF0, 0x01, 0x02, 0xF7}}, {}}},
            {"two split messages one after the other",
             {{0xF0, 0x01}, {0x02, 0xF7}, {0xF0, 0x03}, {0x04, 0xF7}},
             {{{0xF0, 0x01, 0x02, 0xF7}, {0xF0, 0x03, 0x04, 0xF7}}, {}}},
            {"the closing F7 alone as the last piece",
             {{0xF0, 0x01, 0x02}, {0xF7}},
             {{{0xF0, 0x01, 0x02, 0xF7}}, {}}},
            {"the closing F7 alone after a real-time byte",
             {{0xF0, 0x01}, {0xF8}, {0xF7}, {0xF0, 0x02, 0xF7}},
             {{{0xF8}, {0xF0, 0x01, 0xF7}, {0xF0, 0x02, 0xF7}}, {}}},
            {"an empty event changes nothing",
             {{0xF0, 0x01}, {}, {0x02, 0xF7}},
             {{{0xF0, 0x01, 0x02, 0xF7}}, {}}},
        },
        64);
}

// Real-time messages may come at any time, also between the pieces of a
// SysEx; they pass on at once, and the SysEx still arrives whole.
TEST(SysExAssembler, RealTimeBytesBetweenPiecesPassOnAlone) {
    check(
        {
            {"clock between pieces",
             {{0xF0, 0x01}, {0xF8}, {0x02, 0xF7}},
             {{{0xF8}, {0xF0, 0x01, 0x02, 0xF7}}, {}}},
            {"every real-time status",
             {{0xF0, 0x01}, {0xF8}, {0xFA}, {0xFB}, {0xFC}, {0xFE}, {0xFF}, {0x02, 0xF7}},
             {{{0xF8}, {0xFA}, {0xFB}, {0xFC}, {0xFE}, {0xFF}, {0xF0, 0x01, 0x02, 0xF7}}, {}}},
        },
        64);
}

// A sender that breaks off a SysEx: the unfinished part is dropped and said
// so, and what follows is read as it is.
TEST(SysExAssembler, AnotherMessageBeforeTheEndDropsTheUnfinishedOne) {
    check(
        {
            {"a new F0 before F7",
             {{0xF0, 0x01, 0x02}, {0xF0, 0x03}, {0x04, 0xF7}},
             {{{0xF0, 0x03, 0x04, 0xF7}}, {Dropped::Unfinished}}},
            {"a whole SysEx before F7",
             {{0xF0, 0x01}, {0xF0, 0x05, 0xF7}},
             {{{0xF0, 0x05, 0xF7}}, {Dropped::Unfinished}}},
            {"a channel message before F7",
             {{0xF0, 0x01}, {0x90, 0x3C, 0x40}},
             {{{0x90, 0x3C, 0x40}}, {Dropped::Unfinished}}},
        },
        64);
}

// Data bytes with no SysEx open are not glued onto the next SysEx.
TEST(SysExAssembler, GarbageBeforeF0DoesNotSpoilTheMessage) {
    SysExAssembler assembler(64);
    const Outcome outcome = feed(assembler, {{0x12, 0x34}, {0xF0, 0x01}, {0x02, 0xF7}});
    ASSERT_FALSE(outcome.messages.empty());
    EXPECT_EQ(outcome.messages.back(), (Bytes{0xF0, 0x01, 0x02, 0xF7}));
    EXPECT_EQ(outcome.dropped, std::vector<Dropped>{});
}

// Memory stays bounded: a SysEx that grows past the bound without its end is
// dropped and reported; one exactly at the bound still passes, and the
// assembler takes the next message normally.
TEST(SysExAssembler, AnOverlongMessageIsDroppedAndTheNextOneArrives) {
    SysExAssembler assembler(8);
    EXPECT_EQ(feed(assembler, {{0xF0, 0x01, 0x02}, {0x03, 0x04, 0x05}, {0x06, 0xF7}}),
              (Outcome{{{0xF0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xF7}}, {}}))
        << "exactly at the bound";

    Outcome overlong =
        feed(assembler, {{0xF0, 0x01, 0x02}, {0x03, 0x04, 0x05}, {0x06, 0x07, 0xF7}});
    EXPECT_EQ(overlong.messages, std::vector<Bytes>{});
    EXPECT_EQ(overlong.dropped, std::vector<Dropped>{Dropped::Overlong});
    EXPECT_FALSE(assembler.assembling());

    EXPECT_EQ(feed(assembler, {{0xF0, 0x0A}, {0x0B, 0xF7}}),
              (Outcome{{{0xF0, 0x0A, 0x0B, 0xF7}}, {}}));
}

// Once a message has been dropped as overlong, the rest of it up to its F7
// is no message: nothing of it is handed on, and what follows it is read
// normally.
TEST(SysExAssembler, TheRestOfAnOverlongMessageIsSkippedToItsEnd) {
    check(
        {
            {"dropped in the middle, rest in pieces",
             {{0xF0, 0x01, 0x02, 0x03},
              {0x04, 0x05, 0x06, 0x07, 0x08},
              {0x09, 0x0A},
              {0x0B, 0xF7},
              {0xF0, 0x0C, 0xF7}},
             {{{0xF0, 0x0C, 0xF7}}, {Dropped::Overlong}}},
            {"the rest ends with a lone F7",
             {{0xF0, 0x01, 0x02, 0x03}, {0x04, 0x05, 0x06, 0x07, 0x08}, {0xF7}, {0x90, 0x3C, 0x40}},
             {{{0x90, 0x3C, 0x40}}, {Dropped::Overlong}}},
            {"real-time bytes inside the rest still pass",
             {{0xF0, 0x01, 0x02, 0x03}, {0x04, 0x05, 0x06, 0x07, 0x08}, {0xF8}, {0x09, 0xF7}},
             {{{0xF8}}, {Dropped::Overlong}}},
            {"a new status byte ends the skipping",
             {{0xF0, 0x01, 0x02, 0x03}, {0x04, 0x05, 0x06, 0x07, 0x08}, {0xF0, 0x0D}, {0x0E, 0xF7}},
             {{{0xF0, 0x0D, 0x0E, 0xF7}}, {Dropped::Overlong}}},
            {"a first piece already too long",
             {{0xF0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08},
              {0x09, 0xF7},
              {0xF0, 0x0F, 0xF7}},
             {{{0xF0, 0x0F, 0xF7}}, {Dropped::Overlong}}},
        },
        8);
}

// The message handed on stays readable until the next event is added, also
// when it was assembled inside the assembler.
TEST(SysExAssembler, AnAssembledMessageStaysValidUntilTheNextEvent) {
    SysExAssembler assembler(64);
    EXPECT_TRUE(assembler.add(Bytes{0xF0, 0x01}).message.empty());
    EXPECT_TRUE(assembler.assembling());
    const Bytes end{0x02, 0xF7};
    const auto message = assembler.add(end).message;
    EXPECT_FALSE(assembler.assembling());
    EXPECT_EQ(Bytes(message.begin(), message.end()), (Bytes{0xF0, 0x01, 0x02, 0xF7}));
    EXPECT_EQ(feed(assembler, {{0x80, 0x3C, 0x00}}), (Outcome{{{0x80, 0x3C, 0x00}}, {}}));
}

} // namespace
