// The one rule by which received names become file names, and the way back.

#include "platform/files/SafeFileName.h"

#include "model/CardData.h"
#include "model/ReceivedFilePath.h"
#include "model/VdfData.h"
#include "platform/files/WildcardSearch.h"
#include "support/Hex.h"
#include "support/PackageBuilder.h"
#include "support/ScratchFolder.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace qel {
namespace {

using test::ScratchFolder;

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool isUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80                    ? 1
                                   : lead >= 0xC2 && lead <= 0xDF ? 2
                                   : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                  : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        const auto second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
            return false;
        i += length;
    }
    return true;
}

struct Named {
    const char* what;
    std::string received; // item name bytes and extension
    std::string file;     // the file name they become
};

// Received names and the file names they become.
const Named names[] = {
    {"padded name", "ABC     .vdf", "ABC     .vdf"},
    {"separators", "A/B\\C.vdf", "A_B_C.vdf"},
    {"climbing out", "../../x.vdf", "_._.._x.vdf"},
    {"leading dot: no hidden file", ".HIDDEN .vdf", "_HIDDEN .vdf"},
    {"Windows wildcards and drive colon", "a?b*c:d.vdf", "a_b_c_d.vdf"},
    {"quotes, angle brackets, bar", "\"<>|.vdf", "____.vdf"},
    {"control bytes", std::string("\x00\x01\x1F\x7F", 4) + ".vdf", "____.vdf"},
    {"degree sign as seen from the keyboard", "\xB0SMF-002.mid", "\xC2\xB0SMF-002.mid"},
    {"Latin-1 letters", "Caf\xE9 \xC4\xD6.vdf", "Caf\xC3\xA9 \xC3\x84\xC3\x96.vdf"},
    {"no-break space and y with diaeresis", "\xA0\xFF.vdf", "\xC2\xA0\xC3\xBF.vdf"},
    {"Latin-1 control characters", "\x80\x85\x9F.vdf", "___.vdf"},
    {"dots only, then the extension", "..      .vdf", "_.      .vdf"},
    {"trailing dot", "ABC.", "ABC_"},
    {"trailing space", "ABC ", "ABC_"},
    {"trailing dots and spaces", "AB. .", "AB. _"},
    {"one dot", ".", "_"},
    {"two dots", "..", "__"},
    {"empty", "", "_"},
    {"device name with padding", "CON     .z01", "_CON     .z01"},
    {"device name in lower case", "nul.vdf", "_nul.vdf"},
    {"numbered device", "COM1.mid", "_COM1.mid"},
    {"numbered device without extension", "LPT9", "_LPT9"},
    {"device name with a trailing dot", "AUX.", "_AUX_"},
    {"not a device: COM0", "COM0.vdf", "COM0.vdf"},
    {"not a device: longer", "CONSOLE.vdf", "CONSOLE.vdf"},
    {"not a device: inside", "ICON.vdf", "ICON.vdf"},
};

TEST(SafeFileName, ReceivedNamesBecomeTheseFileNames) {
    for (const Named& n : names) {
        const std::string file = safeFileName(n.received);
        EXPECT_EQ(test::toHex(ByteVector(file.begin(), file.end())),
                  test::toHex(ByteVector(n.file.begin(), n.file.end())))
            << n.what;
        EXPECT_TRUE(isUtf8(file)) << n.what;
    }
}

TEST(SafeFileName, EveryByteGivesAValidUtf8NameThatReadsBackAsTheByteOrAnUnderscore) {
    for (int value = 0; value < 256; ++value) {
        const std::string name = std::string("N") + static_cast<char>(value) + "N";
        const std::string file = safeFileName(name + ".vdf");
        ASSERT_TRUE(isUtf8(file)) << value;
        EXPECT_EQ(file.find_first_of(std::string("/\\?*:\"<>|\0", 10)), std::string::npos) << value;
        for (char c : file)
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << value;
        const std::string back = nameFromFileName(file.substr(0, file.size() - 4));
        if (file == "N_N.vdf")
            EXPECT_TRUE(
                value == '_' || value < 0x20 || value == 0x7F || (value >= 0x80 && value < 0xA0) ||
                std::string("/\\?*:\"<>|").find(static_cast<char>(value)) != std::string::npos)
                << value;
        else
            EXPECT_EQ(back, name) << value;
    }
}

