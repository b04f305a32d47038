// The data manager against the in-process virtual keyboard, with a view that
// records what it was told: the keyboard list, the memory bar, the PC list,
// the locks and the two error displays.

#include "core/KeyboardTables.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/device/VirtualKeyboard.h"
#include "link/MidiDialogFactory.h"
#include "support/EventPump.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"
#include "support/SentMessages.h"
#include "workflows/DataManagerFixture.h"

#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>

namespace qel {
namespace {

using namespace std::chrono_literals;

using test::DataManagerTest;
using test::RecordingView;

struct ModelCase {
    std::uint16_t code;
    const char* caption; // null: unknown
    bool card, disk;
};

void PrintTo(const ModelCase& c, std::ostream* out) {
    *out << "model " << c.code;
}

class Models : public DataManagerTest, public testing::WithParamInterface<ModelCase> {};

TEST_P(Models, TheModelSetsTheCaptionAndTheTabsOrEndsTheRefresh) {
    const ModelCase c = GetParam();
    setOptions([&](kbdsim::Options& options) { options.modelCode = c.code; });
    manager->updateKbdList();
    if (c.caption) {
        EXPECT_TRUE(view.kbdErrors.empty());
        EXPECT_EQ(view.caption, c.caption);
        EXPECT_TRUE(manager->kbdListed());
        EXPECT_TRUE(view.send);
        EXPECT_TRUE(view.receive);
    } else {
        EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Unknown Keyboard"});
        EXPECT_FALSE(manager->kbdListed());
        EXPECT_FALSE(view.send);
        EXPECT_FALSE(view.receive);
    }
    EXPECT_EQ(view.cardTab, c.card);
    EXPECT_EQ(view.diskTab, c.disk);
    // The buttons are given back either way.
    EXPECT_TRUE(view.update);
    EXPECT_FALSE(view.kbdDelete) << "USER TONE has no delete";
    EXPECT_FALSE(view.locked);
    EXPECT_FALSE(view.progressShown);
    EXPECT_FALSE(manager->busy());
    EXPECT_EQ(manager->frame().dialog(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Codes, Models,
                         testing::Values(ModelCase{1, "TQR-180", false, false},
                                         ModelCase{2, "TQ-7000", true, false},
                                         ModelCase{3, "TQ-7400", true, true},
                                         ModelCase{0, nullptr, false, false},
                                         ModelCase{4, nullptr, false, false}));

TEST_F(DataManagerTest, ARefreshReadsEverySlotAndEndsTheProgressWhole) {
    manager->updateKbdList();
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    std::size_t items = 0;
    for (const auto& [type, list] : manager->kbdLists())
        items += list.size();
    EXPECT_EQ(items, 577u);
    EXPECT_EQ(manager->kbdLists().size(), 9u);
    EXPECT_EQ(view.progressBar.maximum, ActionProgress::barMaximum);
    EXPECT_EQ(view.progressBar.position, ActionProgress::barMaximum);
    EXPECT_FALSE(view.progressShown);

    // USER TONE: every slot a row, "No" 600-699 for the numbers 750-849.
    ASSERT_EQ(kbdRows().size(), 100u);
    EXPECT_EQ(kbdRows().front().no, "600");
    EXPECT_EQ(kbdRows().back().no, "699");
    EXPECT_EQ(manager->kbdRowItem(0)->number, 750);
    EXPECT_EQ(manager->kbdRowItem(99)->number, 849);
    EXPECT_EQ(manager->kbdRowItem(100), nullptr);
    EXPECT_EQ(kbdRows()[0].name, simulator->memory().name(category::Tone, 750));
    EXPECT_EQ(kbdRows()[0].size, "70");

    // REGISTRATION: positions 0-31 for the numbers 32-63.
    manager->changeDataType(type::Registration);
    ASSERT_EQ(kbdRows().size(), 32u);
    EXPECT_EQ(kbdRows().front().no, "0");
    EXPECT_EQ(kbdRows().back().no, "31");
    EXPECT_EQ(manager->kbdRowItem(0)->number, 32);
    EXPECT_EQ(manager->kbdRowItem(31)->number, 63);
    EXPECT_EQ(kbdRows()[0].name, "1 - 1");
    EXPECT_EQ(kbdRows()[1].name, "1 - 2");
    EXPECT_EQ(kbdRows()[31].name, "8 - 4");
}

TEST_F(DataManagerTest, TheSmfListShowsEverySlotNumberedAsTheCommandLineListsIt) {
    kbdsim::KeyboardMemory& memory = simulator->memory();
    for (std::uint16_t n = 0; n < 200; ++n)
        memory.clear(category::SMF, n);
    memory.store(category::SMF, 3, ByteVector(100, 1));
    memory.setName(category::SMF, 3, "THIRD   ");
    memory.store(category::SMF, 150, ByteVector(50, 2));
    manager->updateKbdList();
    manager->changeDataType(type::Smf);
    ASSERT_EQ(kbdRows().size(), 200u);
    EXPECT_EQ(kbdRows()[0].no, "0");
    EXPECT_EQ(kbdRows()[0].name, "(empty)");
    EXPECT_EQ(kbdRows()[0].size, "");
    EXPECT_EQ(kbdRows()[3].no, "3");
    EXPECT_EQ(kbdRows()[3].name, "THIRD   ");
    EXPECT_EQ(kbdRows()[3].size, "100");
    EXPECT_EQ(kbdRows()[199].no, "199");
    EXPECT_EQ(manager->kbdRowItem(150)->number, 150);
    EXPECT_EQ(kbdRows()[150].size, "50");
    for (int row : {0, 3, 150, 199})
        EXPECT_EQ(kbdRows()[static_cast<std::size_t>(row)].no,
                  std::to_string(
                      manager->kbdLists().at(type::Smf)[static_cast<std::size_t>(row)]->position))
            << "the number the command line's list gives the slot";
}

TEST_F(DataManagerTest, TheMemoryBarShowsTheAreaOfEachType) {
    manager->updateKbdList();
    const std::int32_t data = manager->usedDataMemory();
    const std::int32_t song = manager->usedSongMemory();
    EXPECT_GT(data, 0);
    for (int t = 0; t < type::selectableCount; ++t) {
        manager->changeDataType(static_cast<type::id>(t));
        SCOPED_TRACE(typeLabels[t]);
        switch (t) {
        case type::UserToneWithWave:
        case type::UserDrumWithWave:
        case type::UserRhythm:
        case type::Smf:
        case type::Package:
            EXPECT_TRUE(view.bar.visible);
            EXPECT_EQ(view.bar.maximum, 1572840);
            EXPECT_EQ(view.bar.position, data);
            break;
        case type::Song:
            EXPECT_TRUE(view.bar.visible);
            EXPECT_EQ(view.bar.maximum, 65455);
            EXPECT_EQ(view.bar.position, song);
            break;
        default:
            EXPECT_FALSE(view.bar.visible);
        }
        EXPECT_EQ(view.kbdDelete, t == 3 || t == 4 || t == 5 || t == 7 || t == 8);
    }
}

TEST_F(DataManagerTest, ATimeOutInTheMiddleOfARefreshEmptiesTheListUntilTheNextGoodOne) {
    manager->updateKbdList();
    ASSERT_EQ(kbdRows().size(), 100u);
    environment.replyTimeout = 300ms;
    setOptions([&](kbdsim::Options& options) {
        options.faults.noReply.ordinal = simulator->messageCount() + 300;
    });
    manager->updateKbdList();
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"MIDI TIMEOUT"});
    EXPECT_FALSE(view.progressShown);
    EXPECT_EQ(manager->frame().dialog(), nullptr);
    // Half read, the list no longer stands for the keyboard: nothing of the
    // earlier one is left to act on, and Send and Receive wait for a good one.
    for (int t = 0; t < type::selectableCount; ++t) {
        manager->changeDataType(static_cast<type::id>(t));
        EXPECT_TRUE(kbdRows().empty()) << typeLabels[t];
        EXPECT_EQ(manager->kbdRowItem(0), nullptr) << typeLabels[t];
        EXPECT_FALSE(view.bar.visible) << typeLabels[t];
    }
    EXPECT_TRUE(manager->kbdLists().empty());
    EXPECT_FALSE(manager->kbdListed());
    EXPECT_FALSE(view.send);
    EXPECT_FALSE(view.receive);

    setOptions([&](kbdsim::Options& options) { options.faults.noReply.ordinal = 0; });
    manager->changeDataType(type::UserTone);
    manager->updateKbdList();
    EXPECT_EQ(kbdRows().size(), 100u);
    EXPECT_TRUE(manager->kbdListed());
    EXPECT_TRUE(view.send);
}

TEST_F(DataManagerTest, ChangingTheDevicesEmptiesTheList) {
    manager->updateKbdList();
    ASSERT_EQ(kbdRows().size(), 100u);
    manager->forgetKbdList();
    EXPECT_TRUE(kbdRows().empty());
    EXPECT_FALSE(view.bar.visible);
    EXPECT_FALSE(view.send);
    EXPECT_FALSE(manager->kbdListed());
    manager->changeDataType(type::Smf);
    EXPECT_TRUE(kbdRows().empty());
    EXPECT_FALSE(view.bar.visible);
}

TEST_F(DataManagerTest, UpdateThisTypeReadsOnlyTheCurrentType) {
    manager->changeDataType(type::UserRhythm);
    manager->updateThisType();
    ASSERT_TRUE(view.kbdErrors.empty());
    EXPECT_EQ(manager->kbdLists().size(), 1u);
    EXPECT_EQ(kbdRows().size(), 16u);
    EXPECT_TRUE(view.bar.visible);
    // Begin communication, the model, 16 sizes and 16 names (two halves
    // each), and the two memory figures.
    EXPECT_EQ(messages, 2u + 16u + 32u + 2u);
}

TEST_F(DataManagerTest, NothingStartsWhileAnActionWaitsForTheKeyboard) {
    int attempts = 0;
    duringWait = [&] {
        if (attempts++ != 100)
            return;
        // Events handled while the refresh waits: each is refused.
        const std::size_t before = messages;
        manager->updateKbdList();
        manager->updateThisType();
        manager->changeDataType(type::Song);
        manager->updatePcList();
        EXPECT_EQ(messages, before);
        EXPECT_EQ(manager->currentType(), type::UserTone);
        EXPECT_TRUE(view.locked);
        EXPECT_NE(manager->frame().dialog(), nullptr);
    };
    manager->updateKbdList();
    EXPECT_GT(attempts, 100);
    EXPECT_TRUE(view.kbdErrors.empty());
    EXPECT_FALSE(view.locked);
    EXPECT_EQ(kbdRows().size(), 100u);
}

TEST_F(DataManagerTest, NoMidiTrafficAtStart) {
    manager->start();
    EXPECT_EQ(messages, 0u);
    EXPECT_FALSE(view.send);
    EXPECT_FALSE(view.receive);
    EXPECT_FALSE(view.kbdDelete);
    EXPECT_FALSE(view.bar.visible);
    EXPECT_TRUE(pcRows().empty());
}

// ---- delete and initialise ----

class Deleting : public DataManagerTest {
protected:
    Deleting() {
        duringWait = nullptr;
        manager->updateKbdList();
        sent.clear();
    }
    // Commands sent since the last clear, but the begin of a communication,
    // as (parameter, value).
    std::vector<std::pair<int, std::int32_t>> commands() const {
        return test::commandsSent(
            sent, [](int parameter) { return parameter != command::beginCommunication; });
    }
    int modelRequests() const {
        return static_cast<int>(std::count_if(sent.begin(), sent.end(), [](const ByteVector& m) {
            const auto read = test::readSent(m);
            return read && read->isModelRequest();
        }));
    }
};

TEST_F(Deleting, EachDeletableTypeSendsItsCommandAndReadsOnlyThatTypeAgain) {
    const std::pair<type::id, int> types[] = {{type::UserToneWithWave, 37},
                                              {type::UserDrumWithWave, 38},
                                              {type::UserRhythm, 36},
                                              {type::Song, 35},
                                              {type::Smf, 39}};
    for (const auto& [t, parameter] : types) {
        SCOPED_TRACE(typeLabels[t]);
        manager->changeDataType(t);
        int row = 0;
        while (manager->kbdRowItem(row) && manager->kbdRowItem(row)->size == 0)
            ++row;
        const KbdDataAttributePtr item = manager->kbdRowItem(row);
        ASSERT_NE(item, nullptr) << "the demo content has an item of this type";
        const KbdDataAttributePtr otherType = manager->kbdLists().at(type::UserTone).front();
        sent.clear();
        manager->deleteKbdData(row);
        ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
        EXPECT_EQ(commands(),
                  (std::vector<std::pair<int, std::int32_t>>{{parameter, item->number}}));
        EXPECT_GE(modelRequests(), 1) << "the readiness poll";
        EXPECT_EQ(manager->kbdLists().at(type::UserTone).front(), otherType)
            << "other types are not read again";
        const auto& list = manager->kbdLists().at(t);
        const auto again = std::find_if(list.begin(), list.end(),
                                        [&](const auto& a) { return a->number == item->number; });
        ASSERT_NE(again, list.end());
        EXPECT_EQ((*again)->size, 0);
        EXPECT_TRUE(view.update);
        EXPECT_FALSE(view.locked);
    }
}

TEST_F(Deleting, AnEmptyRhythmSlotSendsNoDeleteButStillPollsAndReads) {
    simulator->memory().clear(category::Rhythm, 141);
    manager->changeDataType(type::UserRhythm);
    manager->updateThisType();
    ASSERT_EQ(manager->kbdRowItem(1)->size, 0);
    sent.clear();
    manager->deleteKbdData(1);
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(modelRequests(), 1);
    EXPECT_EQ(kbdRows().size(), 16u) << "the type was read again";
}

TEST_F(Deleting, ASongSlotIsDeletedEvenWhenItReadsEmpty) {
    simulator->memory().clear(category::Song, 2);
    manager->changeDataType(type::Song);
    manager->updateThisType();
    ASSERT_EQ(manager->kbdRowItem(2)->size, 0);
    sent.clear();
    manager->deleteKbdData(2);
    ASSERT_FALSE(commands().empty());
    EXPECT_EQ(commands().front(), (std::pair<int, std::int32_t>{35, 2}));
}

TEST_F(Deleting, NoRowOrARowWithoutAnItemDoesNothing) {
    manager->changeDataType(type::Smf);
    sent.clear();
    manager->deleteKbdData(-1);
    manager->deleteKbdData(static_cast<int>(kbdRows().size()));
    EXPECT_TRUE(sent.empty());
}

TEST_F(Deleting, AKeyboardThatNeverAnswersWellAfterADeleteEndsWithMidiTimeout) {
    // Every model request is answered with a malformed reply: each poll fails
    // at once, without waiting for the time-out.
    setOptions([](kbdsim::Options& options) {
        options.faults.malformation = kbdsim::Malformation::Short;
        options.faults.malformedReply.kind = kbdsim::MessageKind::ModelRequest;
    });
    manager->changeDataType(type::UserRhythm);
    manager->deleteKbdData(0);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"MIDI TIMEOUT"});
    EXPECT_EQ(modelRequests(), 200);
    EXPECT_EQ(manager->frame().dialog(), nullptr);
}

