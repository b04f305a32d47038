// The data manager's memory card: a card folder in a temporary folder stands
// for the card reader's volume.

#include "core/Exception.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"
#include "support/SmfBytes.h"
#include "support/TestFiles.h"
#include "workflows/DataManagerFixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace qel {
namespace {

using test::readFile;
using test::singleItemFile;
using test::writeFile;

class Card : public test::DataManagerTest {
protected:
    Card() {
        drive = folder.filePath("card").toStdString();
        cardFolder = drive + "/VORLA_MD/";
        std::filesystem::create_directories(cardFolder);
        manager->setCardDrive(drive);
        manager->start();
    }

    // A card with exactly `free` bytes free.
    void cardWithRoom(std::int64_t free) {
        manager->setFreeSpaceQuery([free, this](const std::string& asked) {
            EXPECT_EQ(asked, drive);
            return free;
        });
    }

    std::string putPcFile(const std::string& name, const ByteVector& bytes) {
        writeFile(dataDirectory + name, bytes);
        manager->updatePcList();
        return dataDirectory + name;
    }

    std::vector<std::string> cardFiles() const {
        return test::ScratchFolder::fileNames(cardFolder);
    }

    std::string drive;
    std::string cardFolder;
};

TEST_F(Card, TheListFilesCardFilesByExtensionInAnyLetterCase) {
    writeFile(cardFolder + "TONE1.z05", ByteVector(70));
    writeFile(cardFolder + "REG1.z01", ByteVector(240));
    writeFile(cardFolder + "SONG1.mid", test::smfWithText(4));
    writeFile(cardFolder + "SONG2.MID", test::smfWithText(4));
    writeFile(cardFolder + "NOTES.z0x", ByteVector(3)); // no card extension
    std::filesystem::create_directories(cardFolder + "FOLDER.z05");

    manager->kbdPageControlChange(KbdTab::Card);
    EXPECT_TRUE(view.defaultErrors.empty());
    ASSERT_EQ(cardRows().size(), 1u);
    EXPECT_EQ(manager->cardFileModel().type(), type::UserTone);
    EXPECT_EQ(cardRows()[0].name, "TONE1");
    EXPECT_EQ(cardRows()[0].size, "70");
    EXPECT_FALSE(cardRows()[0].date.empty());

    manager->changeDataType(type::Registration);
    ASSERT_EQ(cardRows().size(), 1u);
    EXPECT_EQ(cardRows()[0].name, "REG1");
    manager->changeDataType(type::Smf);
    ASSERT_EQ(cardRows().size(), 2u);
    EXPECT_EQ(cardRows()[0].name, "SONG1");
    EXPECT_EQ(cardRows()[1].name, "SONG2");
    manager->changeDataType(type::UserDsp);
    EXPECT_TRUE(cardRows().empty());
    std::size_t listed = 0;
    for (const auto& list : manager->cardLists())
        listed += list.size();
    EXPECT_EQ(listed, 4u) << "the folder and the unknown extension are left out";
}

TEST_F(Card, NoDriveSetListsNothingAndSendingSaysWhatIsMissing) {
    manager->setCardDrive("");
    writeFile(cardFolder + "TONE1.z05", ByteVector(70));
    manager->updateCardList();
    EXPECT_TRUE(cardRows().empty());
    EXPECT_EQ(manager->getCardFolder(), "");

    putPcFile("tone.vdf", singleItemFile(category::Tone, type::UserTone, ByteVector(70, 1)));
    manager->putToCard(0);
    EXPECT_EQ(view.defaultErrors,
              std::vector<std::string>{"No card drive is set: choose one in the preferences."});
    EXPECT_TRUE(view.kbdErrors.empty());
}

struct RoomCase {
    std::int64_t free;
    bool written;
};

class CardRoom : public Card, public testing::WithParamInterface<RoomCase> {};

TEST_P(CardRoom, TheBytesToWriteMustFitIntoTheFreeSpace) {
    // A rhythm of 1000 data bytes: its card file holds those 1000 bytes.
    putPcFile("rh.vdf", singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(1000, 7)));
    manager->changeDataType(type::UserRhythm);
    cardWithRoom(GetParam().free);
    manager->putToCard(0);
    if (GetParam().written) {
        EXPECT_TRUE(view.kbdErrors.empty());
        ASSERT_EQ(cardFiles().size(), 1u);
        EXPECT_EQ(readFile(cardFolder + cardFiles()[0]).size(), 1000u);
        EXPECT_EQ(cardRows().size(), 1u);
    } else {
        EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Memory Full"});
        EXPECT_TRUE(cardFiles().empty());
        EXPECT_TRUE(cardRows().empty());
    }
    EXPECT_TRUE(view.defaultErrors.empty());
}

