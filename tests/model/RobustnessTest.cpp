// Thousands of mutated and truncated container, package and song files through
// the constructor from a path and loadForSending(). Each must load or be
// refused with Exception; in the sanitizer build any out-of-bounds access,
// crash or oversized allocation fails the run.

#include "core/Exception.h"
#include "model/VdfData.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"
#include "support/SmfBytes.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

namespace qel {
namespace {

using test::PackageBuilder;
using test::singleItemFile;

std::vector<ByteVector> seedFiles() {
    std::vector<ByteVector> seeds;
    const std::pair<category::id, type::id> singles[] = {
        {category::Tone, type::UserTone},
        {category::DSP, type::UserDsp},
        {category::DrawbarOrgan, type::UserDrawbarOrgan},
        {category::Rhythm, type::UserRhythm},
        {category::Registration, type::Registration},
        {category::Song, type::Song},
        {category::SMF, type::Package},
    };
    for (auto [c, t] : singles)
        seeds.push_back(singleItemFile(c, t, test::itemContent(c, -1, 0, 120)));
    PackageBuilder full(type::Package);
    full.registrations(1).dsps(2).drawbarOrgans(1).tones(1).song(0, "A", 33).song(5, "B", 8);
    full.rhythm(0, "R", 20).rhythm(7, "S", 11);
    full.toneGroup({20, 0, 7}).toneGroup({3}).drumGroup({5, 0, 9}, ByteVector(128, 1));
    seeds.push_back(full.build());
    seeds.push_back(PackageBuilder(type::UserToneWithWave).toneGroup({30, 31}).build());
    seeds.push_back(PackageBuilder(type::UserDrumWithWave).drumGroup({12}).build());
    seeds.push_back(test::smfFile(
        1, 2, 96, {"00 90 3C 40 60 80 3C 00 00 FF 2F 00", "00 F0 03 7E 7F 09 00 FF 2F 00"}));
    return seeds;
}

// Changes a few bytes, mostly in the header and directory where the sizes
// and offsets live, sometimes to extreme values; or cuts the file short.
ByteVector mutate(const ByteVector& seed, std::mt19937& random) {
    ByteVector file = seed;
    std::uniform_int_distribution<int> choice(0, 9);
    const int kind = choice(random);
    if (kind == 0) {
        file.resize(std::uniform_int_distribution<std::size_t>(0, file.size())(random));
        return file;
    }
    const int edits = 1 + choice(random) % 4;
    for (int e = 0; e < edits && !file.empty(); ++e) {
        const std::size_t hot = std::min<std::size_t>(file.size(), 64 + 512 + 1024);
        const std::size_t limit = (kind < 7) ? hot : file.size();
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, limit - 1)(random);
        if (kind == 9 && at + 4 <= file.size()) {
            static const std::uint8_t extremes[][4] = {{0xFF, 0xFF, 0xFF, 0xFF},
                                                       {0x7F, 0xFF, 0xFF, 0xFF},
                                                       {0, 0, 0, 0},
                                                       {0, 0, 0xFF, 0xFF}};
            const auto& value = extremes[choice(random) % 4];
            std::copy(value, value + 4, file.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            file[at] = static_cast<std::uint8_t>(random());
        }
    }
    if (kind == 8)
        file.resize(file.size() - std::min<std::size_t>(file.size(), 1 + random() % 64));
    return file;
}

// Every item's bytes come from the file: none may be larger than the file
// plus its one padding byte.
void checkSizes(const VdfData& item, std::size_t fileSize) {
    EXPECT_LE(item.data().size(), fileSize + 1);
    for (const auto& [c, children] : item.children())
        for (const VdfDataPtr& child : children)
            checkSizes(*child, fileSize);
}

TEST(Robustness, MutatedAndTruncatedFilesLoadOrAreRefused) {
    test::ScratchFolder folder;
    const std::vector<ByteVector> seeds = seedFiles();
    std::mt19937 random(20260607);
    int loaded = 0, refused = 0;
    // QEL_ROBUSTNESS_ROUNDS runs a longer search by hand.
    const char* override = std::getenv("QEL_ROBUSTNESS_ROUNDS");
    const int rounds = override ? std::atoi(override) : 4000;
    for (int round = 0; round < rounds; ++round) {
        const ByteVector& seed = seeds[static_cast<std::size_t>(round) % seeds.size()];
        const ByteVector file = mutate(seed, random);
        const std::string path = folder / "f.vdf";
        test::writeFile(path, file);
        try {
            VdfData item(path);
            item.loadForSending();
            checkSizes(item, file.size());
            ++loaded;
        } catch (const Exception&) {
            ++refused;
        } catch (const std::exception& e) {
            ADD_FAILURE() << "round " << round << ": " << e.what();
        }
    }
    EXPECT_EQ(loaded + refused, rounds);
    // Both outcomes occur, or the mutations miss what they are meant to reach.
    EXPECT_GT(loaded, rounds / 10);
    EXPECT_GT(refused, rounds / 10);
}

} // namespace
} // namespace qel
