// A name with a byte of 0x80 or above, as the keyboard sends it, through the
// whole stack: received into a file, found in the data directory, listed
// under its own bytes and sent back with them.

#include "e2e/KeyboardSession.h"
#include "kbdsim/KeyboardMemory.h"
#include "model/KbdData.h"
#include "model/VdfData.h"
#include "platform/files/WildcardSearch.h"
#include "support/Hex.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <memory>

namespace qel {
namespace {

using kbdsim::KeyboardMemory;

TEST(FileNameRoundTrip, SmfNamedWithADegreeSignIsReceivedListedAndSentBackUnderItsBytes) {
    test::KeyboardSession session;
    const ByteVector song =
        test::hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B 00 00 00 0C "
                  "00 90 3C 40 60 80 3C 00 00 FF 2F 00");
    const std::string name = "\xB0SMF-002";
    auto& memory = session.keyboard().memory();
    ASSERT_EQ(memory.store(category::SMF, 2, song), KeyboardMemory::StoreResult::Stored);
    ASSERT_TRUE(memory.setName(category::SMF, 2, name));

    // Received into a file whose name is valid UTF-8: "°SMF-002.mid".
    auto item = std::make_shared<KbdData>(session.dialog(), category::SMF, type::Smf, 2);
    EXPECT_EQ(item->name(), name);
    item->receive(session.dialog());
    VdfData received(session.directory(), item);
    received.save();
    const std::string fileName = "\xC2\xB0SMF-002.mid";
    EXPECT_EQ(received.path(), session.directory() + fileName);

    // Found by the data directory's search and by Qt, which reads it as "°SMF-002.mid".
    const auto found = platform::findFiles(session.directory(), "*.mid");
    ASSERT_EQ(found, std::vector<std::string>{session.directory() + fileName});
    const QDir directory(QString::fromStdString(session.directory()));
    EXPECT_EQ(directory.entryList({"*.mid"}, QDir::Files),
              QStringList{QString::fromUtf8("\u00B0SMF-002.mid")});
    EXPECT_TRUE(QFile(directory.filePath(QString::fromUtf8("\u00B0SMF-002.mid")))
                    .open(QIODevice::ReadOnly));

    // Listed under the bytes the keyboard sent, and sent back with them.
    VdfData listed(found.front());
    EXPECT_EQ(listed.name(), name);
    EXPECT_EQ(listed.category(), category::SMF);
    listed.loadForSending();
    KbdData target(7, 7, listed);
    target.send(session.dialog());
    // Asked through the keyboard, whose replies come after what it was sent.
    KbdData readBack(session.dialog(), category::SMF, type::Smf, 7);
    EXPECT_EQ(readBack.name(), name);
    EXPECT_EQ(readBack.receive(session.dialog()), song);
}

} // namespace
} // namespace qel
