// Receive, Send and Delete of many rows at once: one keyboard action each,
// one question naming everything it destroys, the memory for all of it
// checked first, the items in order, and an account of what was done when a
// failure or a Cancel stops the batch part-way. Also what each action says
// when it ends.

#include "core/KeyboardTables.h"
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

using test::readFile;
using test::singleItemFile;
using test::writeFile;

// A rhythm's data: `size` bytes with its name in bytes 2-9, as the keyboard keeps it.
ByteVector rhythmData(const std::string& name, std::size_t size, std::uint8_t fill) {
    ByteVector data(size, fill);
    const std::size_t offset = *nameOffsetInData(category::Rhythm);
    std::string padded = name;
    padded.resize(8, ' ');
    std::copy(padded.begin(), padded.end(), data.begin() + static_cast<std::ptrdiff_t>(offset));
    return data;
}

class BatchTransfers : public test::Transfers {
protected:
    BatchTransfers() {
        environment.makeView = [this] {
            ++dialogsMade;
            return std::make_unique<test::CancellingDialogView>(dialogWindow);
        };
    }

    // The user rhythms hold `items` (number, name, size) and nothing else;
    // the list is read again and shows them.
    struct Rhythm {
        std::uint16_t number;
        const char* name;
        std::size_t size;
    };
    void keepRhythms(const std::vector<Rhythm>& items) {
        for (std::uint16_t n = 140; n < 156; ++n)
            memory().clear(category::Rhythm, n);
        for (const Rhythm& item : items)
            ASSERT_EQ(memory().store(
                          category::Rhythm, item.number,
                          rhythmData(item.name, item.size, static_cast<std::uint8_t>(item.number))),
                      kbdsim::KeyboardMemory::StoreResult::Stored);
        manager->updateKbdList();
        manager->changeDataType(type::UserRhythm);
        ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
        sent.clear();
        dialogsMade = 0;
    }

    // A rhythm file NAME.vdf in the data directory, listed.
    void putRhythmFile(const std::string& name, std::size_t size, std::uint8_t fill) {
        putPcFile(name + ".vdf",
                  singleItemFile(category::Rhythm, type::UserRhythm, rhythmData(name, size, fill)));
    }
    // The PC rows of the files NAME.vdf, in the order of `names`.
    std::vector<int> rowsOf(const std::vector<std::string>& names) const {
        std::vector<int> rows;
        for (const std::string& name : names)
            rows.push_back(pcRowOf(dataDirectory + name + ".vdf"));
        return rows;
    }

    std::vector<std::string> namesIn(const std::string& folder) const {
        return test::ScratchFolder::fileNames(folder);
    }

    int dialogsMade = 0;
};

// ---- receive ----

TEST_F(BatchTransfers, ABatchReceiveWritesEachItemInOneDialogAndSaysHowMany) {
    keepRhythms({{141, "RHYTHM 1", 300}, {143, "RHYTHM 2", 520}, {150, "RHYTHM 3", 40}});
    view.progressBar.positions.clear();
    view.progressBar.items.clear();
    manager->getFromKbd(std::vector<int>{10, 1, 3}); // in the order given

    // One bar for the whole batch: it only goes forwards, and ends full.
    const std::vector<int>& bar = view.progressBar.positions;
    ASSERT_FALSE(bar.empty());
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    EXPECT_EQ(bar.front(), 0);
    EXPECT_EQ(bar.back(), ActionProgress::barMaximum);
    EXPECT_EQ(
        view.progressBar.items,
        (std::vector<std::string>{"", "USER RHYTHM 150", "USER RHYTHM 141", "USER RHYTHM 143"}))
        << "a window without an item at the start, then each item as it begins";

    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(dialogsMade, 1) << "one MIDI dialog for the whole batch";
    EXPECT_EQ(namesIn(dataDirectory),
              (std::vector<std::string>{"RHYTHM 1.vdf", "RHYTHM 2.vdf", "RHYTHM 3.vdf"}));
    for (const auto& [file, number] : std::vector<std::pair<std::string, std::uint16_t>>{
             {"RHYTHM 1.vdf", 141}, {"RHYTHM 2.vdf", 143}, {"RHYTHM 3.vdf", 150}}) {
        const ByteVector bytes = readFile(dataDirectory + file);
        ASSERT_GT(bytes.size(), 64u);
        EXPECT_EQ(ByteVector(bytes.begin() + 64, bytes.end()),
                  *memory().data(category::Rhythm, number))
            << file;
    }
    EXPECT_EQ(pcRows().size(), 3u);
    const std::string folder = dataDirectory.substr(0, dataDirectory.size() - 1);
    EXPECT_EQ(view.results, std::vector<std::string>{"Received 3 items into " + folder});
    expectActionEnded();
}

