// FormatChange on Standard MIDI Files that no one here wrote, taken from
// Debian packages by fetch_smf_fixtures.sh (apt-get download, dpkg-deb -x; the
// files are cached in the build tree). Each output is read back here, by the
// strict test reader and by an independent reader (mido) as a cross-check.

#include "support/ScratchFolder.h"
#include "StrictSmfReader.h"
#include "songconv/FormatChange.h"
#include "songconv/SmfReader.h"
#include "songconv/SmfWriter.h"
#include "support/Hex.h"
#include "support/PackageBuilder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <stdexcept>
#include <vector>

namespace qel {
namespace {

// Fetches the files once per test process (the script itself is cached and
// locked across processes). Empty when they are there, else the reason.
const std::string& fixtureProblem() {
    static const std::string problem = [] {
        const std::string command = std::string("'") + QEL_SMF_FETCH_SCRIPT + "' '" +
                                    QEL_SMF_FIXTURES + "' 2> '" + QEL_SMF_FIXTURES + ".log'";
        std::filesystem::create_directories(QEL_SMF_FIXTURES);
        if (std::system(command.c_str()) != 0)
            return "the Debian packages with the MIDI files could not be downloaded (see " +
                   std::string(QEL_SMF_FIXTURES) + ".log)";
        return std::string();
    }();
    return problem;
}

std::string fixture(const std::string& name) {
    return std::string(QEL_SMF_FIXTURES) + "/" + name;
}

struct Fixture {
    const char* file;
    std::uint16_t format;
    std::size_t tracks;
    const char* feature;
};

// Shown in test names and messages as the file name alone.
void PrintTo(const Fixture& f, std::ostream* out) {
    *out << f.file << " (" << f.feature << ")";
}

class DebianSmf : public ::testing::TestWithParam<Fixture> {
protected:
    void SetUp() override {
        if (!fixtureProblem().empty())
            GTEST_SKIP() << fixtureProblem();
    }
};

std::size_t countKind(const smf::Track& track, smf::EventKind kind) {
    std::size_t count = 0;
    for (const smf::Event& event : track)
        count += event.kind == kind;
    return count;
}

TEST_P(DebianSmf, ConvertsToFormatZeroWithEveryEventInTimeOrder) {
    const Fixture& f = GetParam();
    const smf::Song source = smf::readSmf(test::readFile(fixture(f.file)));
    EXPECT_EQ(source.format, f.format) << "the file is the one the test expects";
    EXPECT_EQ(source.tracks.size(), f.tracks);

    test::ScratchFolder folder;
    const std::string out = folder / "out.mid";
    ASSERT_EQ(FormatChange(fixture(f.file).c_str(), out.c_str()), FormatChangeDone);
    const smf::Song converted = smf::readSmf(test::readFile(out));
    EXPECT_EQ(converted.format, 0);
    ASSERT_EQ(converted.tracks.size(), 1u);
    EXPECT_EQ(converted.division, source.division);

    const smf::Track& track = converted.tracks[0];
    ASSERT_FALSE(track.empty());
    EXPECT_TRUE(track.back().isEndOfTrack());
    std::size_t endOfTracks = 0;
    for (const smf::Event& event : track)
        endOfTracks += event.isEndOfTrack();
    EXPECT_EQ(endOfTracks, 1u);
    for (std::size_t i = 1; i < track.size(); ++i)
        ASSERT_LE(track[i - 1].tick, track[i].tick) << "event " << i;

    // The same channel, SysEx and meta events, in merged time order.
    smf::Track withoutEnd(track.begin(), track.end() - 1);
    const smf::Track expected = smf::mergeTracks(source);
    EXPECT_EQ(withoutEnd.size(), expected.size());
    EXPECT_TRUE(withoutEnd == expected);
    std::uint64_t end = 0;
    for (const smf::Track& t : source.tracks)
        end = std::max(end, t.back().tick);
    EXPECT_EQ(track.back().tick, end);

    std::size_t sourceSysEx = 0;
    for (const smf::Track& t : source.tracks)
        sourceSysEx += countKind(t, smf::EventKind::SysEx);
    EXPECT_EQ(countKind(track, smf::EventKind::SysEx), sourceSysEx);
}

TEST_P(DebianSmf, IndependentReaderAgrees) {
    const Fixture& f = GetParam();
    test::ScratchFolder folder;
    const std::string out = folder / "out.mid";
    ASSERT_EQ(FormatChange(fixture(f.file).c_str(), out.c_str()), FormatChangeDone);
    const std::string command = "/usr/bin/python3 '" + std::string(QEL_MIDO_CROSSCHECK) + "' '" +
                                fixture(f.file) + "' '" + out + "'";
    const int status = std::system(command.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "python3-mido is not installed (scripts/setup.sh installs it)";
    EXPECT_EQ(status, 0) << "mido sees a difference (details above)";
}

TEST_P(DebianSmf, RunningStatusIsUsedWhereverTheStandardAllowsItAndNowhereElse) {
    const Fixture& f = GetParam();
    test::ScratchFolder folder;
    const std::string out = folder / "out.mid";
    ASSERT_EQ(FormatChange(fixture(f.file).c_str(), out.c_str()), FormatChangeDone);
    const test::StrictSmf converted = test::readSmfStrictly(test::readFile(out));
    ASSERT_EQ(converted.tracks.size(), 1u);
    smf::Track events = converted.tracks[0];
    events.pop_back();
    EXPECT_TRUE(events == smf::mergeTracks(smf::readSmf(test::readFile(fixture(f.file)))));
    EXPECT_EQ(converted.statusesRepeated, 0u);
}

const Fixture fixtures[] = {
    {"nyquist-test.mid", 1, 2, "tiny format 1"},
    {"c_maj_melody.mid", 1, 2, "running status"},
    {"bwv772.mid", 1, 3, "three tracks"},
    {"midivolume.mid", 1, 3, "hundreds of SysEx events"},
    {"Out_There.mid", 0, 1, "format 0"},
    {"44-Above-the-sky.mid", 1, 18, "18 tracks"},
};

INSTANTIATE_TEST_SUITE_P(
    Files, DebianSmf, ::testing::ValuesIn(fixtures),
    [](const ::testing::TestParamInfo<Fixture>& info) {
        std::string name = info.param.file;
        name = name.substr(0, name.find('.'));
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(DebianSmfSize, OutputIsNeverLargerThanAWellFormedInputThatUsesRunningStatus) {
    if (!fixtureProblem().empty())
        GTEST_SKIP() << fixtureProblem();
    // Merging format 1 tracks can break runs of equal statuses, so the bound
    // is not a law; it is what these real files must keep showing.
    std::vector<double> ratios;
    std::size_t bounded = 0;
    for (const Fixture& f : fixtures) {
        const ByteVector input = test::readFile(fixture(f.file));
        test::ScratchFolder folder;
        const std::string out = folder / "out.mid";
        ASSERT_EQ(FormatChange(fixture(f.file).c_str(), out.c_str()), FormatChangeDone) << f.file;
        const ByteVector output = test::readFile(out);
        ratios.push_back(static_cast<double>(output.size()) / static_cast<double>(input.size()));
        std::cout << f.file << ": " << input.size() << " -> " << output.size() << " bytes, ratio "
                  << ratios.back() << "\n";

        test::StrictSmf source;
        try {
            source = test::readSmfStrictly(input);
        } catch (const std::runtime_error& notStrict) {
            std::cout << "  not bounded, the input is not well-formed: " << notStrict.what()
                      << "\n";
            continue;
        }
        if (source.statusesLeftOut == 0)
            continue;
        ++bounded;
        EXPECT_LE(output.size(), input.size()) << f.file;
        // A format 0 file that already leaves out every status it may has
        // nothing left to shorten: the same events give the same bytes.
        if (source.format == 0 && source.statusesRepeated == 0) {
            EXPECT_TRUE(output == input) << f.file;
        }
    }
    EXPECT_GE(bounded, 3u) << "c_maj_melody, midivolume and Out_There use running status";
    std::sort(ratios.begin(), ratios.end());
    const std::size_t n = ratios.size();
    const double median = n % 2 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
    std::cout << "output / input: min " << ratios.front() << ", median " << median << ", max "
              << ratios.back() << "\n";
}

TEST(DebianSmfDataByte, FileWithDataByteFFIsRefusedWithoutOutput) {
    if (!fixtureProblem().empty())
        GTEST_SKIP() << fixtureProblem();
    test::ScratchFolder folder;
    const std::string out = folder / "out.mid";
    EXPECT_EQ(FormatChange(fixture("son_lyre.mid").c_str(), out.c_str()), FormatChangeNotSmf);
    EXPECT_FALSE(std::filesystem::exists(out));
}

// Where the body of the `number`th MTrk chunk (counting from 1) starts and how long it is.
std::pair<std::size_t, std::size_t> trackBody(const ByteVector& file, int number) {
    auto be32 = [&](std::size_t at) {
        return std::size_t{file.at(at)} << 24 | std::size_t{file.at(at + 1)} << 16 |
               std::size_t{file.at(at + 2)} << 8 | file.at(at + 3);
    };
    std::size_t at = 8 + be32(4);
    for (int seen = 0;; at += 8 + be32(at + 4)) {
        if (at + 8 > file.size())
            throw std::runtime_error("no such track chunk");
        if (std::equal(file.begin() + at, file.begin() + at + 4, "MTrk") && ++seen == number)
            return {at + 8, be32(at + 4)};
    }
}

void setBigEndian32(ByteVector& file, std::size_t at, std::size_t value) {
    for (int i = 0; i < 4; ++i)
        file.at(at + i) = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

TEST(DebianSmfEndOfTrack, BachWithAnEarlyOrAMissingEndOfTrackIsRefusedWithTheReason) {
    if (!fixtureProblem().empty())
        GTEST_SKIP() << fixtureProblem();
    const ByteVector original = test::readFile(fixture("bwv772.mid"));
    const auto [body, length] = trackBody(original, 2);
    ASSERT_GT(smf::readSmf(original).tracks.at(1).size(), 100u) << "a track full of notes";

    // An end-of-track in front of all of track 2's notes.
    ByteVector early = original;
    const ByteVector endOfTrack = test::hex("00 FF 2F 00");
    early.insert(early.begin() + static_cast<std::ptrdiff_t>(body), endOfTrack.begin(),
                 endOfTrack.end());
    setBigEndian32(early, body - 4, length + 4);
    // Track 2's end-of-track turned into an empty text event of the same length.
    ByteVector missing = original;
    ASSERT_EQ(
        test::toHex(ByteVector(missing.begin() + static_cast<std::ptrdiff_t>(body + length - 3),
                               missing.begin() + static_cast<std::ptrdiff_t>(body + length))),
        "FF 2F 00");
    missing[body + length - 2] = 0x01;

    const std::pair<ByteVector, std::string> cases[] = {
        {early, "track 2: events after its end-of-track, from byte " + std::to_string(body + 4)},
        {missing, "track 2: no end-of-track"},
    };
    for (const auto& [file, expected] : cases) {
        test::ScratchFolder folder;
        test::writeFile(folder / "in.mid", file);
        char reason[200] = {};
        EXPECT_EQ(FormatChangeWithReason((folder / "in.mid").c_str(), (folder / "out.mid").c_str(),
                                         reason, sizeof reason),
                  FormatChangeNotSmf);
        EXPECT_EQ(std::string(reason), expected);
        EXPECT_FALSE(std::filesystem::exists(folder / "out.mid"));
    }
}

TEST(DebianSmfFeatures, FilesHaveTheFeaturesTheyAreChosenFor) {
    if (!fixtureProblem().empty())
        GTEST_SKIP() << fixtureProblem();
    // Hundreds of SysEx events.
    const smf::Song volume = smf::readSmf(test::readFile(fixture("midivolume.mid")));
    std::size_t sysEx = 0;
    for (const smf::Track& t : volume.tracks)
        sysEx += countKind(t, smf::EventKind::SysEx);
    EXPECT_GE(sysEx, 100u);
}

} // namespace
} // namespace qel