TEST_F(Deleting, InitializeSystemSendsParameter41WithValue2AndNothingElse) {
    manager->initSystem();
    EXPECT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    // The command has left when the action ends; the keyboard takes it from the wire.
    ASSERT_TRUE(test::pumpUntil([&] { return !sent.empty(); }));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(commands(), (std::vector<std::pair<int, std::int32_t>>{{41, 2}}));
    sent.clear();
    manager->initMixer();
    manager->initParameter();
    ASSERT_TRUE(test::pumpUntil([&] { return sent.size() == 2; }));
    EXPECT_EQ(commands(), (std::vector<std::pair<int, std::int32_t>>{{41, 0}, {41, 1}}));
}

TEST_F(Deleting, DeletingTheLastItemsGoesLastFirstAndStopsAtTheFoldersStart) {
    std::vector<std::int32_t> expected;
    const auto& drums = manager->kbdLists().at(type::UserDrumWithWave);
    ASSERT_EQ(drums.size(), 4u);
    for (auto item = drums.rbegin(); item != drums.rend(); ++item)
        if ((*item)->size != 0)
            expected.push_back((*item)->number);
    ASSERT_FALSE(expected.empty()) << "the demo content has drum groups";
    ActionProgress& progress = manager->actionProgress();
    const ActionProgress::Scope scope(progress, "Deleting");
    progress.beginPhase(1.0, 10, false);
    {
        const KbdSession session(manager->frame(), false);
        manager->transfers().deleteLastKbdItems(type::UserDrumWithWave,
                                                10); // more than the list holds
    }
    std::vector<std::int32_t> deleted;
    for (const auto& [parameter, value] : commands())
        if (parameter == 38)
            deleted.push_back(value);
    EXPECT_EQ(deleted, expected);
    EXPECT_EQ(modelRequests(), static_cast<int>(expected.size()));
    EXPECT_EQ(view.progressBar.position, 400) << "4 of the 10 steps";
}

