// How the command line writes item names: escaped for a terminal, as plain
// characters and as hex for JSON, and in the slot table's columns.

#include "core/NameText.h"

#include "cli/SlotTable.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using namespace std::string_literals;

// Fails for any byte a terminal could act on: C0 controls, DEL, and the
// UTF-8 forms of U+0080-U+009F.
void expectNoControlBytes(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        EXPECT_FALSE(byte < 0x20 || byte == 0x7F) << "byte " << i << " of " << text;
        if (byte == 0xC2 && i + 1 < text.size()) {
            EXPECT_GE(static_cast<unsigned char>(text[i + 1]), 0xA0)
                << "byte " << i << " of " << text;
        }
    }
}

TEST(TerminalName, EscapesControlBytesAndBackslashAndReadsTheRestAsLatin1) {
    const std::pair<std::string, std::string> cases[] = {
        {"DEMO RH1", "DEMO RH1"},
        {"ABC     ", "ABC     "}, // padding stays
        {"", ""},
        {"\x1b[2J"s, "\\x1b[2J"},
        {"A\0B"s, "A\\x00B"},
        {"\r\n\t"s, "\\x0d\\x0a\\x09"},
        {"\x1f \x7f"s, "\\x1f \\x7f"},
        {"\x80\x9b\x9f"s, "\\x80\\x9b\\x9f"}, // Latin-1's own controls, 0x9B a terminal's CSI
        {"\xa0"s, "\xc2\xa0"s},
        {"\xb0SMF-002"s, "\xc2\xb0SMF-002"s},
        {"\xe9\xff"s, "\xc3\xa9\xc3\xbf"s},
        {"A\\x1b"s, "A\\\\x1b"s}, // a backslash in the name cannot pass for an escape
        {"~}|{"s, "~}|{"s},
    };
    for (const auto& [name, shown] : cases) {
        EXPECT_EQ(terminalName(name), shown) << hexBytes(name);
        expectNoControlBytes(terminalName(name));
    }
}

TEST(TerminalName, EveryByteValueComesOutWithoutControlBytes) {
    std::string every;
    for (int byte = 0; byte < 256; ++byte)
        every += static_cast<char>(byte);
    const std::string shown = terminalName(every);
    expectNoControlBytes(shown);
    // 65 controls as \xHH, the backslash doubled, 94 other ASCII, 96 Latin-1 characters.
    EXPECT_EQ(displayWidth(shown), 65u * 4 + 2 + 94 + 96);
}

TEST(DisplayName, IsEveryByteAsLatin1WithoutEscapes) {
    EXPECT_EQ(displayName("\0\x1b\n\xb0\xff\\  "s), "\0\x1b\n\xc2\xb0\xc3\xbf\\  "s);
    EXPECT_EQ(displayName("DEMO TN1"), "DEMO TN1");
    EXPECT_EQ(displayName(""), "");
}

TEST(HexBytes, TwoLowerCaseDigitsAByte) {
    EXPECT_EQ(hexBytes("AB\0\n    "s), "4142000a20202020");
    EXPECT_EQ(hexBytes("\x1b\xb0\xff\x7f"s), "1bb0ff7f");
    EXPECT_EQ(hexBytes(""), "");
}

TEST(TerminalText, KeepsValidUtf8AndEscapesEverythingElse) {
    const std::pair<std::string, std::string> cases[] = {
        {"/home/j\xc3\xbcrgen/DEMO RH1.vdf"s, "/home/j\xc3\xbcrgen/DEMO RH1.vdf"s},
        {"\xc2\xb0SMF-002.mid"s, "\xc2\xb0SMF-002.mid"s},
        {"\xf0\x9f\x8e\xb9"s, "\xf0\x9f\x8e\xb9"s}, // four bytes, U+1F3B9
        {"\xe2\x82\xac"s, "\xe2\x82\xac"s},         // three, U+20AC
        {"a\x1b[0mb"s, "a\\x1b[0mb"s},
        {"line\nnext"s, "line\\x0anext"s},
        {"C:\\x"s, "C:\\x"s},                           // names in it are escaped already
        {"\xc2\x85\xc2\x9b"s, "\\xc2\\x85\\xc2\\x9b"s}, // U+0085 and U+009B are controls
        {"\xb0"s, "\\xb0"s},                            // a lone Latin-1 byte is no UTF-8
        {"\xc3"s, "\\xc3"s},                            // cut short
        {"\xc3(x"s, "\\xc3(x"s},                        // no continuation byte
        {"\xc0\xaf"s, "\\xc0\\xaf"s},                   // overlong '/'
        {"\xe0\x80\xaf"s, "\\xe0\\x80\\xaf"s},          // overlong, three bytes
        {"\xed\xa0\x80"s, "\\xed\\xa0\\x80"s},          // a surrogate
        {"\xf4\x90\x80\x80"s, "\\xf4\\x90\\x80\\x80"s}, // above U+10FFFF
        {"\xff\xfe"s, "\\xff\\xfe"s},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(terminalText(text), shown) << hexBytes(text);
        expectNoControlBytes(terminalText(text));
    }
}

TEST(DisplayWidth, CountsCharactersNotBytes) {
    EXPECT_EQ(displayWidth("\xc2\xb0SMF"), 4u);
    EXPECT_EQ(displayWidth("\xf0\x9f\x8e\xb9!"), 2u);
    EXPECT_EQ(padded("\xc2\xb0", 3), "\xc2\xb0  ");
    EXPECT_EQ(padded("TOO WIDE", 3), "TOO WIDE");
}

KbdDataAttributePtr slot(std::uint16_t position, std::string name, std::int32_t size) {
    auto item = std::make_shared<KbdDataAttribute>();
    item->position = position;
    item->name = std::move(name);
    item->size = size;
    return item;
}

TEST(SlotTable, ColumnsLineUpByTheCharactersShown) {
    const std::string table =
        cli::slotTable({slot(140, "DEMO RH1", 300), slot(141, "\xb0SMF-002"s, 7),
                        slot(142, "A\0\x1b\n\xb0\xff\\ "s, 1234)});
    // The widest escaped name, "A\x00\x1b\x0a°ÿ\\ ", is 18 characters.
    const std::string expected = "   140  DEMO RH1" + std::string(17, ' ') + "300\n" +
                                 "   141  \xc2\xb0SMF-002" + std::string(19, ' ') + "7\n" +
                                 "   142  A\\x00\\x1b\\x0a\xc2\xb0\xc3\xbf\\\\" +
                                 std::string(7, ' ') + "1234\n";
    EXPECT_EQ(table, expected);
    std::size_t lines = 0;
    for (std::size_t start = 0; start < table.size(); ++lines) {
        const std::size_t end = table.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(displayWidth(table.substr(start, end - start)), 36u) << lines;
        expectNoControlBytes(table.substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(lines, 3u);
    EXPECT_EQ(cli::slotTable({slot(600, "DEMO TN1", 70)}), "   600  DEMO TN1        70\n");
}

} // namespace
} // namespace qel