INSTANTIATE_TEST_SUITE_P(Boundary, CardRoom,
                         testing::Values(RoomCase{1000, true}, RoomCase{999, false},
                                         RoomCase{-1, false}));

TEST_F(Card, NoCardInTheReaderIsMemoryFull) {
    manager->setCardDrive(drive + "/not-mounted");
    putPcFile("tone.vdf", singleItemFile(category::Tone, type::UserTone, ByteVector(70, 1)));
    manager->putToCard(0); // the platform's own free-space query
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Memory Full"});
    EXPECT_TRUE(view.defaultErrors.empty());
}

TEST_F(Card, ACardWithoutItsFolderCannotTakeTheFile) {
    std::filesystem::remove_all(cardFolder);
    putPcFile("tone.vdf", singleItemFile(category::Tone, type::UserTone, ByteVector(70, 1)));
    cardWithRoom(1 << 20);
    manager->putToCard(0);
    ASSERT_EQ(view.defaultErrors.size(), 1u);
    EXPECT_EQ(view.defaultErrors[0].rfind("Can't create the file: " + cardFolder, 0), 0u)
        << view.defaultErrors[0];
    EXPECT_FALSE(std::filesystem::exists(cardFolder));
}

TEST_F(Card, SendingTheSameFileTwiceKeepsOneCardFileAndOneRow) {
    ByteVector tone(70, 2);
    std::copy_n("MY TONE ", 8, tone.begin() + *nameOffsetInData(category::Tone));
    putPcFile("tone.vdf", singleItemFile(category::Tone, type::UserTone, tone));
    cardWithRoom(1 << 20);
    manager->kbdPageControlChange(KbdTab::Card);
    manager->putToCard(0);
    ASSERT_TRUE(view.defaultErrors.empty()) << view.defaultErrors.front();
    tone[0] = 0x7E;
    putPcFile("tone.vdf", singleItemFile(category::Tone, type::UserTone, tone));
    manager->putToCard(0);
    ASSERT_EQ(cardFiles().size(), 1u);
    EXPECT_EQ(readFile(cardFolder + cardFiles()[0]), tone) << "the second send replaced it";
    EXPECT_EQ(cardRows().size(), 1u);
    EXPECT_EQ(manager->cardLists()[type::UserTone].size(), 1u);
}

TEST_F(Card, ASongIsWrittenConvertedAndNothingHappensWithoutARowOrForAnEmptyFile) {
    putPcFile("tune.mid",
              test::smfFile(1, 2, 96, {"00 FF 2F 00", "00 90 3C 40 60 80 3C 00 00 FF 2F 00"}));
    putPcFile("empty.vdf", singleItemFile(category::SMF, type::Smf, {}));
    manager->changeDataType(type::Smf);
    cardWithRoom(1 << 20);
    int emptyRow = manager->pcRowItem(0)->size == 0 ? 0 : 1;
    manager->putToCard(emptyRow);
    manager->putToCard(-1);
    manager->putToCard(5);
    EXPECT_TRUE(cardFiles().empty());
    manager->putToCard(1 - emptyRow);
    ASSERT_TRUE(view.defaultErrors.empty()) << view.defaultErrors.front();
    // Named after the entry name, which pads the file name to eight characters.
    ASSERT_EQ(cardFiles(), std::vector<std::string>{"tune    .mid"});
    const ByteVector written = readFile(cardFolder + "tune    .mid");
    EXPECT_EQ(ByteVector(written.begin() + 8, written.begin() + 10), (ByteVector{0, 0}))
        << "format 0 after conversion";
}

