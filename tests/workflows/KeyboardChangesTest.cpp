// Nothing on the keyboard is destroyed for nothing: the memory checks count
// what the keyboard counts and decide before anything is cleared, sends act
// only on lists that were read, a failed send shows what the slot really
// holds, and every destroying action asks first, keeping a copy or a backup
// when asked to.

#include "kbdsim/SlotLayout.h"
#include "support/NewestSnapshot.h"
#include "support/PackageBuilder.h"
#include "support/SmfBytes.h"
#include "workflows/BackupManifest.h"
#include "workflows/TransfersFixture.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace qel {
namespace {

using kbdsim::KeyboardMemory;
using test::singleItemFile;
using test::Transfers;
using namespace std::chrono_literals;

class KeyboardChanges : public Transfers {
protected:
    std::map<std::uint32_t, std::pair<ByteVector, std::string>> snapshot() {
        return test::slotContents(memory());
    }

    // Fills SMF slots 100 and up (outside what the tests use) until exactly
    // `free` bytes of the data memory are left.
    void setFreeDataMemory(std::uint32_t free) {
        for (std::uint16_t n = 100; n < 190; ++n)
            memory().clear(category::SMF, n);
        ASSERT_GE(memory().freeDataMemory(), free);
        for (std::uint16_t n = 100; memory().freeDataMemory() > free; ++n) {
            ASSERT_LT(n, 190);
            const std::uint32_t size =
                std::min<std::uint32_t>(200000, memory().freeDataMemory() - free);
            ASSERT_EQ(memory().store(category::SMF, n, ByteVector(size, 0x11)),
                      KeyboardMemory::StoreResult::Stored);
        }
    }

    // Fills song slot 4 until exactly `free` bytes of the song memory are left.
    void setFreeSongMemory(std::uint32_t free) {
        memory().clear(category::Song, 4);
        ASSERT_GE(memory().freeSongMemory(), free);
        ASSERT_EQ(
            memory().store(category::Song, 4, ByteVector(memory().freeSongMemory() - free, 0x12)),
            KeyboardMemory::StoreResult::Stored);
    }

    // Empties the slots a package fills, so that its clearing frees nothing.
    void emptyPackageSlots() {
        memory().clearDrumGroup(20);
        for (std::uint16_t n = 860; n < 870; ++n)
            memory().clearToneGroup(n);
        for (std::uint16_t n = 146; n < 156; ++n)
            memory().clear(category::Rhythm, n);
        for (std::uint16_t n = 190; n < 200; ++n)
            memory().clear(category::SMF, n);
    }
};

// ---- memory: counted as the keyboard counts, decided before clearing ----

struct MemoryCase {
    const char* name;
    type::id type;
    std::function<ByteVector()> file;
    // Sets up the target slot; returns the bytes its clearing frees.
    std::function<std::uint32_t(KeyboardMemory&)> target;
    int row;
    std::uint32_t need; // bytes of the data (or, for songs, the song) memory
};

ByteVector toneGroupFile() {
    return test::PackageBuilder(type::UserToneWithWave).toneGroup({3000, 2000}).build();
}

std::uint32_t emptyToneGroup(KeyboardMemory& memory) {
    memory.clearToneGroup(855);
    return 0;
}

std::uint32_t toneGroupWithWaves(KeyboardMemory& memory) {
    memory.clearToneGroup(856);
    memory.store(category::WaveData, kbdsim::layout::toneGroupChildren(856)[4].first,
                 ByteVector(1000, 0x21));
    return 1000;
}

std::uint32_t rhythmOf300(KeyboardMemory& memory) {
    memory.store(category::Rhythm, 141, ByteVector(300, 0x22));
    return 300;
}

std::uint32_t songOf600(KeyboardMemory& memory) {
    memory.store(category::Song, 0, ByteVector(600, 0x23));
    return 600;
}

std::uint32_t nothing(KeyboardMemory&) {
    return 0;
}

std::uint32_t emptyDrumGroup(KeyboardMemory& memory) {
    memory.clearDrumGroup(18);
    return 0;
}

const MemoryCase memoryCases[] = {
    // Only the wave data counts: the group's tone, timbre, voices and waves
    // (some 4,100 bytes) have room of their own.
    {"ToneGroupIntoAnEmptySlot", type::UserToneWithWave, toneGroupFile, emptyToneGroup, 5, 5000},
    {"ToneGroupOverOneWhoseWavesItFrees", type::UserToneWithWave, toneGroupFile, toneGroupWithWaves,
     6, 5000},
    // Some 13,300 bytes of drum, insts and waves do not count either.
    {"DrumGroup", type::UserDrumWithWave,
     [] {
         return test::PackageBuilder(type::UserDrumWithWave).drumGroup({2000, 1000}).build();
     },
     emptyDrumGroup, 1, 3000},
    {"RhythmOverARhythm", type::UserRhythm,
     [] { return singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(500, 0x31)); },
     rhythmOf300, 1, 500},
    {"SongOverASong", type::Song,
     [] { return singleItemFile(category::Song, type::Song, ByteVector(4000, 0x32)); }, songOf600,
     0, 4000},
    // An odd-sized SMF travels, and is kept, with a padding byte.
    {"SmfIntoAFreeSlot", type::Smf, [] { return test::smfWithText(31); }, nothing, -1,
     static_cast<std::uint32_t>(test::smfWithText(31).size() + test::smfWithText(31).size() % 2)},
    // The package's tones, DSP, organs and registrations never count.
    {"Package", type::Package,
     [] {
         return test::PackageBuilder()
             .tones(3)
             .dsps(2)
             .rhythm(0, "PKGRHYTM", 400)
             .toneGroup({600})
             .build();
     },
     nothing, -1, 1000},
};