TEST_F(BatchTransfers, OneReceiveNamesTheItemAndItsFileAndEmptyRowsAreLeftOut) {
    keepRhythms({{141, "DEMO RH1", 300}});
    manager->getFromKbd(std::vector<int>{0, 1, 2}); // rows 0 and 2 are empty slots
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(namesIn(dataDirectory), std::vector<std::string>{"DEMO RH1.vdf"});
    EXPECT_EQ(view.results, std::vector<std::string>{"Received DEMO RH1 into DEMO RH1.vdf"});

    view.results.clear();
    sent.clear();
    manager->getFromKbd(std::vector<int>{0, 2, 15});
    EXPECT_TRUE(sent.empty()) << "nothing to receive: no traffic";
    EXPECT_TRUE(view.results.empty());
}

TEST_F(BatchTransfers, AnUnnamedFixedSizeSlotIsLeftOutOfSeveralRowsButReceivedAlone) {
    memory().clear(category::Tone, 750); // row 0: blank, "(empty)"
    manager->updateKbdList();
    ASSERT_EQ(kbdRows()[0].name, "(empty)");
    ASSERT_NE(kbdRows()[1].name, "(empty)");
    manager->getFromKbd(std::vector<int>{0, 1});
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(dataFiles().size(), 1u);
    manager->getFromKbd(0);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(dataFiles().size(), 2u) << "one row chosen on its own is received as it is";
}

TEST_F(BatchTransfers, AReceiveIntoAFolderGivesThePathsWrittenThereAndLeavesThePcListAlone) {
    keepRhythms({{141, "RHYTHM 1", 300}, {142, "RHYTHM 2", 100}});
    const std::string folder = dataDirectory + "../drop";
    std::filesystem::create_directories(folder);

    const std::vector<std::string> paths = manager->getFromKbdInto({1, 2}, folder);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(paths,
              (std::vector<std::string>{folder + "/RHYTHM 1.vdf", folder + "/RHYTHM 2.vdf"}));
    for (const std::string& path : paths)
        EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
    EXPECT_TRUE(dataFiles().empty());
    EXPECT_TRUE(pcRows().empty());
    EXPECT_EQ(view.results, std::vector<std::string>{"Received 2 items into " + folder});

    // A failed action gives no paths, though the files done stay.
    setOptions([](kbdsim::Options& options) {
        options.faults.corruptAtBlock = 0;
        options.faults.blockCorruption = kbdsim::BlockCorruption::Checksum;
    });
    EXPECT_TRUE(manager->getFromKbdInto({1, 2}, folder + "/again").empty());
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"SYSEX ERROR"});
}

// ---- stopped part-way ----

// The third item is the only one with a third block, where the fault is.
TEST_F(BatchTransfers, AReceiveStoppedByAFailureSaysWhichItemsWereDoneAndKeepsThem) {
    keepRhythms({{140, "SMALL  A", 200}, {141, "SMALL  B", 100}, {142, "LARGE", 520}});
    setOptions([](kbdsim::Options& options) {
        options.faults.corruptAtBlock = 2;
        options.faults.blockCorruption = kbdsim::BlockCorruption::Checksum;
    });
    manager->getFromKbd(std::vector<int>{0, 1, 2});

    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"SYSEX ERROR"});
    EXPECT_EQ(view.kbdErrorSteps,
              std::vector<std::string>{"receiving USER RHYTHM 142, block 3 of 5"});
    EXPECT_EQ(view.results,
              std::vector<std::string>{"Stopped after 2 of 3: received SMALL  A, SMALL  B"});
    EXPECT_EQ(namesIn(dataDirectory), (std::vector<std::string>{"SMALL  A.vdf", "SMALL  B.vdf"}));
    EXPECT_EQ(pcRows().size(), 2u) << "what was done is listed";
    expectActionEnded();
}