// ---- the item's size, and the card folder ----

TEST_F(Card, APackageListsTheSameItemSizeOnTheCardAsOnThePc) {
    const ByteVector package = test::PackageBuilder()
                                   .registrations(1)
                                   .song(0, "SONG0   ", 300)
                                   .rhythm(2, "RHYTHM2 ", 500)
                                   .build();
    putPcFile("pack.vdf", package);
    manager->changeDataType(type::Package);
    ASSERT_EQ(pcRows().size(), 1u);
    const std::string pcSize = pcRows()[0].size;
    ASSERT_EQ(pcSize, "800") << "the sum of the directory's size fields";

    manager->putToCard(0);
    ASSERT_TRUE(view.defaultErrors.empty()) << view.defaultErrors[0];
    ASSERT_EQ(cardRows().size(), 1u);
    EXPECT_EQ(cardRows()[0].size, pcSize) << "as written";
    manager->updateCardList();
    ASSERT_EQ(cardRows().size(), 1u);
    EXPECT_EQ(cardRows()[0].size, pcSize) << "as read back from the card";
    ASSERT_EQ(cardFiles().size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(cardFolder + cardFiles()[0]), package.size() - 64)
        << "the card file also holds the directory and the items' tables";
}

TEST_F(Card, APackageCardFileTooShortForItsDirectoryListsTheFilesSize) {
    writeFile(cardFolder + "BROKEN.z08", ByteVector(100, 0xFF));
    manager->changeDataType(type::Package);
    manager->updateCardList();
    ASSERT_EQ(cardRows().size(), 1u);
    EXPECT_EQ(cardRows()[0].size, "100");
}

TEST_F(Card, TheFolderStateTellsAMissingDriveOrFolderAndCreateMakesTheFolder) {
    EXPECT_EQ(manager->cardFolderState(), CardFiles::FolderState::Ready);
    std::filesystem::remove_all(cardFolder);
    EXPECT_EQ(manager->cardFolderState(), CardFiles::FolderState::NoFolder);
    manager->createCardFolder();
    EXPECT_TRUE(std::filesystem::is_directory(cardFolder));
    EXPECT_EQ(manager->cardFolderState(), CardFiles::FolderState::Ready);
    manager->createCardFolder(); // there already: nothing to do, no error

    // A file where the folder should be.
    std::filesystem::remove_all(cardFolder);
    writeFile(drive + "/VORLA_MD", ByteVector(1));
    EXPECT_EQ(manager->cardFolderState(), CardFiles::FolderState::NoFolder);
    try {
        manager->createCardFolder();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Can't create the folder: " + cardFolder + " (" +
                      std::make_error_code(std::errc::file_exists).message() + ")");
    }

    manager->setCardDrive("");
    EXPECT_EQ(manager->cardFolderState(), CardFiles::FolderState::NoDrive);
}

TEST_F(Card, ASendToACardWithoutItsFolderSaysWhatToDo) {
    std::filesystem::remove_all(cardFolder);
    putPcFile("tone.vdf", singleItemFile(category::Tone, type::UserTone, ByteVector(70, 1)));
    cardWithRoom(1 << 20);
    manager->putToCard(0);
    ASSERT_EQ(view.defaultErrors.size(), 1u);
    const std::string& text = view.defaultErrors[0];
    EXPECT_EQ(text.rfind("Can't create the file: " + cardFolder, 0), 0u) << text;
    EXPECT_NE(text.find("Create VORLA_MD"), std::string::npos) << text;
    EXPECT_FALSE(std::filesystem::exists(cardFolder));
}

} // namespace
} // namespace qel