class MemoryBoundary : public KeyboardChanges, public testing::WithParamInterface<MemoryCase> {
protected:
    // Sends the case's file with `free` bytes left besides what the target frees.
    void sendWithFree(std::int64_t extra) {
        const MemoryCase& c = GetParam();
        if (c.type == type::Package)
            emptyPackageSlots();
        const std::uint32_t freed = c.target(memory());
        const std::int64_t free = std::int64_t{c.need} - freed + extra;
        ASSERT_GE(free, 0);
        if (c.type == type::Song)
            setFreeSongMemory(static_cast<std::uint32_t>(free));
        else
            setFreeDataMemory(static_cast<std::uint32_t>(free));
        putPcFile(c.type == type::Smf ? "item.mid" : "item.vdf", c.file());
        manager->changeDataType(c.type);
        manager->updateKbdList();
        ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
        sent.clear();
        before = snapshot();
        manager->putToKbd(0, c.row);
    }
    std::map<std::uint32_t, std::pair<ByteVector, std::string>> before;
};

TEST_P(MemoryBoundary, ExactlyTheFreeBytesAreEnough) {
    sendWithFree(0);
    EXPECT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_GT(dataBlocksSent(), 0u);
    EXPECT_NE(snapshot(), before);
    expectActionEnded();
}

TEST_P(MemoryBoundary, OneByteMoreIsRefusedBeforeAnythingIsCleared) {
    sendWithFree(-1);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Memory Full"});
    EXPECT_TRUE(deletes().empty()) << "no delete before the refusal";
    EXPECT_EQ(dataBlocksSent(), 0u);
    EXPECT_EQ(snapshot(), before) << "the keyboard is untouched";
    expectActionEnded();
}

INSTANTIATE_TEST_SUITE_P(EachKind, MemoryBoundary, testing::ValuesIn(memoryCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyboardChanges, ARestoreThatFitsOnlyAfterItsClearingSucceeds) {
    const std::string backup = folder.filePath("backup").toStdString();
    memory().store(category::Rhythm, 150, ByteVector(40000, 0x41));
    manager->backupKbd(backup);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    const auto backedUp = snapshot();

    // Less free than the backup needs, more once its own slots are cleared.
    setFreeDataMemory(1000);
    sent.clear();
    manager->restoreKbd(backup);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_FALSE(deletes().empty());
    EXPECT_EQ(*memory().data(category::Rhythm, 150), ByteVector(40000, 0x41));
}

TEST_F(KeyboardChanges, ARestoreThatCannotFitLeavesEverySlotAsItWas) {
    const std::string backup = folder.filePath("backup").toStdString();
    memory().store(category::Rhythm, 150, ByteVector(40000, 0x41));
    manager->backupKbd(backup);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    // The rhythm is gone, and its room is taken by something else.
    memory().clear(category::Rhythm, 150);
    setFreeDataMemory(1000);
    const auto before = snapshot();
    sent.clear();

    manager->restoreKbd(backup);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"Memory Full"});
    EXPECT_TRUE(deletes().empty());
    EXPECT_EQ(dataBlocksSent(), 0u);
    EXPECT_EQ(snapshot(), before);
}

// ---- sends act only on lists that were read ----

TEST_F(KeyboardChanges, APackageSendAfterUpdateThisTypeReadsTheListsItClearsFirst) {
    manager->forgetKbdList();
    memory().store(category::Rhythm, 150, ByteVector(100, 0x56));
    memory().store(category::SMF, 195, test::smfWithText(12));
    putPcFile("all.vdf", test::PackageBuilder().rhythm(0, "PKGRHYTM", 400).build());
    manager->changeDataType(type::UserTone);
    manager->updateThisType();
    ASSERT_EQ(manager->kbdLists().size(), 1u);
    manager->changeDataType(type::Package);
    sent.clear();

    manager->putToKbd(0, -1);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    const auto cleared = deletes();
    EXPECT_NE(std::find(cleared.begin(), cleared.end(), std::pair<int, std::int32_t>{36, 150}),
              cleared.end());
    EXPECT_NE(std::find(cleared.begin(), cleared.end(), std::pair<int, std::int32_t>{39, 195}),
              cleared.end());
    EXPECT_TRUE(memory().data(category::SMF, 195)->empty());
    EXPECT_EQ(memory().name(category::Rhythm, 148), "PKGRHYTM");
}

