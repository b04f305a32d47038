// Card files: names, extensions, types and sizes of listed files, and the
// bytes written for a PC file.

#include "model/CardData.h"

#include "support/ScratchFolder.h"
#include "core/Exception.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "support/SmfBytes.h"
#include "support/Hex.h"
#include "support/PackageBuilder.h"
#include "support/ProcessSettings.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qel {
namespace {

using test::itemContent;
using test::readFile;
using test::ScratchFolder;
using test::singleItemFile;
using test::writeFile;

struct Listed {
    const char* file;
    const char* name;
    const char* extension;
    bool hasType;
    type::id type;
    category::id category;
};

TEST(CardData, ListedFileTakesNameExtensionTypeAndCategoryFromItsPath) {
    const Listed cases[] = {
        {"BASS1.Z05", "BASS1", ".z05", true, type::UserTone, category::Tone},
        {"X.MID", "X", ".mid", true, type::Smf, category::SMF},
        {"ABC     .z01", "ABC     ", ".z01", true, type::Registration, category::Registration},
        {"pack.Z08", "pack", ".z08", true, type::Package, category::Package},
        {"all.z09", "all", ".z09", true, type::AllUserData, category::Package},
        {"a.b.z00", "a.b", ".z00", true, type::UserRhythm, category::Rhythm},
        {"odd.Z0A", "odd", ".z0a", false, type::UserTone, category::Command},
        {"noext", "noext", "", false, type::UserTone, category::Command},
    };
    ScratchFolder folder;
    for (const Listed& c : cases) {
        writeFile(folder / c.file, ByteVector(70, 1));
        CardData card(folder / c.file);
        EXPECT_EQ(card.path(), folder / c.file);
        EXPECT_EQ(card.name(), c.name) << c.file;
        EXPECT_EQ(card.extension(), c.extension) << c.file;
        EXPECT_EQ(card.hasType(), c.hasType) << c.file;
        if (c.hasType) {
            EXPECT_EQ(card.type(), c.type) << c.file;
            EXPECT_EQ(card.category(), c.category) << c.file;
        }
        EXPECT_EQ(card.size(), 70u);
        EXPECT_TRUE(card.data().empty());
    }
}

TEST(CardData, ListedFileSizeIsItsLength) {
    ScratchFolder folder;
    writeFile(folder / "E.Z05", {});
    EXPECT_EQ(CardData(folder / "E.Z05").size(), 0u);
    EXPECT_EQ(CardData(folder / "GONE.Z05").size(), 0u) << "an unreadable file gets size 0";
    EXPECT_EQ(CardData(folder / "GONE.Z05").fileTime(), 0xFFFFFFFFu);
}

VdfData toneFile(const ScratchFolder& folder, const std::string& name, ByteVector* fileBytes) {
    ByteVector data = itemContent(category::Tone, -1, 0, 70);
    std::copy(name.begin(), name.end(), data.begin() + 36);
    *fileBytes = singleItemFile(category::Tone, type::UserTone, data);
    writeFile(folder / "tone.vdf", *fileBytes);
    return VdfData(folder / "tone.vdf");
}

TEST(CardData, ToneContainerBecomesItsSeventyItemBytesUnderItsEntryName) {
    ScratchFolder pc, card;
    ByteVector file;
    VdfData tone = toneFile(pc, "MYTONE  ", &file);
    CardData item(card.path(), tone);
    EXPECT_EQ(item.path(), card.path() + "MYTONE  .z05");
    EXPECT_EQ(item.name(), "MYTONE  ");
    EXPECT_EQ(item.size(), 70u);
    item.write();
    EXPECT_TRUE(item.data().empty()) << "write() drops the bytes";
    EXPECT_EQ(readFile(card / "MYTONE  .z05"), ByteVector(file.begin() + 64, file.end()));
    EXPECT_NE(item.fileTime(), 0xFFFFFFFFu);
}

TEST(CardData, UnsafeEntryNameBytesBecomeUnderscoresInTheFileName) {
    ScratchFolder pc, card;
    ByteVector file;
    const std::string name{'.', '.', '/', 'A', '\\', '\0', '\x1F', 'Z'};
    VdfData tone = toneFile(pc, name, &file);
    EXPECT_EQ(tone.name(), name) << "the name sent to the keyboard is unchanged";
    CardData item(card.path(), tone);
    EXPECT_EQ(item.name(), "_._A___Z");
    EXPECT_EQ(item.path(), card.path() + "_._A___Z.z05");
    item.write();
    EXPECT_EQ(card.names(), std::vector<std::string>{"_._A___Z.z05"});
}

TEST(CardData, RegistrationFileNameIsPaddedToEightCharacters) {
    ScratchFolder pc, card;
    writeFile(pc / "ABC.vdf", singleItemFile(category::Registration, type::Registration, ByteVector(240, 3)));
    CardData item(card.path(), VdfData(pc / "ABC.vdf"));
    EXPECT_EQ(item.path(), card.path() + "ABC     .z01");
    EXPECT_EQ(item.size(), 240u);
}

TEST(CardData, PackageCardFileBeginsWithTheDirectoryAndItsSignature) {
    ScratchFolder pc, card;
    const ByteVector file = test::PackageBuilder(type::UserToneWithWave).toneGroup({4, 6}).build();
    writeFile(pc / "grp.vdf", file);
    CardData item(card.path(), VdfData(pc / "grp.vdf"));
    EXPECT_EQ(item.extension(), ".z06");
    item.write();
    const ByteVector written = readFile(item.path());
    EXPECT_EQ(written, ByteVector(file.begin() + 64, file.end()));
    EXPECT_EQ(std::string(written.begin() + 402, written.begin() + 444),
              "SIGNATURE(S)2003VORLA QRT TN482 FileSystem");
}

TEST(CardData, SongIsWrittenConvertedAndLeavesNoTemporaryFile) {
    ScratchFolder pc, card, temporary;
    const test::TemporaryFolderOverride tmpdir(temporary.path());
    writeFile(pc / "Tune.mid", test::smfFile(1, 2, 96, {"00 90 3C 40 60 80 3C 00 00 FF 2F 00",
                                                         "30 91 40 50 00 FF 2F 00"}));
    CardData item(card.path(), VdfData(pc / "Tune.mid"));
    EXPECT_EQ(item.path(), card.path() + "Tune    .mid");
    item.write();
    EXPECT_EQ(readFile(item.path()),
              test::smfFile(0, 1, 96, {"00 90 3C 40 30 91 40 50 30 80 3C 00 00 FF 2F 00"}));
    EXPECT_TRUE(temporary.names().empty());
}

TEST(CardData, InvalidSongFailsWithTheConvertersReasonAndLeavesNoTemporaryFile) {
    ScratchFolder pc, card, temporary;
    const test::TemporaryFolderOverride tmpdir(temporary.path());
    writeFile(pc / "bad.mid", test::hex("4D 54 68 64 00 00 00 06 00 01 00 02 00 60"));
    VdfData song(pc / "bad.mid");
    try {
        CardData item(card.path(), song);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "Can't open the file: " + pc / "bad.mid" +
                                   " (truncated: 2 tracks announced, 0 found)");
    }
    EXPECT_TRUE(temporary.names().empty());
    EXPECT_TRUE(card.names().empty());
}

