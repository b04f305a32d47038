#include "core/Catalogue.h"

#include <string>

namespace qel {

std::optional<type::id> typeOfExactExtension(std::string_view extension) {
    for (int t = 0; t < type::count; ++t) {
        if (extension == typeExtensions[t])
            return static_cast<type::id>(t);
    }
    return std::nullopt;
}

std::optional<type::id> typeOfExtension(std::string_view extension) {
    std::string lower(extension);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return typeOfExactExtension(lower);
}

} // namespace qel