TEST_F(BatchTransfers, ASendStoppedByAFailureSaysWhichFilesLanded) {
    keepRhythms({});
    putRhythmFile("ONE", 100, 1);
    putRhythmFile("TWO", 200, 2);
    putRhythmFile("THREE", 520, 3);
    sent.clear();
    setOptions([](kbdsim::Options& options) { options.faults.rejectAtBlock = 2; });

    manager->putToKbd(rowsOf({"ONE", "TWO", "THREE"}), -1);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"MESSAGE REJECTED"});
    EXPECT_EQ(view.results,
              std::vector<std::string>{"Stopped after 2 of 3: sent ONE.vdf, TWO.vdf"});
    EXPECT_EQ(memory().name(category::Rhythm, 140), "ONE     ");
    EXPECT_EQ(memory().name(category::Rhythm, 141), "TWO     ");
    EXPECT_TRUE(memory().data(category::Rhythm, 142)->empty());
    EXPECT_EQ(kbdRows()[0].name, "ONE     ") << "the rows show what landed";
    EXPECT_EQ(kbdRows()[2].name, "(empty)");
    expectActionEnded();
}

TEST_F(BatchTransfers, ACancelPartWayEndsTheBatchThereWithAnAccountAndNoError) {
    keepRhythms({{140, "SMALL  A", 200}, {141, "SMALL  B", 100}, {142, "LARGE", 520}});
    // The user presses Cancel while the third item arrives.
    dialogWindow->cancelCheck = [this] { return dataFiles().size() == 2; };
    manager->getFromKbd(std::vector<int>{0, 1, 2});

    EXPECT_TRUE(view.kbdErrors.empty());
    EXPECT_EQ(view.results,
              std::vector<std::string>{"Cancelled after 2 of 3: received SMALL  A, SMALL  B"});
    EXPECT_EQ(namesIn(dataDirectory), (std::vector<std::string>{"SMALL  A.vdf", "SMALL  B.vdf"}));
    expectActionEnded();

    // A Cancel before the first item is done is the single item's Cancel:
    // said as the result, never as an error.
    dialogWindow->cancelCheck = [] { return true; };
    view.results.clear();
    manager->getFromKbd(std::vector<int>{2, 0});
    EXPECT_TRUE(view.kbdErrors.empty());
    EXPECT_EQ(view.results, std::vector<std::string>{"Cancelled"});
}

// ---- send ----

TEST_F(BatchTransfers, SeveralFilesWithoutATargetGoIntoTheFreeSlotsInOrderReplacingNothing) {
    keepRhythms({{140, "KEEP A", 100}, {142, "KEEP B", 100}});
    // Filled on the keyboard after the list was read: never overwritten.
    memory().store(category::Rhythm, 141, rhythmData("LATE", 100, 9));
    putRhythmFile("B", 100, 2);
    putRhythmFile("A", 100, 1);
    putRhythmFile("C", 100, 3);
    sent.clear();

    manager->putToKbd(rowsOf({"B", "A", "C"}), -1);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_TRUE(view.questions.empty()) << "nothing is replaced";
    EXPECT_TRUE(deletes().empty());
    EXPECT_EQ(memory().name(category::Rhythm, 140), "KEEP A  ");
    EXPECT_EQ(memory().name(category::Rhythm, 141), "LATE    ");
    EXPECT_EQ(memory().name(category::Rhythm, 142), "KEEP B  ");
    EXPECT_EQ(memory().name(category::Rhythm, 143), "B       ");
    EXPECT_EQ(memory().name(category::Rhythm, 144), "A       ");
    EXPECT_EQ(memory().name(category::Rhythm, 145), "C       ");
    EXPECT_EQ(kbdRows()[3].name, "B       ");
    EXPECT_EQ(kbdRows()[5].name, "C       ");
    EXPECT_EQ(dialogsMade, 1);
    EXPECT_EQ(view.results, std::vector<std::string>{"Sent 3 items"});
    expectActionEnded();
}

TEST_F(BatchTransfers, TooFewFreeSlotsOrSlotsFromARowRefuseTheWholeBatchFirst) {
    std::vector<Rhythm> full;
    for (std::uint16_t n = 140; n < 155; ++n)
        full.push_back({n, "FULL", 20});
    keepRhythms(full); // one free slot: 155
    putRhythmFile("A", 100, 1);
    putRhythmFile("B", 100, 2);
    sent.clear();

    manager->putToKbd(rowsOf({"A", "B"}), -1);
    manager->putToKbd(rowsOf({"A", "B"}), 15); // from the last row on: one slot
    EXPECT_EQ(view.kbdErrors,
              (std::vector<std::string>{
                  "The keyboard has 1 free USER RHYTHM slot for the 2 files: nothing was sent",
                  "From USER RHYTHM 155 on there is room for 1 of the 2 files: nothing was "
                  "sent"}));
    EXPECT_TRUE(deletes().empty());
    EXPECT_EQ(dataBlocksSent(), 0u);
    EXPECT_TRUE(view.questions.empty());
}