// ---- the PC list ----

TEST_F(DataManagerTest, ThePcListFilesEachFileUnderTheTypeItsContentDeclares) {
    using test::singleItemFile;
    test::writeFile(dataDirectory + "tone.vdf",
                    singleItemFile(category::Tone, type::UserTone, ByteVector(70, 0x41)));
    test::writeFile(dataDirectory + "NAMEDLIKEATONE.vdf", test::PackageBuilder().build());
    test::writeFile(dataDirectory + "all.vdf",
                    singleItemFile(category::Registration, type::AllUserData, ByteVector(240)));
    const ByteVector song = {'M', 'T', 'h', 'd', 0,   0, 0, 6, 0, 0, 0,    1,    0,
                             96,  'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0};
    test::writeFile(dataDirectory + "song.MID", song);
    manager->start();

    EXPECT_EQ(manager->pcLists()[type::UserTone].size(), 1u);
    EXPECT_EQ(manager->pcLists()[type::Package].size(), 1u);
    EXPECT_EQ(manager->pcLists()[type::Smf].size(), 1u);
    EXPECT_EQ(manager->pcLists()[type::AllUserData].size(), 1u) << "kept, never shown";
    ASSERT_EQ(pcRows().size(), 1u);
    EXPECT_EQ(pcRows()[0].name, "AAAAAAAA");
    EXPECT_EQ(pcRows()[0].size, "70");
    EXPECT_EQ(manager->pcRowItem(0)->path, dataDirectory + "tone.vdf");

    // The date in the short date and long time format of the locale.
    const QDateTime modified =
        QFileInfo(QString::fromStdString(dataDirectory + "tone.vdf")).lastModified();
    const QLocale locale;
    const QDateTime even = modified.addSecs(-(modified.time().second() % 2));
    EXPECT_EQ(pcRows()[0].date, (locale.toString(even.date(), QLocale::ShortFormat) + " " +
                                 locale.toString(QTime(even.time().hour(), even.time().minute(),
                                                       even.time().second()),
                                                 QLocale::LongFormat))
                                    .toStdString());

    manager->changeDataType(type::Smf);
    ASSERT_EQ(pcRows().size(), 1u);
    manager->changeDataType(type::Package);
    ASSERT_EQ(pcRows().size(), 1u);
    EXPECT_TRUE(view.defaultErrors.empty());
}

TEST_F(DataManagerTest, ABadFileEndsTheScanThroughTheDefaultErrorDisplay) {
    using test::singleItemFile;
    test::writeFile(dataDirectory + "a.vdf",
                    singleItemFile(category::Tone, type::UserTone, ByteVector(70, 0x41)));
    test::writeFile(dataDirectory + "b.vdf", ByteVector(10, 0x00));
    test::writeFile(dataDirectory + "c.vdf",
                    singleItemFile(category::Tone, type::UserTone, ByteVector(70, 0x42)));
    manager->start();
    EXPECT_EQ(view.defaultErrors, std::vector<std::string>{"Illegal Format"});
    ASSERT_EQ(manager->pcLists()[type::UserTone].size(), 1u) << "the files after it are left";
    ASSERT_EQ(pcRows().size(), 1u) << "the list agrees with the lists of files";
    EXPECT_NE(manager->pcRowItem(0), nullptr);
}

TEST_F(DataManagerTest, AMissingDataDirectoryGivesAnEmptyList) {
    manager->setDataDirectory(dataDirectory + "gone/");
    manager->start();
    EXPECT_TRUE(view.defaultErrors.empty());
    EXPECT_TRUE(pcRows().empty());
}

} // namespace
} // namespace qel
