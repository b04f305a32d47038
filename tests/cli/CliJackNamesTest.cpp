// `tq7400 list` of a keyboard slot whose name holds control bytes: sent to
// the stand-alone simulator over a JACK server of the test's own, which keeps
// it for the runs that list it. The table stays one line a slot with its
// columns, the terminal gets no control byte, and --json gives the bytes back.

#include "cli/SimulatorOverJack.h"
#include "support/PackageBuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class CliNamesOverJack : public qel::test::SimulatorOverJack {
protected:
    CliNamesOverJack() : SimulatorOverJack({}) {}
};

TEST_F(CliNamesOverJack, ListEscapesAnOddNameKeepsTheColumnsAndJsonGivesItsBytes) {
    // NUL, ESC, LF, 0xB0, 0xFF, a backslash and DEL.
    const std::string name("\0\x1b\n\xb0\xff\\\x7fZ", 8);
    qel::ByteVector rhythm(300, 0x11);
    std::copy(name.begin(), name.end(), rhythm.begin() + 2); // a rhythm's name offset
    const std::string path = scratch.path() + "odd.vdf";
    qel::test::writeFile(
        path, qel::test::singleItemFile(qel::category::Rhythm, qel::type::UserRhythm, rhythm));
    run({"put", path, "150"});

    const std::string text = run({"list", "rhythm"});
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        ASSERT_TRUE(byte == '\n' || (byte >= 0x20 && byte != 0x7F)) << "byte " << i << ": " << text;
    }
    // "\x00\x1b\x0a°ÿ\\\x7fZ" is 21 characters wide: every row's name column is.
    const std::string shown = "\\x00\\x1b\\x0a\xc2\xb0\xc3\xbf\\\\\\x7fZ";
    EXPECT_NE(text.find("\n   140  DEMO RH1" + std::string(13, ' ') + "       300\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n   150  " + shown + "       300\n"), std::string::npos) << text;

    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromStdString(run({"--json", "list", "rhythm"})), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    QJsonObject odd;
    const QJsonArray slotList =
        document.object()["types"].toArray().at(0).toObject()["slots"].toArray();
    for (const QJsonValue& slot : slotList)
        if (slot["no"].toInt() == 150)
            odd = slot.toObject();
    EXPECT_EQ(odd["nameBytes"].toString().toStdString(), "001b0ab0ff5c7f5a");
    EXPECT_EQ(odd["name"].toString(), QString::fromLatin1(name.data(), 8));
    EXPECT_EQ(odd["size"].toInt(), 300);
}

} // namespace
