// Comparisons that fold only the ASCII letters A-Z, as the launcher's formats and the old
// install's names are matched.
#pragma once

#include <cstddef>
#include <string_view>

inline char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool equalsFoldingAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    }
    return true;
}

inline bool startsWithFoldingAscii(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsFoldingAscii(text.substr(0, prefix.size()), prefix);
}
