#pragma once

// Item names as text: the command line and the report lines of the
// workflows show them so. A name is the keyboard's raw
// bytes, any value from 0x00 to 0xFF, read as Latin-1 (the same reading that
// gives file names their characters): 0xB0 is "°". A terminal must never get
// a name's control bytes, which could move the cursor, clear the screen or
// break a table's line, so text output escapes them.

#include <cstddef>
#include <string>
#include <string_view>

namespace qel {

// A name for a terminal, in UTF-8: the control bytes 0x00-0x1F, 0x7F and
// 0x80-0x9F become "\xHH" (lower-case hex, "\x1b"), a backslash becomes
// "\\", the bytes 0xA0-0xFF become their Latin-1 character (0xB0 gives the
// bytes C2 B0), and every other byte stays. The result holds no control byte.
std::string terminalName(std::string_view name);

// A name as characters, without escapes: every byte read as Latin-1 and
// written in UTF-8, control bytes and trailing spaces included. For output
// that quotes its strings itself, such as JSON.
std::string displayName(std::string_view name);

// The bytes as lower-case hex, two digits a byte: "AB\n" gives "41420a".
std::string hexBytes(std::string_view bytes);

// Text that is UTF-8 already (paths, messages), for a terminal: every valid
// UTF-8 character from U+00A0 up and every printable ASCII character stays;
// control bytes, the characters U+0080-U+009F and bytes that are no valid
// UTF-8 become "\xHH" for each of their bytes. A backslash stays: such text
// quotes names already escaped by terminalName().
std::string terminalText(std::string_view text);

// How many characters the terminal shows for UTF-8 `text`: one for each
// character, whatever its bytes.
std::size_t displayWidth(std::string_view text);

// UTF-8 `text` followed by spaces up to `width` characters.
std::string padded(std::string_view text, std::size_t width);

} // namespace qel
