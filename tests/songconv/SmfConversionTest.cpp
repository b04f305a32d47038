// FormatChange on files written here: merging, division, end-of-track, and the
// refusal of anything that is no valid Standard MIDI File.

#include "songconv/FormatChange.h"
#include "songconv/SmfReader.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"
#include "support/SmfBytes.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>

namespace qel {
namespace {

using test::hex;
using test::smfFile;
using test::toHex;

// Converts `input` and gives the result code and the output (empty when no file).
std::pair<int, ByteVector> convert(const ByteVector& input) {
    test::ScratchFolder folder;
    test::writeFile(folder / "in.mid", input);
    const int result = FormatChange((folder / "in.mid").c_str(), (folder / "out.mid").c_str());
    ByteVector output;
    if (std::filesystem::exists(folder / "out.mid"))
        output = test::readFile(folder / "out.mid");
    return {result, output};
}

struct Conversion {
    const char* what;
    ByteVector input;
    ByteVector output;
};

TEST(SmfConversion, ValidFilesBecomeFormatZero) {
    const Conversion cases[] = {
        {"format 1 tracks merged in time order, ties in track order",
         smfFile(1, 3, 480,
                 {"00 FF 51 03 07 A1 20  00 FF 2F 00", "00 90 3C 40  83 60 80 3C 00  00 FF 2F 00",
                  "00 91 40 40  81 70 81 40 00  81 70 F0 02 7E F7  00 FF 2F 00"}),
         smfFile(0, 1, 480,
                 {"00 FF 51 03 07 A1 20  00 90 3C 40  00 91 40 40  81 70 81 40 00 "
                  "81 70 80 3C 00  00 F0 02 7E F7  00 FF 2F 00"})},
        {"running status written out",
         smfFile(0, 1, 96, {"00 90 3C 40  10 3E 40  10 3C 00  00 FF 2F 00"}),
         smfFile(0, 1, 96, {"00 90 3C 40  10 90 3E 40  10 90 3C 00  00 FF 2F 00"})},
        {"end-of-track at the latest end of any track",
         smfFile(1, 2, 96, {"00 C0 05  83 00 FF 2F 00", "00 C1 06  10 FF 2F 00"}),
         smfFile(0, 1, 96, {"00 C0 05  00 C1 06  83 00 FF 2F 00"})},
        {"SMPTE division kept", smfFile(0, 1, 0xE728, {"00 B0 07 64  00 FF 2F 00"}),
         smfFile(0, 1, 0xE728, {"00 B0 07 64  00 FF 2F 00"})},
        {"bytes after end-of-track and foreign chunks are skipped",
         [] {
             ByteVector file = smfFile(1, 1, 96, {"00 E0 00 40  00 FF 2F 00  00 90"});
             const ByteVector foreign = test::smfChunk("XFIH", hex("01 02 03"));
             file.insert(file.begin() + 14, foreign.begin(), foreign.end());
             return file;
         }(),
         smfFile(0, 1, 96, {"00 E0 00 40  00 FF 2F 00"})},
        {"escaped F7 event and long lengths",
         smfFile(0, 1, 96, {"00 F7 02 F3 01  8F FF FF 7F FF 2F 00"}),
         smfFile(0, 1, 96, {"00 F7 02 F3 01  8F FF FF 7F FF 2F 00"})},
    };
    for (const Conversion& c : cases) {
        const auto [result, output] = convert(c.input);
        EXPECT_EQ(result, FormatChangeDone) << c.what;
        EXPECT_EQ(toHex(output), toHex(c.output)) << c.what;
    }
}

TEST(SmfConversion, InvalidFilesLeaveNoDestination) {
    const std::pair<const char*, ByteVector> cases[] = {
        {"empty", {}},
        {"no MThd", hex("4D 54 72 6B 00 00 00 06 00 00 00 01 00 60")},
        {"header length 5", hex("4D 54 68 64 00 00 00 05 00 00 00 01 00")},
        {"header cut short", hex("4D 54 68 64 00 00 00 06 00 00 00")},
        {"format 2", smfFile(2, 1, 96, {"00 FF 2F 00"})},
        {"format 0 with two tracks", smfFile(0, 2, 96, {"00 FF 2F 00", "00 FF 2F 00"})},
        {"no tracks", smfFile(1, 0, 96, {})},
        {"fewer tracks than announced", smfFile(1, 3, 96, {"00 FF 2F 00", "00 FF 2F 00"})},
        {"division 0", smfFile(0, 1, 0, {"00 FF 2F 00"})},
        {"track without end-of-track", smfFile(0, 1, 96, {"00 90 3C 40"})},
        {"data byte 0xFF", smfFile(0, 1, 96, {"00 90 3C FF 00 FF 2F 00"})},
        {"running status without a status", smfFile(0, 1, 96, {"00 3C 40 00 FF 2F 00"})},
        {"system common status F2", smfFile(0, 1, 96, {"00 F2 00 00 00 FF 2F 00"})},
        {"real-time status F8", smfFile(0, 1, 96, {"00 F8 00 FF 2F 00"})},
        {"five-byte delta time", smfFile(0, 1, 96, {"80 80 80 80 00 FF 2F 00"})},
        {"SysEx length past the chunk", smfFile(0, 1, 96, {"00 F0 7F 01 02"})},
        {"meta length past the chunk", smfFile(0, 1, 96, {"00 FF 01 8F FF FF 7F 41"})},
        {"meta type with top bit", smfFile(0, 1, 96, {"00 FF 81 00 00 FF 2F 00"})},
        {"event cut by the chunk end", smfFile(0, 1, 96, {"00 90 3C"})},
        {"chunk length past the file",
         [] {
             ByteVector file = smfFile(0, 1, 96, {"00 FF 2F 00"});
             file[14 + 7] = 0x40;
             return file;
         }()},
    };
    for (const auto& [what, input] : cases) {
        const auto [result, output] = convert(input);
        EXPECT_EQ(result, FormatChangeNotSmf) << what;
        EXPECT_TRUE(output.empty()) << what;
    }
}

TEST(SmfConversion, UnreadableSourceAndUnwritableDestinationAreReported) {
    test::ScratchFolder folder;
    const std::string out = folder / "out.mid";
    EXPECT_EQ(FormatChange((folder / "missing.mid").c_str(), out.c_str()), FormatChangeUnreadable);
    EXPECT_EQ(FormatChange(folder.path().c_str(), out.c_str()), FormatChangeUnreadable)
        << "a folder";
    EXPECT_FALSE(std::filesystem::exists(out));
    test::writeFile(folder / "in.mid", smfFile(0, 1, 96, {"00 FF 2F 00"}));
    EXPECT_EQ(FormatChange((folder / "in.mid").c_str(), (folder / "no/such/out.mid").c_str()),
              FormatChangeUnwritable);
    EXPECT_EQ(FormatChange(nullptr, out.c_str()), FormatChangeBadArguments);
    EXPECT_EQ(FormatChange((folder / "in.mid").c_str(), ""), FormatChangeBadArguments);
}

TEST(SmfConversion, RandomBytesAfterAValidHeaderNeverCrash) {
    std::mt19937 random(7);
    const ByteVector seed = smfFile(1, 2, 96,
                                    {"00 90 3C 40 60 3E 40 00 F0 02 7E F7 00 FF 2F 00",
                                     "00 FF 03 04 41 42 43 44 30 C1 05 00 FF 2F 00"});
    int converted = 0;
    for (int round = 0; round < 2000; ++round) {
        ByteVector file = seed;
        for (int e = 0; e < 3; ++e)
            file[std::uniform_int_distribution<std::size_t>(0, file.size() - 1)(random)] =
                static_cast<std::uint8_t>(random());
        if (round % 5 == 0)
            file.resize(random() % file.size());
        const auto [result, output] = convert(file);
        if (result == FormatChangeDone) {
            ++converted;
            // Whatever was accepted reads back as a valid format 0 file.
            EXPECT_EQ(smf::readSmf(output).format, 0) << round;
        } else {
            EXPECT_TRUE(output.empty()) << round;
        }
    }
    EXPECT_GT(converted, 0);
}

} // namespace
} // namespace qel
