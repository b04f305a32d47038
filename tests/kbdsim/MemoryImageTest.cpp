#include "kbdsim/MemoryImage.h"

#include "core/Catalogue.h"
#include "core/Exception.h"
#include "kbdsim/DemoContent.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/SlotLayout.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kbdsim {
namespace {

namespace category = qel::category;

KeyboardMemory demo() {
    KeyboardMemory memory;
    fillDemoContent(memory);
    return memory;
}

void expectSameSlots(const KeyboardMemory& a, const KeyboardMemory& b) {
    ASSERT_EQ(a.storedSlots().size(), b.storedSlots().size());
    for (const auto& [key, slot] : a.storedSlots()) {
        const auto& other = b.storedSlots().at(key);
        EXPECT_EQ(slot.data, other.data) << std::hex << key;
        EXPECT_EQ(slot.keptName, other.keptName) << std::hex << key;
    }
    EXPECT_EQ(a.freeDataMemory(), b.freeDataMemory());
    EXPECT_EQ(a.freeSongMemory(), b.freeSongMemory());
}

std::string expectFailure(const Bytes& image) {
    try {
        MemoryImage::decode(image);
    } catch (const qel::Exception& failure) {
        return failure.message();
    }
    return "(no failure)";
}

TEST(MemoryImage, RoundTripKeepsEverySlotAndName) {
    KeyboardMemory memory = demo();
    memory.setName(category::SMF, 0, "MY SONG!");
    // A rhythm whose data name differs from its kept name keeps both.
    Bytes rhythm(20, 'x');
    memory.store(category::Rhythm, 150, rhythm);
    expectSameSlots(MemoryImage::decode(MemoryImage::encode(memory)), memory);
}

TEST(MemoryImage, BlankMemoryIsJustTheHeader) {
    const Bytes image = MemoryImage::encode(KeyboardMemory{});
    EXPECT_EQ(image.size(), 17u + 1u + 4u);
    expectSameSlots(MemoryImage::decode(image), KeyboardMemory{});
}

TEST(MemoryImage, EveryTruncationIsRefused) {
    const Bytes image = MemoryImage::encode(demo());
    // The cut points cover the header and the first slots byte by byte, then
    // spread over the whole image.
    for (std::size_t cut = 0; cut + 1 < image.size(); cut += cut < 300 ? 1 : 997) {
        const Bytes shortened(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(expectFailure(shortened), "Illegal Format") << cut;
    }
    Bytes longer = image;
    longer.push_back(0);
    EXPECT_EQ(expectFailure(longer), "Illegal Format");
}

// One slot record after the header: category, number, name, size, data.
Bytes oneSlotImage(std::uint16_t cat, std::uint16_t number, std::uint32_t size,
                   std::uint8_t version = 1) {
    Bytes image{'T', 'Q', '7', '4', '0', '0', '-', 'K', 'B',
                'D', 'S', 'I', 'M', '-', 'M', 'E', 'M'};
    image.push_back(version);
    image.insert(image.end(), {0, 0, 0, 1});
    image.insert(image.end(),
                 {static_cast<std::uint8_t>(cat >> 8), static_cast<std::uint8_t>(cat),
                  static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number)});
    image.insert(image.end(), 8, ' ');
    for (int shift = 24; shift >= 0; shift -= 8)
        image.push_back(static_cast<std::uint8_t>(size >> shift));
    image.insert(image.end(), size, 0x22);
    return image;
}

TEST(MemoryImage, ContentTheKeyboardCouldNotHoldIsRefused) {
    EXPECT_NO_THROW(MemoryImage::decode(oneSlotImage(category::SMF, 5, 100)));
    struct Case {
        const char* what;
        Bytes image;
    };
    Bytes twice = oneSlotImage(category::SMF, 5, 2);
    twice[21] = 2;
    const Bytes again(twice.begin() + 22, twice.end());
    twice.insert(twice.end(), again.begin(), again.end());
    Bytes badSignature = oneSlotImage(category::SMF, 5, 2);
    badSignature[0] = 'X';
    const Case cases[] = {
        {"unknown version", oneSlotImage(category::SMF, 5, 2, 2)},
        {"bad signature", badSignature},
        {"no user slot", oneSlotImage(category::SMF, 200, 2)},
        {"no user category", oneSlotImage(category::Patch, 0, 868)},
        {"fixed block of the wrong size", oneSlotImage(category::Tone, 750, 69)},
        {"larger than the song area", oneSlotImage(category::Song, 0, songAreaSize + 1)},
        {"the same slot twice", twice},
    };
    for (const Case& c : cases)
        EXPECT_EQ(expectFailure(c.image), "Illegal Format") << c.what;
}

TEST(MemoryImage, ASizeFieldBeyondTheImageIsRefusedWithoutReadingPastIt) {
    Bytes image = oneSlotImage(category::SMF, 5, 4);
    image[34] = 0xFF; // size field: 0xFF000004
    EXPECT_EQ(expectFailure(image), "Illegal Format");
}

class MemoryImageFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("kbdsim-image-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

TEST_F(MemoryImageFile, SaveThenLoadGivesTheSameMemory) {
    const std::string path = (dir / "memory.img").string();
    const KeyboardMemory memory = demo();
    MemoryImage::save(memory, path);
    expectSameSlots(MemoryImage::load(path), memory);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST_F(MemoryImageFile, MissingFileAndUnwritablePathFailWithTheirTexts) {
    const std::string missing = (dir / "none.img").string();
    try {
        MemoryImage::load(missing);
        ADD_FAILURE();
    } catch (const qel::Exception& failure) {
        EXPECT_EQ(failure.message(), "Can't open the file: " + missing);
    }
    const std::string unwritable = (dir / "no-such-dir" / "x.img").string();
    try {
        MemoryImage::save(KeyboardMemory{}, unwritable);
        ADD_FAILURE();
    } catch (const qel::Exception& failure) {
        EXPECT_EQ(failure.message(),
                  "Can't create the file: " + unwritable + " (No such file or directory)");
    }
}

TEST_F(MemoryImageFile, AFileThatIsNoImageIsRefused) {
    const std::string path = (dir / "other.img").string();
    std::ofstream(path) << "MThd this is not a memory image";
    EXPECT_THROW(MemoryImage::load(path), qel::Exception);
}

} // namespace
} // namespace kbdsim
