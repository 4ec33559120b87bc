#include "store/unicode_case.h"

#include "store/utf8.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

struct CaseRun {
    std::uint16_t first, last, step;
    std::int32_t delta;
};

constexpr CaseRun caseRuns[] = {
#include "store/case_table.inc"
};

} // namespace

char16_t upcaseUnit(char16_t c) {
    if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
    // The last run that starts at or before c.
    const auto after = std::upper_bound(std::begin(caseRuns), std::end(caseRuns), c,
                                        [](char16_t unit, const CaseRun& run) { return unit < run.first; });
    if (after == std::begin(caseRuns)) return c;
    const CaseRun& run = *std::prev(after);
    if (c > run.last || (c - run.first) % run.step != 0) return c;
    return static_cast<char16_t>(c + run.delta);
}

std::wstring upcased(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) {
        if (static_cast<std::uint32_t>(c) >> 16 != 0) continue;
        c = static_cast<wchar_t>(upcaseUnit(static_cast<char16_t>(c)));
    }
    return out;
}

std::u16string utf16Of(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        const std::size_t n = utf8SequenceLength(utf8, i);
        if (n == 0) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        std::uint32_t code = lead & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += n;
    }
    return out;
}
