#include "PcSide.h"
#include "core/Catalogue.h"
#include "core/Exception.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/KeyboardSimulator.h"
#include "link/DataBlockCheck.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

namespace kbdsim {
namespace {

using namespace kbdsim::test;
using qel::test::toHex;
namespace category = qel::category;
using std::chrono::microseconds;

const Bytes modelRequest = parameterRequest(category::Command, 0, 0);

Bytes counting(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    return bytes;
}

TEST(KeyboardSimulatorFaults, TheNthMessageIsLost) {
    Options options;
    options.faults.noReply.ordinal = 3;
    KeyboardSimulator keyboard(options);
    EXPECT_EQ(keyboard.handle(modelRequest).size(), 1u);
    EXPECT_EQ(keyboard.handle(modelRequest).size(), 1u);
    EXPECT_TRUE(keyboard.handle(modelRequest).empty());
    EXPECT_EQ(keyboard.handle(modelRequest).size(), 1u);
    EXPECT_EQ(keyboard.messageCount(), 4u);
}

TEST(KeyboardSimulatorFaults, EveryMessageOfAKindIsLost) {
    struct Case {
        MessageKind kind;
        bool modelAnswered;
        bool sizeAnswered;
        bool dataAnswered;
    };
    const Case cases[] = {
        {MessageKind::ModelRequest, false, true, true},
        {MessageKind::ParameterRequest, false, false, true},
        {MessageKind::DataRequest, true, true, false},
    };
    for (const Case& c : cases) {
        Options options;
        options.faults.noReply.kind = c.kind;
        KeyboardSimulator keyboard(options);
        for (int twice = 0; twice < 2; ++twice) {
            EXPECT_EQ(!keyboard.handle(modelRequest).empty(), c.modelAnswered);
            EXPECT_EQ(askValue(keyboard, category::SMF, 2, 3).has_value(), c.sizeAnswered);
            EXPECT_EQ(!keyboard.handle(dataRequest(category::SMF, 2)).empty(), c.dataAnswered);
        }
    }
}

TEST(KeyboardSimulatorFaults, ALostDeleteDeletesNothing) {
    Options options;
    options.faults.noReply.kind = MessageKind::ParameterValue;
    KeyboardSimulator keyboard(options);
    keyboard.handle(parameterValue(0, 0, 39, 0));
    EXPECT_FALSE(keyboard.memory().data(category::SMF, 0)->empty());
}

TEST(KeyboardSimulatorFaults, RejectOrSysExErrorAtBlockKDropsTheItem) {
    struct Case {
        bool reject;
        std::uint32_t block;
        int command;
    };
    const Case cases[] = {{true, 2, 5}, {false, 2, 3}, {true, 0, 5}, {false, 0, 3}};
    for (const Case& c : cases) {
        Options options;
        options.content = StartContent::Blank;
        (c.reject ? options.faults.rejectAtBlock : options.faults.sysExErrorAtBlock) = c.block;
        KeyboardSimulator keyboard(options);
        std::vector<int> expected(c.block, acknowledgeCommand);
        expected.push_back(c.command);
        EXPECT_EQ(sendItem(keyboard, category::SMF, 10, counting(640)), expected);
        // Whatever the PC sends after the refusal, nothing is stored.
        keyboard.handle(handshake(category::SMF, 10, 0));
        EXPECT_TRUE(keyboard.memory().data(category::SMF, 10)->empty());
        // ... and what the slot held before stays.
        const Bytes before = counting(300);
        keyboard.memory().store(category::SMF, 12, before);
        sendItem(keyboard, category::SMF, 12, counting(640));
        keyboard.handle(handshake(category::SMF, 12, 0));
        EXPECT_EQ(*keyboard.memory().data(category::SMF, 12), before);
        // A shorter item that ends before block k goes through.
        if (c.block == 2) {
            const Bytes small = counting(200);
            sendItem(keyboard, category::SMF, 11, small);
            EXPECT_EQ(*keyboard.memory().data(category::SMF, 11), small);
        }
    }
}

TEST(KeyboardSimulatorFaults, MalformedRepliesFailThePcsFormatCheck) {
    struct Case {
        Malformation malformation;
        const char* text;
    };
    const Case cases[] = {
        {Malformation::Short, "short message"},
        {Malformation::WrongManufacturer, "VORLA ID error"},
        {Malformation::MissingEnd, "EOX error"},
    };
    for (const Case& c : cases) {
        Options options;
        options.faults.malformation = c.malformation;
        options.faults.malformedReply.kind = MessageKind::DataRequest;
        KeyboardSimulator keyboard(options);
        const auto block = onlyReply(keyboard, dataRequest(category::SMF, 2));
        ASSERT_TRUE(block);
        try {
            qel::messageType(*block);
            ADD_FAILURE() << "no failure for " << c.text;
        } catch (const qel::Exception& failure) {
            EXPECT_EQ(failure.message(), c.text);
        }
        // Other replies stay sound.
        EXPECT_EQ(qel::messageType(*onlyReply(keyboard, modelRequest)), 0);
    }
}

TEST(KeyboardSimulatorFaults, AnUnknownModelCodeIsReported) {
    Options options;
    options.modelCode = 9;
    KeyboardSimulator keyboard(options);
    EXPECT_EQ(askValue(keyboard, 0, 0, 0), 9u);
}

TEST(KeyboardSimulatorFaults, ModelPollsGoUnansweredForAWhileAfterADelete) {
    Options options;
    options.faults.busyPollsAfterDelete = 3;
    KeyboardSimulator keyboard(options);
    EXPECT_EQ(askValue(keyboard, 0, 0, 0), 3u); // not busy before any delete
    keyboard.handle(parameterValue(0, 0, 36, 140));
    for (int poll = 0; poll < 3; ++poll)
        EXPECT_EQ(askValue(keyboard, 0, 0, 0), std::nullopt) << poll;
    EXPECT_EQ(askValue(keyboard, 0, 0, 0), 3u);
    EXPECT_TRUE(keyboard.memory().data(category::Rhythm, 140)->empty());
}

TEST(KeyboardSimulatorFaults, SilentMidTransferWhileReceiving) {
    Options options;
    options.faults.silentAfterBlock = 1;
    KeyboardSimulator keyboard(options);
    EXPECT_EQ(keyboard.handle(dataRequest(category::SMF, 2)).size(), 1u);
    EXPECT_EQ(keyboard.handle(handshake(category::SMF, 2, 1)).size(), 1u); // block 1
    EXPECT_TRUE(keyboard.handle(handshake(category::SMF, 2, 1)).empty());
    EXPECT_TRUE(keyboard.handle(modelRequest).empty());
    // New faults end the silence.
    keyboard.setOptions(Options{});
    EXPECT_EQ(keyboard.handle(modelRequest).size(), 1u);
}

TEST(KeyboardSimulatorFaults, SilentMidTransferWhileSending) {
    Options options;
    options.content = StartContent::Blank;
    options.faults.silentAfterBlock = 0;
    KeyboardSimulator keyboard(options);
    EXPECT_EQ(sendItem(keyboard, category::SMF, 4, counting(300)), (std::vector<int>{2, -1}));
}

// The raw data blocks of an item, as the keyboard sends them to the PC.
std::vector<Bytes> rawBlocks(KeyboardSimulator& keyboard, std::uint16_t category,
                             std::uint16_t number) {
    std::vector<Bytes> blocks;
    Bytes request = dataRequest(category, number);
    for (int block = 0; block < 20000; ++block) {
        const auto reply = onlyReply(keyboard, request);
        if (!reply || qel::messageType(*reply) != qel::sysex::DataBlock)
            break;
        blocks.push_back(*reply);
        request = handshake(category, number, qel::sysex::NextBlock);
    }
    return blocks;
}

TEST(KeyboardSimulatorBlocks, EveryBlockOfEveryItemPassesThePcsCheck) {
    KeyboardSimulator keyboard;
    std::size_t checked = 0;
    for (const auto& [key, slot] : keyboard.memory().storedSlots()) {
        const auto c = static_cast<std::uint16_t>(key >> 16);
        const auto n = static_cast<std::uint16_t>(key & 0xFFFF);
        const std::vector<Bytes> blocks = rawBlocks(keyboard, c, n);
        for (std::uint32_t k = 0; k < blocks.size(); ++k)
            ASSERT_EQ(qel::checkDataBlock(blocks[k], k), qel::DataBlockFault::None)
                << "category " << c << " number " << n << " block " << k;
        checked += blocks.size();
    }
    EXPECT_GT(checked, 100u) << "the demo content has many blocks";
}

TEST(KeyboardSimulatorFaults, ACorruptedBlockFailsThePcsCheckAndOnlyThatOne) {
    struct Case {
        BlockCorruption corruption;
        qel::DataBlockFault fault;
    };
    const Case cases[] = {
        {BlockCorruption::Checksum, qel::DataBlockFault::Checksum},
        {BlockCorruption::PairCount, qel::DataBlockFault::PairCount},
        {BlockCorruption::BlockNumber, qel::DataBlockFault::BlockNumber},
        {BlockCorruption::FlippedBit, qel::DataBlockFault::Checksum},
    };
    for (const Case& c : cases) {
        Options options;
        options.faults.corruptAtBlock = 1;
        options.faults.blockCorruption = c.corruption;
        KeyboardSimulator keyboard(options);
        const std::vector<Bytes> blocks = rawBlocks(keyboard, category::SMF, 2);
        ASSERT_GE(blocks.size(), 3u);
        for (std::uint32_t k = 0; k < blocks.size(); ++k)
            EXPECT_EQ(qel::checkDataBlock(blocks[k], k),
                      k == 1 ? c.fault : qel::DataBlockFault::None)
                << qel::dataBlockFaultName(c.fault) << ", block " << k;
    }
}

TEST(KeyboardSimulatorFaults, ALateReplyLeavesLater) {
    Options options;
    options.faults.lateReply.ordinal = 2;
    options.faults.lateBy = microseconds(10'500'000);
    KeyboardSimulator keyboard(options);
    EXPECT_EQ(keyboard.handle(modelRequest).at(0).delay, microseconds(0));
    EXPECT_EQ(keyboard.handle(modelRequest).at(0).delay, microseconds(10'500'000));
    EXPECT_EQ(keyboard.handle(modelRequest).at(0).delay, microseconds(0));
}

TEST(KeyboardSimulatorPacing, EachReplyTakesItsWireTimeAt31250Baud) {
    Options options;
    options.pacing.enabled = true;
    KeyboardSimulator keyboard(options);
    // Counted from the full receipt of the request: the 15 reply bytes, 320
    // microseconds each. The request's own 13 bytes are its host's to time.
    EXPECT_EQ(keyboard.handle(modelRequest).at(0).delay, microseconds(15 * 320));
    options.pacing.processingDelay = microseconds(1500);
    keyboard.setOptions(options);
    EXPECT_EQ(keyboard.handle(modelRequest).at(0).delay, microseconds(15 * 320 + 1500));
    // A full block of 208 bytes.
    const auto replies = keyboard.handle(dataRequest(category::SMF, 2));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].message.size(), 208u);
    EXPECT_EQ(replies[0].delay, microseconds(208 * 320 + 1500));
    // Messages without a reply cost no processing delay.
    EXPECT_TRUE(keyboard.handle(parameterValue(0, 0, 32, 0)).empty());
}