TEST_F(KeyboardChanges, AnSmfSendWithTheSmfListUnreadReadsItFirst) {
    manager->forgetKbdList();
    const std::string path = putPcFile("tune.mid", test::smfWithText(30));
    manager->changeDataType(type::UserRhythm);
    manager->updateThisType();
    manager->changeDataType(type::Smf);
    ASSERT_EQ(manager->pcRowItem(0)->path, path);

    manager->putToKbd(0, -1);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(*memory().data(category::SMF, 3), test::smfWithText(30)) << "after the demo's three";
}

TEST_F(KeyboardChanges, AnSmfSlotFilledSinceTheListWasReadIsNeverOverwritten) {
    putPcFile("tune.mid", test::smfWithText(30));
    manager->changeDataType(type::Smf);
    memory().store(category::SMF, 3, test::smfWithText(40));
    memory().setName(category::SMF, 3, "SOMEONES");

    manager->putToKbd(0, -1);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_EQ(*memory().data(category::SMF, 3), test::smfWithText(40));
    EXPECT_EQ(*memory().data(category::SMF, 4), test::smfWithText(30));
}

// ---- the list shows what the keyboard holds ----

TEST_F(KeyboardChanges, ACancelledGroupSendShowsWhatTheSlotReallyHolds) {
    putPcFile("group.vdf",
              test::PackageBuilder(type::UserToneWithWave).toneGroup({3000, 3000}).build());
    manager->changeDataType(type::UserToneWithWave);
    const int row = firstItemRow();
    ASSERT_GE(row, 0);
    const KbdDataAttribute listed = *manager->kbdRowItem(row);
    dialogWindow->cancelAt = 2000; // inside the first wave

    manager->putToKbd(0, row);
    EXPECT_TRUE(view.kbdErrors.empty()) << "a cancel is no error";
    ASSERT_FALSE(view.results.empty());
    EXPECT_EQ(view.results.back(), "Cancelled");
    // The group was cleared and partly sent: the row says exactly what the
    // keyboard kept of it.
    const auto children = kbdsim::layout::toneGroupChildren(listed.number);
    std::uint32_t waves = 0;
    for (std::uint16_t i = 0; i < 64; ++i)
        waves += static_cast<std::uint32_t>(
            memory()
                .data(category::WaveData, static_cast<std::uint16_t>(children[4].first + i))
                ->size());
    EXPECT_NE(static_cast<std::int32_t>(waves), listed.size);
    EXPECT_EQ(manager->kbdRowItem(row)->size, static_cast<std::int32_t>(waves));
    EXPECT_EQ(manager->kbdRowItem(row)->name, memory().name(category::Tone, children[0].first));
    EXPECT_TRUE(manager->kbdRowItem(row)->known);
    // A group left without wave data reads as an empty slot.
    EXPECT_EQ(kbdRows()[static_cast<std::size_t>(row)].name,
              waves == 0 ? "(empty)" : memory().name(category::Tone, children[0].first));
}

TEST_F(KeyboardChanges, AfterTheWindowsCancelTheSlotIsStillReadAgain) {
    // The action window's Cancel, pressed once the transfer passes 2,000
    // bytes, holds to the action's end: the reading after it still runs.
    bool pressed = false;
    view.progressBar.cancelWhen = [&] {
        pressed = pressed || dialogWindow->position >= 2000;
        return pressed;
    };
    putPcFile("rh.vdf", singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(20000, 1)));
    manager->changeDataType(type::UserRhythm);
    ASSERT_GT(manager->kbdRowItem(0)->size, 0);

    manager->putToKbd(0, 0);
    EXPECT_TRUE(view.kbdErrors.empty()) << "a cancel is no error";
    ASSERT_FALSE(view.results.empty());
    EXPECT_EQ(view.results.back(), "Cancelled");
    EXPECT_TRUE(memory().data(category::Rhythm, 140)->empty()) << "cleared, then not stored";
    EXPECT_TRUE(manager->kbdRowItem(0)->known) << "read again";
    EXPECT_EQ(manager->kbdRowItem(0)->size, 0);
    EXPECT_EQ(kbdRows()[0].size, "");
    EXPECT_EQ(kbdRows()[0].name, "(empty)");
}

