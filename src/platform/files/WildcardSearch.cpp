#include "platform/files/WildcardSearch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace qel::platform {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    // Iterative match with one backtrack point: linear in practice, and never
    // exponential on patterns with many stars.
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> findFiles(const std::string& folder, std::string_view pattern) {
    std::vector<std::string> found;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error)
        return found;
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error)
            break;
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        const std::string name = it->path().filename().string();
        if (wildcardMatch(pattern, name))
            found.push_back(prefix + name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace qel::platform
