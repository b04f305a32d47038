// "Receive" and "Send" of the data manager against the in-process virtual
// keyboard: the bytes that land in files and slots, the memory checks, the
// slots cleared before a send, and Cancel.

#include "kbdsim/SlotLayout.h"
#include "link/SysExDecoder.h"
#include "model/VdfData.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"
#include "support/SmfBytes.h"
#include "support/TestFiles.h"
#include "workflows/TransfersFixture.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace qel {
namespace {

using kbdsim::KeyboardMemory;
using test::readFile;
using test::singleItemFile;
using test::Transfers;
using test::writeFile;

// ---- receiving ----

class ReceiveEachType : public Transfers, public testing::WithParamInterface<type::id> {};

TEST_P(ReceiveEachType, WritesTheSlotIntoTheDataDirectoryAndListsIt) {
    const type::id t = GetParam();
    manager->changeDataType(t);
    const int row = firstItemRow();
    ASSERT_GE(row, 0) << "the demo content has an item of this type";
    const KbdDataAttributePtr slot = manager->kbdRowItem(row);
    const std::size_t rowsBefore = pcRows().size();

    manager->getFromKbd(row);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    ASSERT_EQ(manager->pcLists()[t].size(), 1u);
    const VdfDataAttributePtr record = manager->pcLists()[t].front();
    EXPECT_EQ(pcRows().size(), rowsBefore + 1);
    EXPECT_EQ(manager->pcRowItem(static_cast<int>(rowsBefore)), record);
    EXPECT_EQ(std::filesystem::path(record->path).parent_path().string() + "/", dataDirectory);
    EXPECT_EQ(std::filesystem::path(record->path).extension(), t == type::Smf ? ".mid" : ".vdf");

    const ByteVector file = readFile(record->path);
    const VdfData read(record->path);
    EXPECT_EQ(read.type(), t);
    if (t == type::UserToneWithWave || t == type::UserDrumWithWave) {
        EXPECT_EQ(read.category(), category::Package) << "groups are saved as packages";
    } else if (t == type::Smf) {
        EXPECT_EQ(file, *memory().data(category::SMF, slot->number)) << "exactly its bytes";
    } else {
        ASSERT_GE(file.size(), 64u);
        EXPECT_EQ(ByteVector(file.begin() + 64, file.end()),
                  *memory().data(slot->category, slot->number));
    }
    expectActionEnded();
    EXPECT_EQ(manager->kbdRowItem(row), slot) << "the keyboard list is not changed";
}

INSTANTIATE_TEST_SUITE_P(Types, ReceiveEachType,
                         testing::Values(type::UserTone, type::UserDsp, type::UserDrawbarOrgan,
                                         type::UserToneWithWave, type::UserDrumWithWave,
                                         type::UserRhythm, type::Registration, type::Song,
                                         type::Smf),
                         [](const auto& info) { return std::to_string(info.param); });

TEST_F(Transfers, ReceivingAgainReplacesTheFileWithoutAskingAndKeepsOneRow) {
    manager->changeDataType(type::UserRhythm);
    manager->getFromKbd(0);
    ASSERT_EQ(manager->pcLists()[type::UserRhythm].size(), 1u);
    const std::string path = manager->pcLists()[type::UserRhythm].front()->path;
    const ByteVector first = readFile(path);
    manager->updatePcList(); // the scan lists the file too
    // The same item, changed on the PC: its name is unchanged.
    ByteVector changed = first;
    changed.back() ^= 0x01;
    writeFile(path, changed);

    manager->getFromKbd(0);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(readFile(path), first);
    ASSERT_EQ(manager->pcLists()[type::UserRhythm].size(), 1u);
    EXPECT_EQ(pcRows().size(), 1u);
    EXPECT_EQ(pcRows()[0].size, std::to_string(first.size() - 64)) << "the item's size";
}

// Another item under the same file name (another type, or a name that maps
// to the same file name) is never overwritten: the new one gets "(2)", and
// receiving it again replaces that file, not a third.
TEST_F(Transfers, ReceivingAnItemWhoseFileNameIsTakenByAnotherItemWritesANumberedFile) {
    manager->changeDataType(type::UserRhythm);
    manager->getFromKbd(0);
    const std::string path = manager->pcLists()[type::UserRhythm].front()->path;
    const ByteVector first = readFile(path);
    const ByteVector other = singleItemFile(category::Tone, type::UserTone, ByteVector(70, 0x41));
    writeFile(path, other); // a tone named "AAAAAAAA" now has the rhythm's file

    manager->getFromKbd(0);
    manager->getFromKbd(0);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    const std::string numbered = path.substr(0, path.size() - 4) + " (2).vdf";
    EXPECT_EQ(readFile(path), other);
    EXPECT_EQ(readFile(numbered), first);
    EXPECT_FALSE(std::filesystem::exists(path.substr(0, path.size() - 4) + " (3).vdf"));
    manager->updatePcList();
    EXPECT_EQ(manager->pcLists()[type::UserRhythm].size(), 1u);
    EXPECT_EQ(manager->pcLists()[type::UserTone].size(), 1u);
}

TEST_F(Transfers, NoRowARowWithoutAnItemOrAnEmptySlotCausesNoTraffic) {
    manager->changeDataType(type::UserRhythm);
    ASSERT_EQ(manager->kbdRowItem(5)->size, 0);
    view.send = false; // any button change would show
    for (int row : {-1, 5, 16, 1000})
        manager->getFromKbd(row);
    manager->putToKbd(-1, 0);
    manager->putToKbd(static_cast<int>(pcRows().size()), 0);
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(view.send);
    EXPECT_TRUE(view.kbdErrors.empty());
    EXPECT_TRUE(dataFiles().empty());
}

TEST_F(Transfers, TheSmfRowChosenIsTheItemReceivedAmongEmptySlots) {
    for (std::uint16_t n = 0; n < 200; ++n)
        memory().clear(category::SMF, n);
    memory().store(category::SMF, 7, test::smfWithText(20));
    memory().setName(category::SMF, 7, "SEVENTH ");
    memory().store(category::SMF, 120, test::smfWithText(40));
    memory().setName(category::SMF, 120, "HUNDRED ");
    manager->updateKbdList();
    manager->changeDataType(type::Smf);
    ASSERT_EQ(kbdRows().size(), 200u);
    manager->getFromKbd(119); // an empty slot: nothing
    EXPECT_TRUE(dataFiles().empty());
    manager->getFromKbd(120);
    ASSERT_EQ(manager->pcLists()[type::Smf].size(), 1u);
    EXPECT_EQ(readFile(manager->pcLists()[type::Smf].front()->path),
              *memory().data(category::SMF, 120));
}

TEST_F(Transfers, AMissingDataDirectoryIsMadeAndAnUnusableOneFailsWithThePath) {
    const std::string fresh = dataDirectory + "new/folder/";
    manager->setDataDirectory(fresh);
    manager->changeDataType(type::UserDsp);
    manager->getFromKbd(0);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_TRUE(std::filesystem::exists(manager->pcLists()[type::UserDsp].front()->path));

    // A data directory below a plain file can never be made.
    writeFile(dataDirectory + "plain", ByteVector(1));
    manager->setDataDirectory(dataDirectory + "plain/sub/");
    manager->getFromKbd(0);
    ASSERT_EQ(view.kbdErrors.size(), 1u);
    EXPECT_EQ(view.kbdErrors[0],
              "Can't create the file in " + dataDirectory + "plain/sub/ (Not a directory)");
    EXPECT_EQ(manager->pcLists()[type::UserDsp].size(), 1u) << "the PC list is unchanged";
    expectActionEnded();
}

// ---- sending ----

TEST_F(Transfers, AUserToneWithNoRowSelectedLandsInTheFirstSlotWithoutAMemoryCheck) {
    leaveDataMemory(100); // a memory check would refuse anything
    manager->updateKbdList();
    ByteVector tone = test::itemContent(category::Tone, -1, 3, 70);
    std::copy_n("NEW TONE", 8, tone.begin() + *nameOffsetInData(category::Tone));
    putPcFile("tone.vdf", singleItemFile(category::Tone, type::UserTone, tone));
    sent.clear();

    manager->putToKbd(0, -1);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(view.selectedKbdRow, 0);
    EXPECT_EQ(*memory().data(category::Tone, 750), tone);
    EXPECT_EQ(kbdRows()[0].no, "600");
    EXPECT_EQ(kbdRows()[0].name, "NEW TONE");
    EXPECT_TRUE(deletes().empty()) << "a user tone is overwritten, not deleted";
    expectActionEnded();
}

TEST_F(Transfers, AToneGroupThatDoesNotFitFailsWithMemoryFullBeforeAnyChange) {
    putPcFile("group.vdf",
              test::PackageBuilder(type::UserToneWithWave).toneGroup({3000, 3000}).build());
    manager->changeDataType(type::UserToneWithWave);
    ASSERT_EQ(manager->pcLists()[type::UserToneWithWave].size(), 1u);
    leaveDataMemory(5000);
    manager->updateKbdList();
    sent.clear();

    manager->putToKbd(0, 3);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Memory Full"});
    EXPECT_TRUE(deletes().empty());
    EXPECT_EQ(dataBlocksSent(), 0u);
    expectActionEnded();

    // With room for the wave bytes (the file itself is larger) it is sent.
    memory().clear(category::SMF, 20);
    manager->updateKbdList();
    view.kbdErrors.clear();
    manager->putToKbd(0, 3);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(
        memory().data(category::WaveData, kbdsim::layout::toneGroupChildren(853)[4].first)->size(),
        3000u);
}

TEST_F(Transfers, ASongThatDoesNotFitEvenIntoItsClearedSlotLeavesTheSlotAsItWas) {
    const ByteVector before = *memory().data(category::Song, 0);
    ASSERT_GT(before.size(), 0u);
    const std::uint32_t free = memory().freeSongMemory();
    ASSERT_EQ(memory().store(category::Song, 3, ByteVector((free - 600) & ~1u, 0x22)),
              KeyboardMemory::StoreResult::Stored);
    putPcFile("song.vdf", singleItemFile(category::Song, type::Song, ByteVector(4000, 0x33)));
    manager->updateKbdList();
    manager->changeDataType(type::Song);
    sent.clear();

    manager->putToKbd(0, 0);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Memory Full"});
    EXPECT_TRUE(deletes().empty());
    EXPECT_EQ(dataBlocksSent(), 0u);
    EXPECT_EQ(*memory().data(category::Song, 0), before) << "the slot keeps its song";
    expectActionEnded();
}

TEST_F(Transfers, AnSmfGoesIntoTheFirstFreeSlotOutsideTheLastTen) {
    for (std::uint16_t n = 0; n < 200; ++n) {
        memory().clear(category::SMF, n);
        if (n < 190)
            memory().store(category::SMF, n, ByteVector(2, 0x44));
    }
    const std::string path = putPcFile("tune.mid", test::smfWithText(30));
    manager->updateKbdList();
    manager->changeDataType(type::Smf);
    ASSERT_EQ(manager->pcRowItem(0)->path, path);
    sent.clear();

    manager->putToKbd(0, -1);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Memory Full"});
    EXPECT_EQ(dataBlocksSent(), 0u);
    for (std::uint16_t n = 190; n < 200; ++n)
        EXPECT_TRUE(memory().data(category::SMF, n)->empty());

    memory().clear(category::SMF, 64);
    manager->updateKbdList();
    view.kbdErrors.clear();
    manager->putToKbd(0, 5); // the keyboard row plays no part
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(*memory().data(category::SMF, 64), test::smfWithText(30));
    EXPECT_EQ(memory().name(category::SMF, 64), "tune    ");
}

TEST_F(Transfers, APackageClearsItsSlotsInOrderThenSendsAndRefreshesEverything) {
    const ByteVector package =
        test::PackageBuilder().tones(2).rhythm(0, "PKGRHYTM", 400).toneGroup({600}).build();
    memory().store(category::Rhythm, 155, ByteVector(100, 0x55));
    memory().store(category::Rhythm, 150, ByteVector(100, 0x56));
    memory().store(category::SMF, 199, test::smfWithText(10));
    memory().store(category::SMF, 193, test::smfWithText(12));
    // One tone group among the package's ten, and the last drum group, hold wave data.
    memory().store(category::WaveData, kbdsim::layout::toneGroupChildren(866)[4].first,
                   ByteVector(64, 0x57));
    memory().store(category::WaveData, kbdsim::layout::drumGroupChildren(20)[3].first,
                   ByteVector(64, 0x58));
    putPcFile("all.vdf", package);
    manager->updateKbdList();
    ASSERT_NE(manager->kbdLists().at(type::UserToneWithWave)[16]->size, 0);
    ASSERT_NE(manager->kbdLists().at(type::UserDrumWithWave)[3]->size, 0);
    manager->changeDataType(type::Package);
    sent.clear();

    manager->putToKbd(0, -1);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(deletes(), (std::vector<std::pair<int, std::int32_t>>{
                             {38, 20}, {37, 866}, {36, 155}, {36, 150}, {39, 199}, {39, 193}}));
    const std::vector<std::string>& shown = view.progressBar.items;
    const auto packageSent = std::find(shown.begin(), shown.end(), "the package");
    ASSERT_NE(packageSent, shown.end());
    EXPECT_NE(std::find(packageSent, shown.end(), typeLabels[type::Smf]), shown.end())
        << "the full refresh came last";
    EXPECT_EQ(manager->kbdLists().size(), 9u);
    EXPECT_EQ(memory().name(category::Rhythm, 140 + 8), "PKGRHYTM");
    const auto& rhythms = manager->kbdLists().at(type::UserRhythm);
    EXPECT_EQ(rhythms[8]->name, "PKGRHYTM") << "the list was read again";
    EXPECT_TRUE(memory().data(category::Rhythm, 155)->empty());
    expectActionEnded();
}

TEST_F(Transfers, AKeyboardThatStopsAnsweringAfterADeleteEndsWithMidiTimeout) {
    putPcFile("rh.vdf", singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(200, 1)));
    manager->changeDataType(type::UserRhythm);
    setOptions([](kbdsim::Options& options) {
        options.faults.malformation = kbdsim::Malformation::Short;
        options.faults.malformedReply.kind = kbdsim::MessageKind::ModelRequest;
    });
    manager->putToKbd(0, 0);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"MIDI TIMEOUT"});
    EXPECT_EQ(deletes(), (std::vector<std::pair<int, std::int32_t>>{{36, 140}}));
    EXPECT_EQ(dataBlocksSent(), 0u);
    expectActionEnded();
}