TEST_F(KeyboardChanges, ASlotThatCannotBeReadAfterAFailedSendShowsAsUnknown) {
    putPcFile("rh.vdf", singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(2000, 1)));
    manager->changeDataType(type::UserRhythm);
    environment.replyTimeout = 300ms;
    // The keyboard stops answering in the middle of the send.
    setOptions([&](kbdsim::Options& options) { options.faults.silentAfterBlock = 3; });

    manager->putToKbd(0, 2);
    EXPECT_EQ(view.kbdErrors, std::vector<std::string>{"MIDI TIMEOUT"});
    EXPECT_EQ(kbdRows()[2].name, "?");
    EXPECT_EQ(kbdRows()[2].size, "?");
    EXPECT_FALSE(manager->kbdRowItem(2)->known);
}

// ---- asking first ----

TEST_F(KeyboardChanges, DeleteAsksNamingTheItemAndCancelChangesNothing) {
    manager->changeDataType(type::UserRhythm);
    const KbdDataAttributePtr slot = manager->kbdRowItem(0);
    ASSERT_GT(slot->size, 0);
    view.answer = {DestroyAnswer::Choice::Cancel, false, {}};
    const auto before = snapshot();
    sent.clear();

    manager->deleteKbdData(0);
    ASSERT_EQ(view.questions.size(), 1u);
    const DestroyQuestion& question = view.questions.front();
    EXPECT_EQ(question.action, DestroyQuestion::Action::Delete);
    EXPECT_TRUE(question.offerCopy);
    const std::string expected =
        "USER RHYTHM 140 \"" + slot->name + "\" " + std::to_string(slot->size) + " bytes";
    EXPECT_EQ(question.lost, std::vector<std::string>{expected});
    EXPECT_NE(question.text.find(expected), std::string::npos) << question.text;
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(view.kbdErrors.empty()) << "a cancel is no error";
    EXPECT_EQ(snapshot(), before);
    expectActionEnded();
}

TEST_F(KeyboardChanges, KeepACopyReceivesTheItemBeforeItIsDeleted) {
    manager->changeDataType(type::UserRhythm);
    const ByteVector held = *memory().data(category::Rhythm, 140);
    view.answer = {DestroyAnswer::Choice::Proceed, true, {}};

    manager->deleteKbdData(0);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    EXPECT_TRUE(memory().data(category::Rhythm, 140)->empty());
    std::vector<std::string> copies;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(dataDirectory + "Replaced"))
        if (entry.is_regular_file())
            copies.push_back(entry.path().string());
    ASSERT_EQ(copies.size(), 1u);
    const ByteVector file = test::readFile(copies.front());
    ASSERT_EQ(file.size(), 64 + held.size());
    EXPECT_TRUE(std::equal(held.begin(), held.end(), file.begin() + 64));
}

TEST_F(KeyboardChanges, SendAsksOnlyBeforeReplacingSomething) {
    putPcFile("rh.vdf", singleItemFile(category::Rhythm, type::UserRhythm, ByteVector(200, 1)));
    manager->changeDataType(type::UserRhythm);
    memory().clear(category::Rhythm, 155);
    manager->updateKbdList();

    manager->putToKbd(0, 15); // empty
    EXPECT_TRUE(view.questions.empty());
    manager->putToKbd(0, 0); // occupied
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions.front().action, DestroyQuestion::Action::Replace);
    EXPECT_TRUE(view.questions.front().offerCopy);
    EXPECT_NE(view.questions.front().text.find("rh.vdf"), std::string::npos);
}

TEST_F(KeyboardChanges, BackUpFirstBacksTheKeyboardUpThenRestores) {
    const std::string backup = folder.filePath("backup").toStdString();
    manager->backupKbd(backup);
    const std::string before = folder.filePath("before-restore").toStdString();
    view.answer = {DestroyAnswer::Choice::BackUpFirst, false, before};

    manager->restoreKbd(backup);
    ASSERT_TRUE(view.kbdErrors.empty()) << view.kbdErrors.front();
    ASSERT_FALSE(view.questions.empty());
    EXPECT_TRUE(view.questions.back().offerBackUp);
    const std::optional<BackupManifest> made = BackupManifest::read(test::newestSnapshot(before));
    ASSERT_TRUE(made.has_value());
    EXPECT_TRUE(made->complete);
    EXPECT_EQ(made->items.size(), BackupManifest::read(test::newestSnapshot(backup))->items.size());
}

TEST_F(KeyboardChanges, InitializeAsksAndCancelSendsNothing) {
    view.answer = {DestroyAnswer::Choice::Cancel, false, {}};
    sent.clear();
    manager->initSystem();
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions.front().action, DestroyQuestion::Action::Initialize);
    EXPECT_FALSE(view.questions.front().offerCopy);
    EXPECT_TRUE(sent.empty());
}

} // namespace
} // namespace qel
