// Song files are converted to format 0 in a private temporary folder before
// they are sent; a song the converter refuses is reported with its reason.

#include "support/ScratchFolder.h"
#include "core/Exception.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "platform/files/ProcessInfo.h"
#include "support/SmfBytes.h"
#include "support/PackageBuilder.h"
#include "support/ProcessSettings.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace qel {
namespace {

using test::hex;
using test::ScratchFolder;
using test::writeFile;

// The name the conversion's temporary file once had in the shared temporary
// folder: "tmp" + process id + ".mid", which anyone could predict.
std::string predictableName() {
    return "tmp" + std::to_string(platform::currentProcessId()) + ".mid";
}

// The message for a song the converter refuses.
std::string refused(const std::string& path, const std::string& reason) {
    return "Can't open the file: " + path + " (" + reason + ")";
}

TEST(SongSending, ALinkOrFileAtThePredictableNameIsNeitherFollowedNorAFailure) {
    ScratchFolder pc, shared, elsewhere;
    const test::TemporaryFolderOverride tmpdir(shared.path());
    // A link where the old name was, to a file the user would lose.
    const ByteVector victim{'k', 'e', 'e', 'p'};
    writeFile(elsewhere / "precious", victim);
    std::filesystem::create_symlink(elsewhere / "precious", shared / predictableName());
    // And a plain file under another name a guesser might try.
    writeFile(shared / "song.mid", test::smfWithText(4));

    writeFile(pc / "a.mid", test::smfWithText(10));
    VdfData song(pc / "a.mid");
    song.loadForSending();
    EXPECT_EQ(song.data(), test::smfWithText(10));

    EXPECT_EQ(test::readFile(elsewhere / "precious"), victim) << "not written through the link";
    EXPECT_TRUE(std::filesystem::is_symlink(shared / predictableName())) << "left alone";
    EXPECT_EQ(test::readFile(shared / "song.mid"), test::smfWithText(4));
    EXPECT_EQ(shared.names(), (std::vector<std::string>{"song.mid", predictableName()}))
        << "nothing of the conversion stays in the shared folder";
}

TEST(SongSending, FormatOneSongIsSentAsFormatZero) {
    ScratchFolder folder;
    // Two tracks; the second has an event between the first's two.
    writeFile(folder / "two.mid", test::smfFile(1, 2, 96,
                                                {"00 90 3C 40  60 80 3C 00  00 FF 2F 00",
                                                 "30 91 40 50  00 FF 2F 00"}));
    VdfData song(folder / "two.mid");
    song.loadForSending();
    const ByteVector expected = test::smfFile(
        0, 1, 96, {"00 90 3C 40  30 91 40 50  30 80 3C 00  00 FF 2F 00"});
    // 38 bytes: even, no padding.
    EXPECT_EQ(song.data(), expected);
    EXPECT_EQ(song.size(), expected.size());
}

TEST(SongSending, OddConvertedSongIsPaddedButKeepsItsSize) {
    ScratchFolder folder;
    for (std::size_t text : {270u, 271u}) {
        writeFile(folder / "s.mid", test::smfWithText(text));
        VdfData song(folder / "s.mid");
        song.loadForSending();
        const std::uint32_t length = static_cast<std::uint32_t>(test::smfWithText(text).size());
        EXPECT_EQ(song.size(), length);
        EXPECT_EQ(song.data().size(), length + length % 2);
        if (length % 2 != 0) {
            EXPECT_EQ(song.data().back(), 0x00);
        }
    }
}

TEST(SongSending, RefusedSongFailsWithItsPathAndTheConvertersReasonAndLeavesNoFile) {
    ScratchFolder folder, shared;
    const test::TemporaryFolderOverride tmpdir(shared.path());
    // A file at the old predictable name must not be sent instead.
    writeFile(shared / predictableName(), test::smfWithText(4));
    struct Case {
        const char* what;
        ByteVector file;
        std::string reason;
    };
    const Case cases[] = {
        {"format 2", hex("4D 54 68 64 00 00 00 06 00 02 00 01 00 60"), "unsupported SMF format 2"},
        {"header cut short", hex("4D 54 68 64 00 00 00 06 00 00"), "truncated at byte 8"},
        {"track cut short", test::smfFile(0, 1, 96, {"00 90 3C"}), "track 1: truncated at byte 25"},
        {"no end-of-track", test::smfFile(1, 2, 96, {"00 FF 2F 00", "00 90 3C 40 60 80 3C 00"}),
         "track 2: no end-of-track"},
        {"events after the end-of-track",
         test::smfFile(1, 2, 96, {"00 90 3C 40  00 FF 2F 00  60 80 3C 00", "00 FF 2F 00"}),
         "track 1: events after its end-of-track, from byte 30"},
    };
    for (const Case& c : cases) {
        writeFile(folder / "bad.mid", c.file);
        VdfData song(folder / "bad.mid");
        try {
            song.loadForSending();
            ADD_FAILURE() << c.what << ": no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.message(), refused(folder / "bad.mid", c.reason)) << c.what;
        }
        EXPECT_TRUE(song.data().empty()) << c.what;
    }
    EXPECT_EQ(shared.names(), std::vector<std::string>{predictableName()});
}

TEST(SongSending, SongThatVanishedAfterListingFailsWithTheSystemsReason) {
    ScratchFolder folder;
    writeFile(folder / "gone.mid", test::smfWithText(4));
    VdfData song(folder / "gone.mid");
    std::filesystem::remove(folder / "gone.mid");
    try {
        song.loadForSending();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(),
                  refused(folder / "gone.mid", "cannot read it: No such file or directory"));
    }
}

// A format 0 song whose one event is a text of `length` bytes: 32 + length
// bytes once converted.
ByteVector songWithLongText(std::uint32_t length) {
    ByteVector body{0x00,
                    0xFF,
                    0x01,
                    static_cast<std::uint8_t>(0x80 | (length >> 14 & 0x7F)),
                    static_cast<std::uint8_t>(0x80 | (length >> 7 & 0x7F)),
                    static_cast<std::uint8_t>(length & 0x7F)};
    body.insert(body.end(), length, 'x');
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    ByteVector file = test::smfChunk("MThd", hex("00 00 00 01 00 60"));
    const ByteVector track = test::smfChunk("MTrk", body);
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

TEST(SongSending, ConvertedSongLargerThanTheDataAreaIsAnIllegalFormat) {
    ScratchFolder folder;
    const auto largest = static_cast<std::uint32_t>(KbdData::maximumItemSize);
    writeFile(folder / "fits.mid", songWithLongText(largest - 32));
    VdfData fits(folder / "fits.mid");
    fits.loadForSending();
    EXPECT_EQ(fits.size(), largest);

    writeFile(folder / "large.mid", songWithLongText(largest - 31));
    VdfData large(folder / "large.mid");
    try {
        large.loadForSending();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "Illegal Format");
    }
}

TEST(SongSending, TwoSongsInARowEachGetTheirOwnConversion) {
    ScratchFolder folder, shared;
    const test::TemporaryFolderOverride tmpdir(shared.path());
    writeFile(folder / "a.mid", test::smfWithText(10));
    writeFile(folder / "b.mid", test::smfWithText(20));
    VdfData a(folder / "a.mid");
    VdfData b(folder / "b.mid");
    a.loadForSending();
    b.loadForSending();
    EXPECT_EQ(a.data(), test::smfWithText(10));
    EXPECT_EQ(b.data(), test::smfWithText(20));
    EXPECT_TRUE(shared.names().empty()) << "each private folder removed";
}

} // namespace
} // namespace qel
