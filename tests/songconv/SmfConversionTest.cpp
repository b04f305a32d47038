// FormatChange on files written here: merging, division, end-of-track, running
// status, and the refusal of anything that is no valid Standard MIDI File.

#include "support/ScratchFolder.h"
#include "StrictSmfReader.h"
#include "songconv/FormatChange.h"
#include "support/SmfBytes.h"
#include "songconv/SmfReader.h"
#include "songconv/SmfWriter.h"
#include "support/PackageBuilder.h"
#include "support/ProcessSettings.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <sys/stat.h>
#include <tuple>

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
        {"running status kept", smfFile(0, 1, 96, {"00 90 3C 40  10 3E 40  10 3C 00  00 FF 2F 00"}),
         smfFile(0, 1, 96, {"00 90 3C 40  10 3E 40  10 3C 00  00 FF 2F 00"})},
        {"end-of-track at the latest end of any track",
         smfFile(1, 2, 96, {"00 C0 05  83 00 FF 2F 00", "00 C1 06  10 FF 2F 00"}),
         smfFile(0, 1, 96, {"00 C0 05  00 C1 06  83 00 FF 2F 00"})},
        {"SMPTE division kept", smfFile(0, 1, 0xE728, {"00 B0 07 64  00 FF 2F 00"}),
         smfFile(0, 1, 0xE728, {"00 B0 07 64  00 FF 2F 00"})},
        {"foreign chunks are skipped",
         [] {
             ByteVector file = smfFile(1, 1, 96, {"00 E0 00 40  00 FF 2F 00"});
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

// The events a conversion of `input` must hold: its tracks merged, and one
// end-of-track at the latest end of any track.
smf::Track expectedEvents(const ByteVector& input) {
    const smf::Song song = smf::readSmf(input);
    smf::Track events = smf::mergeTracks(song);
    smf::Event end;
    for (const smf::Track& track : song.tracks)
        end.tick = std::max(end.tick, track.back().tick);
    end.kind = smf::EventKind::Meta;
    end.status = 0xFF;
    end.metaType = 0x2F;
    events.push_back(end);
    return events;
}

TEST(SmfConversion, StrictReaderOfTheseTestsRefusesRunningStatusWhereTheStandardDoes) {
    // The tests below rely on it to catch running status carried too far.
    const std::pair<const char*, const char*> cases[] = {
        {"at the track's start", "00 3C 40  00 FF 2F 00"},
        {"after a meta event", "00 90 3C 40  00 FF 01 00  00 3E 40  00 FF 2F 00"},
        {"after a SysEx event", "00 90 3C 40  00 F0 01 F7  00 3E 40  00 FF 2F 00"},
        {"after an F7 escape", "00 90 3C 40  00 F7 01 F8  00 3E 40  00 FF 2F 00"},
    };
    for (const auto& [what, body] : cases)
        EXPECT_THROW(test::readSmfStrictly(smfFile(0, 1, 96, {body})), std::runtime_error) << what;
    const test::StrictSmf allowed = test::readSmfStrictly(
        smfFile(0, 1, 96,
                {"00 90 3C 40  00 3E 40  00 90 40 40  00 FF 01 00  00 90 3C 00 "
                 "00 C0 05  00 06  00 FF 2F 00"}));
    EXPECT_EQ(allowed.statusesLeftOut, 2u);
    EXPECT_EQ(allowed.statusesRepeated, 1u);
    EXPECT_EQ(allowed.tracks.at(0).size(), 8u);
}

TEST(SmfConversion, ChannelMessagesUseRunningStatusExceptAcrossSysExAndMetaEvents) {
    const std::tuple<const char*, ByteVector, const char*> cases[] = {
        {"the first channel message of the track writes its status",
         smfFile(0, 1, 96, {"00 90 3C 40  00 FF 2F 00"}), "00 90 3C 40  00 FF 2F 00"},
        {"repeated note-ons share one status",
         smfFile(0, 1, 96, {"00 90 3C 40  10 90 3E 40  10 90 40 40  00 FF 2F 00"}),
         "00 90 3C 40  10 3E 40  10 40 40  00 FF 2F 00"},
        {"a change of status writes it, and so does the change back",
         smfFile(0, 1, 96, {"00 90 3C 40  10 80 3C 00  10 80 3E 00  10 90 3C 40  00 FF 2F 00"}),
         "00 90 3C 40  10 80 3C 00  10 3E 00  10 90 3C 40  00 FF 2F 00"},
        {"the same message on another channel is another status",
         smfFile(0, 1, 96, {"00 90 3C 40  00 91 3C 40  00 91 3E 40  00 FF 2F 00"}),
         "00 90 3C 40  00 91 3C 40  00 3E 40  00 FF 2F 00"},
        {"a meta event between two equal statuses writes the status again",
         smfFile(0, 1, 96, {"00 90 3C 40  00 FF 01 01 41  00 90 3E 40  00 90 40 40  00 FF 2F 00"}),
         "00 90 3C 40  00 FF 01 01 41  00 90 3E 40  00 40 40  00 FF 2F 00"},
        {"a SysEx event between two equal statuses writes the status again",
         smfFile(0, 1, 96,
                 {"00 B0 07 64  00 F0 03 7E 7F F7  00 B0 0A 40  00 B0 0B 7F  00 FF 2F 00"}),
         "00 B0 07 64  00 F0 03 7E 7F F7  00 B0 0A 40  00 0B 7F  00 FF 2F 00"},
        {"an F7 escape between two equal statuses writes the status again",
         smfFile(0, 1, 96, {"00 E0 00 40  00 F7 02 F3 01  00 E0 7F 7F  00 FF 2F 00"}),
         "00 E0 00 40  00 F7 02 F3 01  00 E0 7F 7F  00 FF 2F 00"},
        {"running status the input carried across a meta event is written out",
         smfFile(0, 1, 96, {"00 90 3C 40  00 FF 01 00  00 3E 40  00 3C 00  00 FF 2F 00"}),
         "00 90 3C 40  00 FF 01 00  00 90 3E 40  00 3C 00  00 FF 2F 00"},
        {"two-byte messages: program change and channel pressure",
         smfFile(0, 1, 96,
                 {"00 C0 05  00 C0 06  00 D0 40  00 D0 41  00 C1 07  00 C0 08  00 FF 2F 00"}),
         "00 C0 05  00 06  00 D0 40  00 41  00 C1 07  00 C0 08  00 FF 2F 00"},
        {"two-byte and three-byte messages mixed",
         smfFile(0, 1, 96,
                 {"00 C0 05  00 90 3C 40  00 90 3E 40  00 C0 06  00 C0 07  00 A0 3C 10 "
                  "00 A0 3C 11  00 B0 40 7F  00 B0 40 00  00 FF 2F 00"}),
         "00 C0 05  00 90 3C 40  00 3E 40  00 C0 06  00 07  00 A0 3C 10  00 3C 11 "
         "00 B0 40 7F  00 40 00  00 FF 2F 00"},
        {"format 1: equal statuses from two tracks share one once merged",
         smfFile(1, 2, 96,
                 {"00 90 3C 40  20 3C 00  00 FF 2F 00", "10 90 40 40  20 90 40 00  00 FF 2F 00"}),
         "00 90 3C 40  10 40 40  10 3C 00  10 40 00  00 FF 2F 00"},
        {"format 1: tempo changes of the first track write the second track's status again",
         smfFile(1, 2, 96,
                 {"00 FF 51 03 07 A1 20  10 FF 51 03 06 1A 80  00 FF 2F 00",
                  "00 90 3C 40  10 3E 40  10 40 40  00 FF 2F 00"}),
         "00 FF 51 03 07 A1 20  00 90 3C 40  10 FF 51 03 06 1A 80  00 90 3E 40  10 40 40 "
         "00 FF 2F 00"},
        {"format 1: interleaved tracks on two channels write every status",
         smfFile(1, 2, 96,
                 {"00 90 3C 40  10 3C 00  00 FF 2F 00", "08 91 40 40  10 40 00  00 FF 2F 00"}),
         "00 90 3C 40  08 91 40 40  08 90 3C 00  08 91 40 00  00 FF 2F 00"},
    };
    for (const auto& [what, input, body] : cases) {
        const auto [result, output] = convert(input);
        ASSERT_EQ(result, FormatChangeDone) << what;
        EXPECT_EQ(toHex(output), toHex(smfFile(0, 1, 96, {body}))) << what;

        // The same events as an encoding without running status holds, read
        // by our reader and by one that allows running status only where the
        // SMF standard does.
        const smf::Track expected = expectedEvents(input);
        EXPECT_EQ(smf::readSmf(output).tracks.at(0), expected) << what;
        const test::StrictSmf strict = test::readSmfStrictly(output);
        EXPECT_EQ(strict.tracks.at(0), expected) << what;
        EXPECT_EQ(strict.statusesRepeated, 0u) << what;
        EXPECT_EQ(convert(output).second, output) << what << ": converting again changes nothing";
    }
}

TEST(SmfConversion, WriterRefusesAChannelMessageWhoseDataDoNotFitItsStatus) {
    // Events that readSmf() never gives; written with running status they
    // would shift the reading of every message after them.
    const std::pair<const char*, smf::Event> cases[] = {
        {"status 0", {0, smf::EventKind::Channel, 0x00, 0, {0x3C, 0x40}}},
        {"status 0x7F", {0, smf::EventKind::Channel, 0x7F, 0, {0x3C, 0x40}}},
        {"status 0xF0", {0, smf::EventKind::Channel, 0xF0, 0, {0x3C, 0x40}}},
        {"note on with one data byte", {0, smf::EventKind::Channel, 0x90, 0, {0x3C}}},
        {"program change with two data bytes", {0, smf::EventKind::Channel, 0xCF, 0, {1, 2}}},
        {"pitch bend with no data byte", {0, smf::EventKind::Channel, 0xE0, 0, {}}},
        {"data byte 0x80", {0, smf::EventKind::Channel, 0x90, 0, {0x3C, 0x80}}},
    };
    const smf::Event endOfTrack{0, smf::EventKind::Meta, 0xFF, 0x2F, {}};
    const smf::Event noteOn{0, smf::EventKind::Channel, 0x90, 0, {0x3C, 0x40}};
    for (const auto& [what, event] : cases) {
        const smf::Song song{0, 96, {{noteOn, event, endOfTrack}}};
        EXPECT_THROW(smf::writeFormat0(song), smf::SmfError) << what;
    }
    EXPECT_NO_THROW(smf::writeFormat0(smf::Song{0, 96, {{noteOn, noteOn, endOfTrack}}}));
}

// A track of random events with random gaps, most of them 0 so that
// ties between tracks are frequent, ending with its end-of-track.
smf::Track randomTrack(std::mt19937& random) {
    static constexpr std::uint8_t statuses[] = {0x80, 0x90, 0x91, 0xA0, 0xB0,
                                                0xC0, 0xC1, 0xD0, 0xE0, 0xEF};
    auto below = [&random](unsigned limit) { return static_cast<unsigned>(random() % limit); };
    smf::Track track;
    std::uint64_t tick = 0;
    const unsigned count = below(40);
    for (unsigned i = 0; i <= count; ++i) {
        tick += below(3) == 0 ? below(200) : 0;
        smf::Event event;
        event.tick = tick;
        const unsigned kind = below(10);
        if (i == count) {
            event.kind = smf::EventKind::Meta;
            event.metaType = 0x2F;
        } else if (kind == 0) {
            event.kind = smf::EventKind::Meta;
            // Any type but end-of-track (0x2F), which only ends the track.
            event.metaType = static_cast<std::uint8_t>(below(0x7F));
            event.metaType += event.metaType >= 0x2F;
            event.data.assign(below(4), 0x41);
        } else if (kind == 1) {
            event.kind = below(2) == 0 ? smf::EventKind::SysEx : smf::EventKind::SysExEscape;
            event.data.assign(below(4), 0x7E);
        } else {
            event.status = statuses[below(std::size(statuses))];
            event.data.push_back(static_cast<std::uint8_t>(below(0x80)));
            if (smf::channelDataBytes(event.status) == 2)
                event.data.push_back(static_cast<std::uint8_t>(below(0x80)));
        }
        if (event.kind == smf::EventKind::Meta)
            event.status = 0xFF;
        else if (event.kind == smf::EventKind::SysEx)
            event.status = 0xF0;
        else if (event.kind == smf::EventKind::SysExEscape)
            event.status = 0xF7;
        track.push_back(std::move(event));
    }
    return track;
}

TEST(SmfConversion, RandomSongsKeepTheirEventsAndLeaveOutEveryStatusTheyMay) {
    std::mt19937 random(11);
    for (int round = 0; round < 500; ++round) {
        smf::Song song{1, 480, {}};
        for (unsigned t = 0, tracks = 1 + random() % 4; t < tracks; ++t)
            song.tracks.push_back(randomTrack(random));
        const ByteVector output = smf::writeFormat0(song);

        const test::StrictSmf strict = test::readSmfStrictly(output);
        ASSERT_EQ(strict.tracks.size(), 1u) << round;
        smf::Track events = strict.tracks[0];
        ASSERT_TRUE(events.back().isEndOfTrack()) << round;
        events.pop_back();
        EXPECT_EQ(events, smf::mergeTracks(song)) << round;
        EXPECT_EQ(strict.statusesRepeated, 0u) << round;
        EXPECT_EQ(smf::writeFormat0(smf::readSmf(output)), output) << round;
    }
}

// Converts `input` with FormatChangeWithReason: the result code, whether a
// destination file exists, and the reason.
struct Refusal {
    int result;
    bool destination;
    std::string reason;
};
Refusal convertWithReason(const ByteVector& input) {
    test::ScratchFolder folder;
    test::writeFile(folder / "in.mid", input);
    char reason[200] = "unchanged";
    const int result = FormatChangeWithReason((folder / "in.mid").c_str(),
                                              (folder / "out.mid").c_str(), reason, sizeof reason);
    return {result, std::filesystem::exists(folder / "out.mid"), reason};
}

TEST(SmfConversion, InvalidFilesLeaveNoDestinationAndTellWhy) {
    // Offsets count from the start of the file: the header chunk takes 14
    // bytes, a track chunk's body starts 8 bytes after the chunk.
    const std::tuple<const char*, ByteVector, const char*> cases[] = {
        {"empty", {}, "not a Standard MIDI File (no MThd header)"},
        {"no MThd", hex("4D 54 72 6B 00 00 00 06 00 00 00 01 00 60"),
         "not a Standard MIDI File (no MThd header)"},
        {"header length 5", hex("4D 54 68 64 00 00 00 05 00 00 00 01 00"),
         "MThd header shorter than 6 bytes"},
        {"header cut short", hex("4D 54 68 64 00 00 00 06 00 00 00"), "truncated at byte 8"},
        {"format 2", smfFile(2, 1, 96, {"00 FF 2F 00"}), "unsupported SMF format 2"},
        {"format 0 with two tracks", smfFile(0, 2, 96, {"00 FF 2F 00", "00 FF 2F 00"}),
         "format 0 with 2 tracks"},
        {"no tracks", smfFile(1, 0, 96, {}), "no tracks"},
        {"fewer tracks than announced", smfFile(1, 3, 96, {"00 FF 2F 00", "00 FF 2F 00"}),
         "truncated: 3 tracks announced, 2 found"},
        {"division 0", smfFile(0, 1, 0, {"00 FF 2F 00"}), "division 0"},
        {"track without end-of-track", smfFile(0, 1, 96, {"00 90 3C 40"}),
         "track 1: no end-of-track"},
        {"second track without end-of-track",
         smfFile(1, 2, 96, {"00 FF 2F 00", "00 90 3C 40 60 80 3C 00"}), "track 2: no end-of-track"},
        {"note after the end-of-track",
         smfFile(1, 2, 96, {"00 FF 2F 00", "00 90 3C 40  00 FF 2F 00  60 80 3C 00"}),
         "track 2: events after its end-of-track, from byte 42"},
        {"half an event after the end-of-track",
         smfFile(0, 1, 96, {"00 E0 00 40 00 FF 2F 00 00 90"}),
         "track 1: events after its end-of-track, from byte 30"},
        {"one byte after the end-of-track", smfFile(0, 1, 96, {"00 FF 2F 00 00"}),
         "track 1: events after its end-of-track, from byte 26"},
        {"a second end-of-track", smfFile(0, 1, 96, {"00 FF 2F 00 00 FF 2F 00"}),
         "track 1: events after its end-of-track, from byte 26"},
        {"data byte 0xFF", smfFile(0, 1, 96, {"00 90 3C FF 00 FF 2F 00"}),
         "track 1: data byte 0xFF in a channel message at byte 25"},
        {"running status without a status", smfFile(0, 1, 96, {"00 3C 40 00 FF 2F 00"}),
         "track 1: running status without a status at byte 23"},
        {"system common status F2", smfFile(0, 1, 96, {"00 F2 00 00 00 FF 2F 00"}),
         "track 1: status byte 0xF2, which has no place in a file, at byte 23"},
        {"real-time status F8", smfFile(0, 1, 96, {"00 F8 00 FF 2F 00"}),
         "track 1: status byte 0xF8, which has no place in a file, at byte 23"},
        {"five-byte delta time", smfFile(0, 1, 96, {"80 80 80 80 00 FF 2F 00"}),
         "track 1: variable length number longer than 4 bytes at byte 22"},
        {"SysEx length past the chunk", smfFile(0, 1, 96, {"00 F0 7F 01 02"}),
         "track 1: truncated at byte 25"},
        {"meta length past the chunk", smfFile(0, 1, 96, {"00 FF 01 8F FF FF 7F 41"}),
         "track 1: truncated at byte 29"},
        {"meta type with top bit", smfFile(0, 1, 96, {"00 FF 81 00 00 FF 2F 00"}),
         "track 1: meta event type 0x81 at byte 23"},
        {"event cut by the chunk end", smfFile(0, 1, 96, {"00 90 3C"}),
         "track 1: truncated at byte 25"},
        {"chunk length past the file",
         [] {
             ByteVector file = smfFile(0, 1, 96, {"00 FF 2F 00"});
             file[14 + 7] = 0x40;
             return file;
         }(),
         "truncated at byte 22"},
    };
    for (const auto& [what, input, reason] : cases) {
        const auto [result, output] = convert(input);
        EXPECT_EQ(result, FormatChangeNotSmf) << what;
        EXPECT_TRUE(output.empty()) << what;
        const Refusal refusal = convertWithReason(input);
        EXPECT_EQ(refusal.result, FormatChangeNotSmf) << what;
        EXPECT_FALSE(refusal.destination) << what;
        EXPECT_EQ(refusal.reason, reason) << what;
    }
}

TEST(SmfConversion, ReasonIsEmptyOnSuccessAndCutToTheBuffer) {
    test::ScratchFolder folder;
    test::writeFile(folder / "good.mid", smfFile(0, 1, 96, {"00 FF 2F 00"}));
    test::writeFile(folder / "bad.mid", smfFile(2, 1, 96, {"00 FF 2F 00"}));
    char reason[8] = "xxxxxxx";
    EXPECT_EQ(FormatChangeWithReason((folder / "good.mid").c_str(), (folder / "o1.mid").c_str(),
                                     reason, sizeof reason),
              FormatChangeDone);
    EXPECT_STREQ(reason, "");
    EXPECT_EQ(FormatChangeWithReason((folder / "bad.mid").c_str(), (folder / "o2.mid").c_str(),
                                     reason, sizeof reason),
              FormatChangeNotSmf);
    EXPECT_STREQ(reason, "unsuppo") << "7 bytes and the zero";
    EXPECT_EQ(FormatChangeWithReason((folder / "bad.mid").c_str(), (folder / "o3.mid").c_str(),
                                     nullptr, 100),
              FormatChangeNotSmf);
    char untouched[4] = "abc";
    EXPECT_EQ(FormatChangeWithReason((folder / "bad.mid").c_str(), (folder / "o4.mid").c_str(),
                                     untouched, 0),
              FormatChangeNotSmf);
    EXPECT_STREQ(untouched, "abc");
}

TEST(SmfConversion, UnreadableSourceAndUnwritableDestinationAreReported) {
    test::ScratchFolder folder;
    const std::string out = folder / "out.mid";
    EXPECT_EQ(FormatChange((folder / "missing.mid").c_str(), out.c_str()), FormatChangeUnreadable);
    EXPECT_EQ(FormatChange(folder.path().c_str(), out.c_str()), FormatChangeUnreadable) << "a folder";
    EXPECT_FALSE(std::filesystem::exists(out));
    test::writeFile(folder / "in.mid", smfFile(0, 1, 96, {"00 FF 2F 00"}));
    EXPECT_EQ(FormatChange((folder / "in.mid").c_str(), (folder / "no/such/out.mid").c_str()),
              FormatChangeUnwritable);
    EXPECT_EQ(FormatChange(nullptr, out.c_str()), FormatChangeBadArguments);
    EXPECT_EQ(FormatChange((folder / "in.mid").c_str(), ""), FormatChangeBadArguments);
}

TEST(SmfConversion, UnreadableSourceAndUnwritableDestinationTellWhy) {
    test::ScratchFolder folder;
    test::writeFile(folder / "in.mid", smfFile(0, 1, 96, {"00 FF 2F 00"}));
    ::mkfifo((folder / "pipe.mid").c_str(), 0600);
    const std::tuple<const char*, std::string, std::string, int, const char*> cases[] = {
        {"missing source", folder / "missing.mid", folder / "out.mid", FormatChangeUnreadable,
         "cannot read it: No such file or directory"},
        {"a folder", folder.path(), folder / "out.mid", FormatChangeUnreadable,
         "not a regular file"},
        {"a FIFO, which must not block", folder / "pipe.mid", folder / "out.mid",
         FormatChangeUnreadable, "not a regular file"},
        {"missing destination folder", folder / "in.mid", folder / "no/out.mid",
         FormatChangeUnwritable, "cannot write the converted song: No such file or directory"},
        {"empty destination", folder / "in.mid", "", FormatChangeBadArguments,
         "no source or no destination given"},
    };
    for (const auto& [what, source, destination, result, reason] : cases) {
        char text[200] = "unchanged";
        EXPECT_EQ(FormatChangeWithReason(source.c_str(), destination.c_str(), text, sizeof text),
                  result)
            << what;
        EXPECT_STREQ(text, reason) << what;
    }
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"in.mid", "pipe.mid"}));
}

