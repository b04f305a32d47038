// Keyboard -> file -> keyboard through the whole stack: items received from the
// virtual keyboard are saved as PC files, read back with the PC file reader and
// sent into other slots, block references rewritten to the new numbers.

#include "e2e/KeyboardSession.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/SlotLayout.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "support/Hex.h"
#include "support/TestFiles.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <random>

namespace qel {
namespace {

using kbdsim::KeyboardMemory;
using test::be32;
using test::readFile;

ByteVector randomBytes(std::mt19937& random, std::size_t size) {
    ByteVector bytes(size);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

// Fills every block of a group with random bytes around references to its own
// blocks, gives it a name, and gives its wave data random sizes, some empty.
void fillGroup(KeyboardMemory& memory, std::uint16_t category, std::uint16_t number,
               std::uint16_t count, std::mt19937& random, const std::string& name = "") {
    for (std::uint16_t i = 0; i < count; ++i) {
        const auto n = static_cast<std::uint16_t>(number + i);
        ByteVector block;
        if (category == category::WaveData) {
            if (i % 5 != 3)
                block = randomBytes(random, 2 * (1 + random() % 300));
        } else {
            block = randomBytes(random, kbdsim::layout::fixedSize(category));
            kbdsim::layout::writeGroupReferences(category, n, block);
            if (category == category::Inst && i % 7 == 2) {
                block[2] = static_cast<std::uint8_t>(block[2] & 0xC0); // plays a preset wave
                block[3] = 0x10;
            }
        }
        if (!name.empty())
            std::copy(name.begin(), name.end(),
                      block.begin() + *kbdsim::layout::nameOffsetInData(category));
        ASSERT_EQ(memory.store(category, n, block), KeyboardMemory::StoreResult::Stored)
            << category << " " << n;
    }
}

// What a block of the source group should read in the target group: the same
// bytes, with its references pointing at the target group's blocks.
ByteVector moved(const ByteVector& block, std::uint16_t category, std::uint16_t targetNumber) {
    ByteVector expected = block;
    kbdsim::layout::writeGroupReferences(category, targetNumber, expected);
    return expected;
}

class KbdItemRoundTrip : public ::testing::Test {
protected:
    struct SavedGroup {
        std::string path;
        std::uint16_t loadedChildren;
    };

    // Receives the group numbered `number` from the keyboard and saves it as a file.
    SavedGroup saveGroup(type::id t, std::uint16_t number, const std::string& name) {
        auto group = std::make_shared<KbdData>(session.dialog(), category::Package, t, number);
        EXPECT_EQ(group->name(), name);
        group->receive(session.dialog());
        const std::uint16_t loaded = group->loadedChildCount();
        VdfData received(session.directory(), group);
        received.save();
        return {session.directory() + name + ".vdf", loaded};
    }

    // Loads a saved group file, sends it into group `number` and reads that group back.
    std::unique_ptr<KbdData> sendAndReadBack(const std::string& path, type::id t,
                                             std::uint16_t number, std::uint16_t position) {
        VdfData file(path);
        file.loadForSending();
        KbdData target(number, position, file);
        target.send(session.dialog());
        auto readBack = std::make_unique<KbdData>(session.dialog(), category::Package, t, number);
        readBack->receive(session.dialog());
        return readBack;
    }

    test::KeyboardSession session;
    std::mt19937 random{42};
};

TEST_F(KbdItemRoundTrip, UserDspIsSavedAsShowroomVdf) {
    ByteVector dsp = randomBytes(random, 36);
    std::copy_n("SHOWROOM", 8, dsp.begin());
    ASSERT_EQ(session.keyboard().memory().store(category::DSP, 104, dsp),
              KeyboardMemory::StoreResult::Stored);

    auto item = std::make_shared<KbdData>(session.dialog(), category::DSP, type::UserDsp, 104);
    EXPECT_EQ(item->name(), "SHOWROOM");
    EXPECT_EQ(item->size(), 36);
    item->receive(session.dialog());
    VdfData file(session.directory(), item);
    file.save();

    const ByteVector bytes = readFile(session.directory() + "SHOWROOM.vdf");
    ASSERT_EQ(bytes.size(), 100u);
    EXPECT_EQ(test::toHex(ByteVector(bytes.begin() + 15, bytes.begin() + 28)),
              "00 00 00 00 24 11 02 00 09 00 00 00 01");
    EXPECT_EQ(ByteVector(bytes.begin() + 64, bytes.end()), dsp);
}

TEST_F(KbdItemRoundTrip, SmfIsSavedAsMidFileOfExactlyItsBytes) {
    const ByteVector song =
        test::hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 0C "
                  "00 90 3C 40 60 80 3C 00 00 FF 2F 00");
    auto& memory = session.keyboard().memory();
    ASSERT_EQ(memory.store(category::SMF, 12, song), KeyboardMemory::StoreResult::Stored);
    memory.setName(category::SMF, 12, "TWONOTES");

    auto item = std::make_shared<KbdData>(session.dialog(), category::SMF, type::Smf, 12);
    item->receive(session.dialog());
    VdfData file(session.directory(), item);
    file.save();
    EXPECT_EQ(readFile(session.directory() + "TWONOTES.mid"), song);
}

TEST_F(KbdItemRoundTrip, ToneGroupMovesToAnotherGroupWithItsReferencesRewritten) {
    auto& memory = session.keyboard().memory();
    for (const auto& range : kbdsim::layout::toneGroupChildren(850))
        fillGroup(memory, range.category, range.first, range.count, random,
                  range.category == category::Tone ? "TGROUP 1" : "");
    const KeyboardMemory original = memory;

    const auto [path, loaded] = saveGroup(type::UserToneWithWave, 850, "TGROUP 1");
    const ByteVector bytes = readFile(path);
    ASSERT_GE(bytes.size(), 64u + 640 + 512);
    EXPECT_EQ(bytes[22], 0x80);
    EXPECT_EQ((bytes[24] << 8 | bytes[25]), loaded);
    EXPECT_EQ(loaded, 1 + 1 + 4 + 64 + 64 - 13);           // 13 of the 64 wave data are empty
    EXPECT_EQ(be32(bytes, 64 + 382), 640u);                // wave index table
    EXPECT_EQ(be32(bytes, 64 + 640 + 3 * 8), 0xFFFFFFFFu); // wave data 803 is empty
    EXPECT_EQ(be32(bytes, 64 + 640 + 3 * 8 + 4), 0u);

    // Read the target group back from the keyboard, block by block.
    const auto readBack = sendAndReadBack(path, type::UserToneWithWave, 851, 701);
    EXPECT_EQ(readBack->name(), "TGROUP 1");
    const auto source = kbdsim::layout::toneGroupChildren(850);
    for (const auto& range : source) {
        const auto& blocks = readBack->children().at(static_cast<category::id>(range.category));
        ASSERT_EQ(blocks.size(), range.count);
        for (std::uint16_t i = 0; i < range.count; ++i) {
            const std::uint16_t c = range.category;
            const std::uint16_t to = blocks[i]->number();
            EXPECT_EQ(blocks[i]->data(),
                      moved(*original.data(c, static_cast<std::uint16_t>(range.first + i)), c, to))
                << "category " << c << " block " << to;
        }
    }
}

TEST_F(KbdItemRoundTrip, DrumGroupMovesToAnotherGroupWithoutUnusedWaves) {
    auto& memory = session.keyboard().memory();
    for (const auto& range : kbdsim::layout::drumGroupChildren(17))
        fillGroup(memory, range.category, range.first, range.count, random,
                  range.category == category::Drum ? "DGROUP 1" : "");
    const KeyboardMemory original = memory;

    const std::string path = saveGroup(type::UserDrumWithWave, 17, "DGROUP 1").path;
    const ByteVector bytes = readFile(path);
    ASSERT_GE(bytes.size(), 64u + 640);
    for (std::size_t i = 0; i < 128; ++i) // inst flags: insts 2, 9, 16, ... play preset waves
        EXPECT_EQ(bytes[64 + 512 + i], i % 7 == 2 ? 0 : 1) << i;

    const auto readBack = sendAndReadBack(path, type::UserDrumWithWave, 18, 801);
    EXPECT_EQ(readBack->name(), "DGROUP 1");
    for (const auto& range : kbdsim::layout::drumGroupChildren(17)) {
        const auto& blocks = readBack->children().at(static_cast<category::id>(range.category));
        ASSERT_EQ(blocks.size(), range.count);
        for (std::uint16_t i = 0; i < range.count; ++i) {
            const std::uint16_t c = range.category;
            const auto from = static_cast<std::uint16_t>(range.first + i);
            const std::uint16_t to = blocks[i]->number();
            ByteVector expected = moved(*original.data(c, from), c, to);
            if (c == category::Inst && i % 7 == 2)
                expected = *original.data(c, from); // no user wave: reference left alone
            if (c == category::Wave && i % 7 == 2)
                expected = KeyboardMemory::initialBlock(c, to); // not sent
            EXPECT_EQ(blocks[i]->data(), expected) << "category " << c << " block " << to;
        }
    }
}

} // namespace
} // namespace qel
