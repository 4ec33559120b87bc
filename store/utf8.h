// UTF-8 well-formedness, as the JSON writer and the text drawing both judge it.
#pragma once

#include <cstddef>
#include <string_view>

// Bytes of the well-formed sequence starting at text[i] (2 to 4), or 0 when none starts there:
// no over-long forms, no UTF-16 surrogates, nothing beyond U+10FFFF, nothing cut short.
inline std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) -> unsigned char {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    };
    const auto continuation = [&](std::size_t k) { return at(k) >= 0x80 && at(k) <= 0xBF; };
    const unsigned char lead = at(0);
    if (lead >= 0xC2 && lead <= 0xDF) return continuation(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!continuation(1) || !continuation(2)) return 0;
        if ((lead == 0xE0 && at(1) < 0xA0) || (lead == 0xED && at(1) > 0x9F)) return 0;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!continuation(1) || !continuation(2) || !continuation(3)) return 0;
        if ((lead == 0xF0 && at(1) < 0x90) || (lead == 0xF4 && at(1) > 0x8F)) return 0;
        return 4;
    }
    return 0;
}