TEST_F(Transfers, AFileThatCannotBeReadDeletesNothing) {
    putPcFile("rh.vdf", singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(200, 1)));
    manager->changeDataType(type::UserRhythm);
    // The file shrinks after the list was read: its data is no longer there.
    const ByteVector whole = readFile(dataDirectory + "rh.vdf");
    writeFile(dataDirectory + "rh.vdf", ByteVector(whole.begin(), whole.begin() + 100));
    manager->putToKbd(0, 0);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Illegal Format"});
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(memory().data(category::Rhythm, 140)->empty());
}

// ---- cancel ----

TEST_F(Transfers, CancelInTheMiddleOfAReceiveWritesNothingAndTheNextReceiveWorks) {
    // 12031 bytes: an odd size, which arrives with a byte of padding.
    ASSERT_EQ(memory().store(category::SMF, 9, test::smfWithText(12000)),
              KeyboardMemory::StoreResult::Stored);
    memory().setName(category::SMF, 9, "LONGSONG");
    manager->updateKbdList();
    manager->changeDataType(type::Smf);
    const int row = 9;
    ASSERT_EQ(manager->kbdRowItem(row)->number, 9);
    dialogWindow->cancelAt = 2048;

    manager->getFromKbd(row);
    EXPECT_TRUE(view.kbdErrors.empty()) << "a cancel is no error";
    ASSERT_FALSE(view.results.empty());
    EXPECT_EQ(view.results.back(), "Cancelled");
    EXPECT_TRUE(dataFiles().empty());
    EXPECT_TRUE(manager->pcLists()[type::Smf].empty());
    EXPECT_TRUE(pcRows().empty());
    expectActionEnded();

    dialogWindow->cancelAt = -1;
    manager->getFromKbd(row);
    EXPECT_TRUE(view.kbdErrors.empty());
    EXPECT_EQ(std::count(view.results.begin(), view.results.end(), "Cancelled"), 1);
    EXPECT_EQ(dataFiles(), std::vector<std::string>{"LONGSONG.mid"});
    EXPECT_EQ(readFile(dataDirectory + "LONGSONG.mid"), *memory().data(category::SMF, 9));
}

