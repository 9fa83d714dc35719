// ASCII letter case: the only case folding the updater does. Bytes of non-ASCII characters
// (UTF-8 or a double-byte code page) are never letters, so they always compare exactly.
#pragma once

#include <string>
#include <string_view>

namespace ascii {

constexpr char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

inline std::string upperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upper(c);
    return out;
}

inline std::string lowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lower(c);
    return out;
}

}  // namespace ascii