TEST(KeyboardSimulatorPacing, ReceivingAnItemCostsTheWireTimeOfItsReplies) {
    Options options;
    options.pacing.enabled = true;
    KeyboardSimulator keyboard(options);
    const std::size_t size = keyboard.memory().data(category::SMF, 2)->size();
    microseconds total{0};
    Bytes request = dataRequest(category::SMF, 2);
    std::size_t replyBytes = 0;
    for (int guard = 0; guard < 100; ++guard) {
        const auto replies = keyboard.handle(request);
        ASSERT_EQ(replies.size(), 1u);
        total += replies[0].delay;
        replyBytes += replies[0].message.size();
        if (qel::messageType(replies[0].message) == qel::sysex::Handshake)
            break;
        request = handshake(category::SMF, 2, 1);
    }
    EXPECT_EQ(total, Pacing::wireTime(replyBytes));
    // Three 7-bit groups carry two data bytes: at least 1.5 wire bytes per byte.
    EXPECT_GE(replyBytes, size * 3 / 2);
}

TEST(KeyboardSimulatorPacing, ALateReplyAddsToItsWireTime) {
    Options options;
    options.pacing.enabled = true;
    options.faults.lateReply.kind = MessageKind::ModelRequest;
    options.faults.lateBy = microseconds(2'000'000);
    KeyboardSimulator keyboard(options);
    EXPECT_EQ(keyboard.handle(modelRequest).at(0).delay, microseconds(2'000'000 + 15 * 320));
}

TEST(MessageSelector, MatchesByOrdinalKindOrBoth) {
    MessageSelector none;
    EXPECT_FALSE(none.matches(1, MessageKind::ModelRequest));
    MessageSelector third{3, std::nullopt};
    EXPECT_TRUE(third.matches(3, MessageKind::Other));
    EXPECT_FALSE(third.matches(4, MessageKind::Other));
    MessageSelector requests{0, MessageKind::ParameterRequest};
    EXPECT_TRUE(requests.matches(9, MessageKind::ModelRequest));
    EXPECT_FALSE(requests.matches(9, MessageKind::DataRequest));
    MessageSelector models{0, MessageKind::ModelRequest};
    EXPECT_FALSE(models.matches(9, MessageKind::ParameterRequest));
}

} // namespace
} // namespace kbdsim