TEST_F(Transfers, CancelInTheMiddleOfASendLeavesTheSlotAndItsRowAndTheNextSendWorks) {
    putPcFile("long.mid", test::smfWithText(12001)); // even: the keyboard holds exactly it
    manager->changeDataType(type::Smf);
    const std::size_t rows = kbdRows().size();
    dialogWindow->cancelAt = 2048;

    manager->putToKbd(0, -1);
    EXPECT_TRUE(view.kbdErrors.empty()) << "a cancel is no error";
    ASSERT_FALSE(view.results.empty());
    EXPECT_EQ(view.results.back(), "Cancelled");
    EXPECT_TRUE(memory().data(category::SMF, 3)->empty()) << "the keyboard stored nothing";
    EXPECT_EQ(manager->kbdLists().at(type::Smf)[3]->size, 0) << "the row is not updated";
    EXPECT_EQ(kbdRows()[3].name, "(empty)");
    EXPECT_EQ(kbdRows().size(), rows);
    expectActionEnded();

    dialogWindow->cancelAt = -1;
    manager->putToKbd(0, -1);
    EXPECT_TRUE(view.kbdErrors.empty());
    EXPECT_EQ(std::count(view.results.begin(), view.results.end(), "Cancelled"), 1);
    EXPECT_EQ(*memory().data(category::SMF, 3), test::smfWithText(12001));
    EXPECT_EQ(kbdRows().size(), rows);
    EXPECT_EQ(kbdRows()[3].name, "long    ");
}

} // namespace
} // namespace qel

