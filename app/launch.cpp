#include "app/launch.h"

std::wstring quoteArgument(const std::wstring& text) {
    if (text.empty()) return L"\"\"";
    if (text.find_first_of(L" \t\"\\") == std::wstring::npos) return text;
    const bool wrap = text.find_first_of(L" \t") != std::wstring::npos;
    std::wstring out;
    if (wrap) out += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
        } else {
            // A run of n backslashes before a quote becomes 2n + 1 and the quote.
            if (c == L'"') out.append(backslashes + 1, L'\\');
            backslashes = 0;
        }
        out += c;
    }
    if (wrap) {
        out.append(backslashes, L'\\'); // doubled before the closing quote
        out += L'"';
    }
    return out;
}