TEST_F(BatchTransfers, SendingFromARowAsksOnceNamingEveryItemReplacedAndCancelChangesNothing) {
    keepRhythms({{141, "OLD ONE", 100}, {143, "OLD TWO", 120}});
    putRhythmFile("A", 100, 1);
    putRhythmFile("B", 100, 2);
    putRhythmFile("C", 100, 3);
    putRhythmFile("D", 100, 4);
    const std::vector<int> rows = rowsOf({"A", "B", "C", "D"});
    sent.clear();
    view.answer = {DestroyAnswer::Choice::Cancel, false, {}};

    manager->putToKbd(rows, 0); // into 140 to 143
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0].action, DestroyQuestion::Action::Replace);
    EXPECT_EQ(view.questions[0].lost,
              (std::vector<std::string>{"USER RHYTHM 141 \"OLD ONE \" 100 bytes",
                                        "USER RHYTHM 143 \"OLD TWO \" 120 bytes"}));
    EXPECT_TRUE(deletes().empty());
    EXPECT_EQ(dataBlocksSent(), 0u);
    EXPECT_EQ(memory().name(category::Rhythm, 141), "OLD ONE ");
    EXPECT_TRUE(view.kbdErrors.empty());
    expectActionEnded();

    view.answer = {DestroyAnswer::Choice::Proceed, false, {}};
    manager->putToKbd(rows, 0);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(view.questions.size(), 2u);
    for (const auto& [number, name] : std::vector<std::pair<std::uint16_t, std::string>>{
             {140, "A       "}, {141, "B       "}, {142, "C       "}, {143, "D       "}})
        EXPECT_EQ(memory().name(category::Rhythm, number), name) << number;
    EXPECT_EQ(view.results, std::vector<std::string>{"Sent 4 items"});
}

TEST_F(BatchTransfers, ABatchThatDoesNotFitAsAWholeFailsWithMemoryFullBeforeAnyChange) {
    keepRhythms({{140, "OLD", 1000}});
    putRhythmFile("A", 3000, 1);
    putRhythmFile("B", 3000, 2);
    // Room for one of them and the slot the batch clears, not for both.
    leaveDataMemory(3500);
    manager->updateKbdList();
    manager->changeDataType(type::UserRhythm);
    sent.clear();

    manager->putToKbd(rowsOf({"A", "B"}), 0);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Memory Full"});
    EXPECT_TRUE(view.questions.empty()) << "decided before asking";
    EXPECT_TRUE(deletes().empty());
    EXPECT_EQ(dataBlocksSent(), 0u);
    EXPECT_EQ(memory().name(category::Rhythm, 140), "OLD     ");
}

TEST_F(BatchTransfers, OneSendSaysItsSlotAndWhatItReplaced) {
    keepRhythms({{141, "OLD ONE", 100}});
    putRhythmFile("A", 100, 1);
    putRhythmFile("B", 100, 2);
    manager->putToKbd(rowsOf({"A"}).front(), 0);
    manager->putToKbd(rowsOf({"B"}).front(), 1);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(view.results,
              (std::vector<std::string>{"Sent A.vdf into USER RHYTHM 140",
                                        "Sent B.vdf into USER RHYTHM 141, replacing \"OLD ONE\""}));
}

TEST_F(BatchTransfers, SeveralSmfGoIntoTheFreeSlotsOutsideTheLastTenWhateverTheRow) {
    for (std::uint16_t n = 0; n < 200; ++n) {
        memory().clear(category::SMF, n);
        if (n != 4 && n != 7 && n < 190)
            memory().store(category::SMF, n, ByteVector(2, 0x44));
    }
    putPcFile("one.mid", test::smfWithText(10));
    putPcFile("two.mid", test::smfWithText(20));
    manager->updateKbdList();
    manager->changeDataType(type::Smf);
    sent.clear();

    manager->putToKbd({0, 1}, 150);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(*memory().data(category::SMF, 4), test::smfWithText(10));
    EXPECT_EQ(*memory().data(category::SMF, 7), test::smfWithText(20));
    EXPECT_EQ(kbdRows()[7].name, "two     ");
    EXPECT_TRUE(deletes().empty());
}