namespace qel {
namespace {

// A block of the source group as it must read in the target group: the same
// bytes, its references pointing at the target group's blocks.
ByteVector moved(const ByteVector& block, std::uint16_t category, std::uint16_t targetNumber) {
    ByteVector expected = block;
    kbdsim::layout::writeGroupReferences(category, targetNumber, expected);
    return expected;
}

struct Trip {
    type::id type;
    int sourceRow;
    int targetRow; // -1: the workflow chooses (SMF)
};

TEST_F(Transfers, ARoundTripThroughTheProgramsOwnActionsLeavesByteIdenticalItems) {
    const KeyboardMemory original = memory();
    const Trip trips[] = {{type::UserToneWithWave, 0, 5},
                          {type::UserDrumWithWave, 0, 2},
                          {type::UserRhythm, 0, 9},
                          {type::Song, 0, 4},
                          {type::Smf, 0, -1}};
    for (const Trip& trip : trips) {
        SCOPED_TRACE(typeLabels[trip.type]);
        manager->changeDataType(trip.type);
        manager->getFromKbd(trip.sourceRow);
        ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
        ASSERT_EQ(manager->pcLists()[trip.type].size(), 1u);
        manager->putToKbd(0, trip.targetRow);
        ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    }
    manager->updateKbdList();
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();

    EXPECT_EQ(*memory().data(category::Rhythm, 149), *original.data(category::Rhythm, 140));
    EXPECT_EQ(memory().name(category::Rhythm, 149), original.name(category::Rhythm, 140));
    EXPECT_EQ(*memory().data(category::Song, 4), *original.data(category::Song, 0));
    EXPECT_EQ(*memory().data(category::SMF, 3), *original.data(category::SMF, 0));
    EXPECT_EQ(memory().name(category::SMF, 3), original.name(category::SMF, 0));

    const auto toneFrom = kbdsim::layout::toneGroupChildren(850);
    const auto toneTo = kbdsim::layout::toneGroupChildren(855);
    for (std::size_t r = 0; r < toneFrom.size(); ++r)
        for (std::uint16_t i = 0; i < toneFrom[r].count; ++i) {
            const std::uint16_t c = toneFrom[r].category;
            const auto from = static_cast<std::uint16_t>(toneFrom[r].first + i);
            const auto to = static_cast<std::uint16_t>(toneTo[r].first + i);
            EXPECT_EQ(*memory().data(c, to), moved(*original.data(c, from), c, to))
                << "tone group category " << c << " block " << to;
        }

    // A drum's inst that plays a preset wave keeps its reference, and its
    // wave is not sent; every other block moves with its references.
    const auto drumFrom = kbdsim::layout::drumGroupChildren(17);
    const auto drumTo = kbdsim::layout::drumGroupChildren(19);
    for (std::size_t r = 0; r < drumFrom.size(); ++r)
        for (std::uint16_t i = 0; i < drumFrom[r].count; ++i) {
            const std::uint16_t c = drumFrom[r].category;
            const auto from = static_cast<std::uint16_t>(drumFrom[r].first + i);
            const auto to = static_cast<std::uint16_t>(drumTo[r].first + i);
            const ByteVector& landed = *memory().data(c, to);
            const ByteVector expected = moved(*original.data(c, from), c, to);
            if (c == category::Inst)
                EXPECT_TRUE(landed == expected || landed == *original.data(c, from)) << to;
            else if (c == category::Wave)
                EXPECT_TRUE(landed == expected || landed == KeyboardMemory::initialBlock(c, to))
                    << to;
            else
                EXPECT_EQ(landed, expected) << "drum group category " << c << " block " << to;
        }
    for (std::uint16_t i = 0; i < 4; ++i) // the demo's drum waves
        EXPECT_EQ(
            *memory().data(category::WaveData, static_cast<std::uint16_t>(drumTo[3].first + i)),
            *original.data(category::WaveData, static_cast<std::uint16_t>(drumFrom[3].first + i)));
}

} // namespace
} // namespace qel
