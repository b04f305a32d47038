#include "platform/files/SafeFileName.h"

#include <array>
#include <string_view>

namespace qel {
namespace {

bool isReplaced(unsigned char byte) {
    constexpr std::string_view forbidden = "/\\?*:\"<>|";
    return byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0) ||
           forbidden.find(static_cast<char>(byte)) != std::string_view::npos;
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether the part before the first '.' is a device name of Windows, which
// opens the device instead of a file even with an extension after it. Spaces
// and dots at its end do not make it a different name there.
bool isDeviceName(const std::string& name) {
    std::string_view base(name);
    base = base.substr(0, base.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    std::string key;
    for (char c : base)
        key += upper(c);
    static constexpr std::array<std::string_view, 4> plain = {"CON", "PRN", "AUX", "NUL"};
    for (std::string_view device : plain)
        if (key == device)
            return true;
    return key.size() == 4 && (key.compare(0, 3, "COM") == 0 || key.compare(0, 3, "LPT") == 0) &&
           key[3] >= '1' && key[3] <= '9';
}

} // namespace

std::string safeFileName(const std::string& name) {
    std::string safe;
    safe.reserve(name.size() + 2);
    if (isDeviceName(name))
        safe += '_';
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (isReplaced(byte)) {
            safe += '_';
        } else if (byte >= 0x80) {
            safe += static_cast<char>(0xC0 | byte >> 6);
            safe += static_cast<char>(0x80 | (byte & 0x3F));
        } else {
            safe += c;
        }
    }
    if (safe.empty())
        return "_";
    if (safe.back() == '.' || safe.back() == ' ')
        safe.back() = '_';
    if (safe.front() == '.')
        safe.front() = '_'; // a hidden file would vanish from the lists
    return safe;
}

std::string nameFromFileName(const std::string& fileName) {
    std::string name;
    name.reserve(fileName.size());
    for (std::size_t i = 0; i < fileName.size(); ++i) {
        const auto lead = static_cast<unsigned char>(fileName[i]);
        const auto next = i + 1 < fileName.size() ? static_cast<unsigned char>(fileName[i + 1]) : 0;
        // C2 and C3 lead exactly the two-byte forms of U+0080-U+00FF.
        if ((lead == 0xC2 || lead == 0xC3) && (next & 0xC0) == 0x80) {
            name += static_cast<char>((lead & 0x03) << 6 | (next & 0x3F));
            ++i;
        } else {
            name += fileName[i];
        }
    }
    return name;
}

} // namespace qel
