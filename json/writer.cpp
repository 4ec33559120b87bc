#include "json/json.h"

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

bool isContinuation(unsigned char c) {
    return c >= 0x80 && c <= 0xBF;
}

// Length of the valid UTF-8 sequence starting at i, or 0 when none starts there.
std::size_t validSequence(std::string_view s, std::size_t i) {
    const auto at = [&](std::size_t k) -> unsigned char {
        return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0;
    };
    const unsigned char lead = at(0);
    if (lead >= 0xC2 && lead <= 0xDF) return isContinuation(at(1)) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!isContinuation(at(1)) || !isContinuation(at(2))) return 0;
        if (lead == 0xE0 && at(1) < 0xA0) return 0; // over-long form
        if (lead == 0xED && at(1) > 0x9F) return 0; // encoded UTF-16 surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!isContinuation(at(1)) || !isContinuation(at(2)) || !isContinuation(at(3))) return 0;
        if (lead == 0xF0 && at(1) < 0x90) return 0;
        if (lead == 0xF4 && at(1) > 0x8F) return 0;
        return 4;
    }
    return 0;
}

} // namespace

std::string jsonString(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case 0x08:
                out += "\\b";
                break;
            case 0x09:
                out += "\\t";
                break;
            case 0x0A:
                out += "\\n";
                break;
            case 0x0C:
                out += "\\f";
                break;
            case 0x0D:
                out += "\\r";
                break;
            default:
                // Control bytes, and the characters that would let the text close an HTML
                // element or script block it is embedded in.
                if (c < 0x20 || c == '&' || c == '<' || c == '>') {
                    out += "\\u00";
                    out += hexDigits[c >> 4];
                    out += hexDigits[c & 0xF];
                } else {
                    out += static_cast<char>(c);
                }
            }
            ++i;
            continue;
        }
        const std::size_t n = validSequence(bytes, i);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
        } else if (n == 3 && c == 0xE2 && static_cast<unsigned char>(bytes[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(bytes[i + 2]) & 0xFE) == 0xA8) {
            // Line and paragraph separators end a line in script source.
            out += bytes[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 3;
        } else {
            out.append(bytes.substr(i, n));
            i += n;
        }
    }
    out += '"';
    return out;
}

std::string jsonInt(std::int64_t value) {
    return std::to_string(value);
}