TEST(SmfConversion, DestinationLinkOrFileIsReplacedNeverWrittenThrough) {
    test::ScratchFolder folder, elsewhere;
    const ByteVector song = smfFile(0, 1, 96, {"00 90 3C 40 60 80 3C 00 00 FF 2F 00"});
    test::writeFile(folder / "in.mid", song);
    const ByteVector victim{'k', 'e', 'e', 'p'};
    test::writeFile(elsewhere / "precious", victim);
    std::filesystem::create_symlink(elsewhere / "precious", folder / "link.mid");
    test::writeFile(folder / "old.mid", ByteVector(100, 7));
    std::filesystem::create_symlink(elsewhere / "none", folder / "dangling.mid");

    for (const char* name : {"link.mid", "old.mid", "dangling.mid"}) {
        ASSERT_EQ(FormatChange((folder / "in.mid").c_str(), (folder / name).c_str()),
                  FormatChangeDone)
            << name;
        EXPECT_FALSE(std::filesystem::is_symlink(folder / name)) << name;
        EXPECT_EQ(test::readFile(folder / name), song) << name;
    }
    EXPECT_EQ(test::readFile(elsewhere / "precious"), victim);
    EXPECT_EQ(elsewhere.names(), std::vector<std::string>{"precious"});
    EXPECT_EQ(folder.names(),
              (std::vector<std::string>{"dangling.mid", "in.mid", "link.mid", "old.mid"}))
        << "no temporary file beside them";
}

TEST(SmfConversion, NewDestinationHasTheModeTheUmaskGives) {
    test::ScratchFolder folder;
    test::writeFile(folder / "in.mid", smfFile(0, 1, 96, {"00 FF 2F 00"}));
    for (const auto& [mask, mode] :
         {std::pair<mode_t, mode_t>{022, 0644}, {077, 0600}, {002, 0664}}) {
        const test::UmaskOverride umask(mask);
        const std::string out = folder / ("out" + std::to_string(mask) + ".mid");
        ASSERT_EQ(FormatChange((folder / "in.mid").c_str(), out.c_str()), FormatChangeDone);
        EXPECT_EQ(test::permissionsOf(out), mode) << std::oct << mask;
    }
}

TEST(SmfConversion, RandomBytesAfterAValidHeaderNeverCrash) {
    std::mt19937 random(7);
    const ByteVector seed = smfFile(1, 2, 96, {"00 90 3C 40 60 3E 40 00 F0 02 7E F7 00 FF 2F 00",
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