TEST(SafeFileName, FileNamesReadBackAsTheBytesTheyStandFor) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xC2\xB0SMF-002", "\xB0SMF-002"},
        {"Caf\xC3\xA9", "Caf\xE9"},
        {"\xC3\xBF\xC2\x80", "\xFF\x80"},
        {"plain ASCII _?", "plain ASCII _?"},
        {"note \xE2\x99\xAA", "note \xE2\x99\xAA"}, // beyond Latin-1: kept
        {"\xB0raw bytes", "\xB0raw bytes"},         // a name that is no UTF-8: kept
        {"cut \xC3", "cut \xC3"},                   // lead byte at the end
        {"\xC3(", "\xC3("},                         // lead byte without continuation
        {"\xE2\x82\xAC", "\xE2\x82\xAC"},           // euro sign: three bytes, kept
    };
    for (const auto& [file, name] : cases)
        EXPECT_EQ(nameFromFileName(file), name) << file;
}

TEST(SafeFileName, EveryFileNameCanBeCreatedFoundAndOpenedByQt) {
    ScratchFolder folder;
    std::vector<std::string> made;
    for (const Named& n : names) {
        const std::string file = safeFileName(n.received);
        if (file == "." || file == "..")
            continue;
        test::writeFile(folder / file, ByteVector{1, 2});
        made.push_back(file);
    }
    std::sort(made.begin(), made.end());
    made.erase(std::unique(made.begin(), made.end()), made.end());
    EXPECT_EQ(folder.names(), made) << "every name is one file in the folder";

    const QStringList listed =
        QDir(QString::fromStdString(folder.path())).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(static_cast<std::size_t>(listed.size()), made.size());
    for (const QString& name : listed) {
        QFile file(QString::fromStdString(folder.path()) + name);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(file.readAll().size(), 2) << name.toStdString();
    }
    EXPECT_EQ(platform::findFiles(folder.path(), "*.mid"),
              (std::vector<std::string>{folder / "_COM1.mid", folder / "\xC2\xB0SMF-002.mid"}));
}

TEST(SafeFileName, CardFileOfAnItemWithAHighByteIsNamedByTheSameRule) {
    ScratchFolder pc, card;
    ByteVector data(240, 3);
    test::writeFile(pc / "r.vdf",
                    test::singleItemFile(category::Registration, type::Registration, data));
    VdfData item(pc / "r.vdf");
    item.setName("\xB0REG:1\x85 ");
    CardData file(card.path(), item);
    EXPECT_EQ(file.name(), "\xC2\xB0REG_1_ ");
    EXPECT_EQ(file.path(), card.path() + "\xC2\xB0REG_1_ .z01");
    file.write();
    EXPECT_EQ(card.names(), std::vector<std::string>{"\xC2\xB0REG_1_ .z01"});
    const CardData listed(file.path());
    EXPECT_EQ(listed.name(), file.name());
    EXPECT_EQ(listed.extension(), ".z01");
}

// The " (2)" that keeps two items' files apart is a label only: a song file
// goes back under the name it was received with.
TEST(ReceivedFilePath, TheCopyNumberIsNoPartOfTheName) {
    const std::pair<std::string, std::string> stems[] = {
        {"SMF-002  (2)", "SMF-002 "},
        {"A (10)", "A"},
        {"A (999)", "A"},
        {"A (1)", "A (1)"},
        {"A (02)", "A (02)"},
        {"A (1000)", "A (1000)"},
        {"A(2)", "A(2)"},
        {"A (x)", "A (x)"},
        {" (2)", ""},
        {"(2)", "(2)"},
        {"A ()", "A ()"},
        {"A (2) ", "A (2) "},
    };
    for (const auto& [stem, name] : stems)
        EXPECT_EQ(withoutCopyNumber(stem), name) << stem;

    ScratchFolder folder;
    const std::string path = folder.path() + "/\xC2\xB0SMF-002  (2).mid";
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("MThd\0\0\0\6\0\0\0\1\0\x60", 14);
    file.close();
    EXPECT_EQ(VdfData(path).name(), "\xB0SMF-002 ");
}

} // namespace
} // namespace qel
