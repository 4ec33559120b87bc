#include "json/writer.h"

#include "store/utf8.h"

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

bool isPlain(unsigned char c) {
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\' && c != '&' && c != '<' && c != '>';
}

// An ASCII byte that is not copied as it stands.
void appendEscaped(std::string& out, unsigned char c) {
    switch (c) {
    case '"':
        out += "\\\"";
        return;
    case '\\':
        out += "\\\\";
        return;
    case 0x08:
        out += "\\b";
        return;
    case 0x09:
        out += "\\t";
        return;
    case 0x0A:
        out += "\\n";
        return;
    case 0x0C:
        out += "\\f";
        return;
    case 0x0D:
        out += "\\r";
        return;
    default:
        // Control bytes, and the characters that would let the text close an HTML element or
        // script block it is embedded in.
        if (c < 0x20 || c == '&' || c == '<' || c == '>') {
            out += "\\u00";
            out += hexDigits[c >> 4];
            out += hexDigits[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
}

} // namespace

std::string jsonString(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Bytes that need no escape are copied a run at a time.
        const std::size_t start = i;
        while (i < bytes.size() && isPlain(static_cast<unsigned char>(bytes[i])))
            ++i;
        out.append(bytes.substr(start, i - start));
        if (i == bytes.size()) break;
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            appendEscaped(out, c);
            ++i;
            continue;
        }
        const std::size_t n = utf8SequenceLength(bytes, i);
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