TEST_F(BatchTransfers, DroppedFilesOfAnotherTypeOrSeveralPackagesAreRefusedBeforeAnyTraffic) {
    keepRhythms({});
    const std::string tone = folder.filePath("tone.vdf").toStdString();
    writeFile(tone, singleItemFile(category::Tone, type::UserTone, ByteVector(70, 0x41)));
    const std::string rhythm = folder.filePath("rh.vdf").toStdString();
    writeFile(rhythm, singleItemFile(category::Rhythm, type::UserRhythm, rhythmData("RH", 100, 1)));

    manager->putFilesToKbd({rhythm, tone}, -1);
    EXPECT_EQ(view.kbdErrors,
              std::vector<std::string>{"The file " + tone +
                                       " holds USER TONE, not USER RHYTHM: choose its data type "
                                       "first. Nothing was sent"});
    EXPECT_TRUE(sent.empty());

    manager->putFilesToKbd({rhythm}, 3);
    ASSERT_EQ(view.kbdErrors.size(), 1u) << view.kbdErrors.back();
    EXPECT_EQ(memory().name(category::Rhythm, 143), "RH      ");

    const std::string package = folder.filePath("all.vdf").toStdString();
    writeFile(package, test::PackageBuilder().rhythm(0, "PKGRHYTM", 400).build());
    manager->changeDataType(type::Package);
    sent.clear();
    manager->putFilesToKbd({package, package}, -1);
    ASSERT_EQ(view.kbdErrors.size(), 2u);
    EXPECT_EQ(view.kbdErrors.back(),
              "A package is sent alone, as it clears the keyboard's package slots: nothing was "
              "sent");
    EXPECT_TRUE(sent.empty());
}

// ---- delete ----

TEST_F(BatchTransfers, ABatchDeleteAsksOnceNamingEveryItemAndCancelChangesNothing) {
    keepRhythms({{141, "ONE", 100}, {143, "TWO", 120}, {150, "THREE", 40}});
    view.answer = {DestroyAnswer::Choice::Cancel, false, {}};
    manager->deleteKbdData(std::vector<int>{1, 2, 3}); // row 2 is an empty slot
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0].action, DestroyQuestion::Action::Delete);
    EXPECT_EQ(view.questions[0].text, "Delete 2 items from the keyboard?");
    EXPECT_EQ(view.questions[0].lost,
              (std::vector<std::string>{"USER RHYTHM 141 \"ONE     \" 100 bytes",
                                        "USER RHYTHM 143 \"TWO     \" 120 bytes"}));
    EXPECT_TRUE(deletes().empty());
    expectActionEnded();

    view.answer = {DestroyAnswer::Choice::Proceed, false, {}};
    manager->deleteKbdData(std::vector<int>{3, 1});
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(deletes(), (std::vector<std::pair<int, std::int32_t>>{{36, 143}, {36, 141}}));
    EXPECT_EQ(dialogsMade, 1);
    EXPECT_TRUE(memory().data(category::Rhythm, 141)->empty());
    EXPECT_TRUE(memory().data(category::Rhythm, 143)->empty());
    EXPECT_EQ(memory().name(category::Rhythm, 150), "THREE   ");
    EXPECT_EQ(kbdRows()[1].name, "(empty)") << "the type was read again";
    EXPECT_EQ(view.results, std::vector<std::string>{"Deleted 2 items"});

    manager->deleteKbdData(10);
    EXPECT_EQ(view.results.back(), "Deleted USER RHYTHM 150 \"THREE\"");
}

TEST_F(BatchTransfers, KeepingCopiesBeforeABatchReplaceKeepsEachItemInOneFolder) {
    keepRhythms({{140, "OLD ONE", 100}, {141, "OLD TWO", 120}});
    const std::string kept = dataDirectory + "kept/";
    manager->setReplacedFolder(kept);
    view.answer = {DestroyAnswer::Choice::Proceed, true, {}};
    manager->deleteKbdData(std::vector<int>{0, 1});
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    // Received files keep the name's padding.
    EXPECT_EQ(namesIn(kept), (std::vector<std::string>{"OLD ONE .vdf", "OLD TWO .vdf"}));
    EXPECT_TRUE(memory().data(category::Rhythm, 140)->empty());
}

// ---- initialise ----

TEST_F(BatchTransfers, InitializeSaysWhatWasReset) {
    manager->initMixer();
    manager->initParameter();
    manager->initSystem();
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(view.results,
              (std::vector<std::string>{"Initialized the mixer", "Initialized the parameters",
                                        "Initialized the system"}));
    view.answer = {DestroyAnswer::Choice::Cancel, false, {}};
    manager->initMixer();
    EXPECT_EQ(view.results.size(), 3u) << "nothing said when nothing was done";
}

} // namespace
} // namespace qel
