#include "platform/files/SafeFileName.h"

namespace qel {

std::string safeFileName(const std::string& name) {
    std::string safe = name;
    for (char& c : safe) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\')
            c = '_';
    }
    return safe;
}

} // namespace qel
