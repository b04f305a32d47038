#include "core/NameText.h"

namespace qel {

namespace {

constexpr std::string_view hexDigits = "0123456789abcdef";

void appendEscaped(std::string& out, unsigned char byte) {
    out += "\\x";
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0x0F];
}

void appendLatin1(std::string& out, unsigned char byte) {
    if (byte < 0x80) {
        out += static_cast<char>(byte);
        return;
    }
    out += static_cast<char>(0xC0 | byte >> 6);
    out += static_cast<char>(0x80 | (byte & 0x3F));
}

bool isControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0);
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 character that starts `text`, 0 when none
// does: no overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t utf8Length(std::string_view text) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!isContinuation(at(i)))
            return 0;
    return length;
}

} // namespace

std::string terminalName(std::string_view name) {
    std::string out;
    out.reserve(name.size() * 2);
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (isControl(byte))
            appendEscaped(out, byte);
        else if (byte == '\\')
            out += "\\\\";
        else
            appendLatin1(out, byte);
    }
    return out;
}

std::string displayName(std::string_view name) {
    std::string out;
    out.reserve(name.size() * 2);
    for (char c : name)
        appendLatin1(out, static_cast<unsigned char>(c));
    return out;
}

std::string hexBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += hexDigits[byte >> 4];
        out += hexDigits[byte & 0x0F];
    }
    return out;
}

std::string terminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto lead = static_cast<unsigned char>(text.front());
        const std::size_t length = utf8Length(text);
        // C2 80 to C2 9F are the characters U+0080-U+009F, controls as well.
        const bool control =
            length == 1 ? isControl(lead)
                        : length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0;
        if (length == 0) {
            appendEscaped(out, lead);
            text.remove_prefix(1);
            continue;
        }
        if (control)
            for (std::size_t i = 0; i < length; ++i)
                appendEscaped(out, static_cast<unsigned char>(text[i]));
        else
            out += text.substr(0, length);
        text.remove_prefix(length);
    }
    return out;
}

std::size_t displayWidth(std::string_view text) {
    std::size_t width = 0;
    for (char c : text)
        if (!isContinuation(static_cast<unsigned char>(c)))
            ++width;
    return width;
}

std::string padded(std::string_view text, std::size_t width) {
    std::string out(text);
    const std::size_t shown = displayWidth(text);
    if (shown < width)
        out.append(width - shown, ' ');
    return out;
}

} // namespace qel