TEST(CardData, SingleItemLargerThanTheDataAreaIsIllegalFormat) {
    ScratchFolder pc, card;
    const auto largest = static_cast<std::size_t>(KbdData::maximumItemSize);
    writeFile(pc / "fits.vdf",
              singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(largest, 1)));
    EXPECT_EQ(CardData(card.path(), VdfData(pc / "fits.vdf")).size(), largest);
    // The header may claim less: the card file is the whole rest of the file.
    writeFile(pc / "large.vdf",
              singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(largest + 1, 1), 10));
    VdfData large(pc / "large.vdf");
    try {
        CardData item(card.path(), large);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "Illegal Format");
    }
}

TEST(CardData, PcFileProblemsAreReported) {
    ScratchFolder pc, card;
    writeFile(pc / "r.vdf", singleItemFile(category::Registration, type::Registration, ByteVector(240)));
    VdfData item(pc / "r.vdf");
    writeFile(pc / "r.vdf", ByteVector(63, 0)); // now shorter than its header
    EXPECT_THROW(
        try { CardData(card.path(), item); } catch (const Exception& e) {
            EXPECT_EQ(e.message(), "Illegal Format");
            throw;
        },
        Exception);
    std::filesystem::remove(pc / "r.vdf");
    EXPECT_THROW(
        try { CardData(card.path(), item); } catch (const Exception& e) {
            EXPECT_EQ(e.message(), "Can't open the file: " + pc / "r.vdf");
            throw;
        },
        Exception);
}

TEST(CardData, WriteReplacesAFileOfTheSameName) {
    ScratchFolder pc, card;
    ByteVector file;
    VdfData tone = toneFile(pc, "SAME    ", &file);
    writeFile(card / "SAME    .z05", ByteVector(3, 9));
    CardData(card.path(), tone).write();
    EXPECT_EQ(readFile(card / "SAME    .z05").size(), 70u);
    EXPECT_EQ(card.names().size(), 1u);
}

TEST(CardData, MissingCardFolderCannotBeWritten) {
    ScratchFolder pc, card;
    ByteVector file;
    VdfData tone = toneFile(pc, "T       ", &file);
    CardData item(card.path() + "VORLA_MD/", tone);
    try {
        item.write();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), "Can't create the file: " + card.path() +
                                   "VORLA_MD/T       .z05 (No such file or directory)");
    }
}

TEST(CardData, WriteInterruptedByAFullCardLeavesTheOldFile) {
    ScratchFolder pc, card;
    ByteVector file;
    VdfData tone = toneFile(pc, "FULL    ", &file);
    const ByteVector old(10, 5);
    writeFile(card / "FULL    .z05", old);
    CardData item(card.path(), tone);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{40, 40}; // the card fills up after 40 bytes
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            item.write();
        } catch (const Exception& e) {
            const std::string expected =
                "Can't create the file: " + item.path() + " (File too large)";
            ::_exit(e.message() == expected ? 0 : 1);
        }
        ::_exit(2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(card / "FULL    .z05"), old);
    EXPECT_EQ(card.names(), std::vector<std::string>{"FULL    .z05"});
}

} // namespace
} // namespace qel
