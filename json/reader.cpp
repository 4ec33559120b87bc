#include "json/reader.h"

#include "store/ascii.h"
#include "store/text.h"

#include <limits>

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void skipSpace(JsonParser& p) {
    while (p.pos < p.input.size() && isSpace(p.input[p.pos]))
        ++p.pos;
}

bool atEnd(const JsonParser& p) {
    return p.pos >= p.input.size();
}

char current(const JsonParser& p) {
    return p.input[p.pos];
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads the four hex digits of a \u escape starting at index at; -1 when they are not there.
long readUnit(std::string_view in, std::uint64_t at) {
    if (at + 4 > in.size()) return -1;
    long unit = 0;
    for (std::uint64_t i = at; i < at + 4; ++i) {
        const int digit = hexValue(in[i]);
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

constexpr char32_t replacementChar = 0xFFFD;

// pos is just past the backslash and the 'u'.
bool parseUnicodeEscape(JsonParser& p, std::string& out) {
    const long unit = readUnit(p.input, p.pos);
    if (unit < 0) return false;
    p.pos += 4;
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        appendUtf8(out, replacementChar);
    } else if (unit >= 0xD800 && unit <= 0xDBFF) {
        // Only a well-formed low-surrogate escape completes the pair; anything else is read
        // again on its own after the replacement character.
        const std::string_view in = p.input;
        if (p.pos + 6 <= in.size() && in[p.pos] == '\\' && in[p.pos + 1] == 'u') {
            const long low = readUnit(in, p.pos + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, static_cast<char32_t>(0x10000 + (unit - 0xD800) * 0x400 + (low - 0xDC00)));
                p.pos += 6;
                return true;
            }
        }
        appendUtf8(out, replacementChar);
    } else {
        appendUtf8(out, static_cast<char32_t>(unit));
    }
    return true;
}

// pos is at the opening quote.
[[gnu::noinline]] bool parseString(JsonParser& p, std::string& out) {
    ++p.pos;
    for (;;) {
        if (atEnd(p)) return false;
        // Plain bytes are copied a run at a time.
        const std::uint64_t start = p.pos;
        while (!atEnd(p) && current(p) != '"' && current(p) != '\\' &&
               static_cast<unsigned char>(current(p)) >= 0x20) {
            ++p.pos;
        }
        out.append(p.input.substr(start, p.pos - start));
        if (atEnd(p)) return false;
        const unsigned char c = static_cast<unsigned char>(current(p));
        ++p.pos;
        if (c == '"') return true;
        if (c < 0x20) return false;
        if (atEnd(p)) return false;
        const char e = current(p);
        ++p.pos;
        switch (e) {
        case '"':
            out += '"';
            break;
        case '\\':
            out += '\\';
            break;
        case '/':
            out += '/';
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u':
            if (!parseUnicodeEscape(p, out)) return false;
            break;
        default:
            return false;
        }
    }
}

bool skipDigits(JsonParser& p) {
    const std::uint64_t start = p.pos;
    while (!atEnd(p) && isDigit(current(p)))
        ++p.pos;
    return p.pos > start;
}

[[gnu::noinline]] bool parseNumber(JsonParser& p, JsonValue& v) {
    const std::uint64_t start = p.pos;
    if (!atEnd(p) && current(p) == '-') ++p.pos;
    if (atEnd(p) || !isDigit(current(p))) return false;
    if (current(p) == '0') {
        ++p.pos; // a leading zero ends the integer part
    } else {
        skipDigits(p);
    }
    if (!atEnd(p) && current(p) == '.') {
        ++p.pos;
        if (!skipDigits(p)) return false;
    }
    if (!atEnd(p) && (current(p) == 'e' || current(p) == 'E')) {
        ++p.pos;
        if (!atEnd(p) && (current(p) == '+' || current(p) == '-')) ++p.pos;
        if (!skipDigits(p)) return false;
    }
    v.kind = JsonValue::Number;
    v.text.assign(p.input.substr(start, p.pos - start));
    return true;
}

bool parseLiteral(JsonParser& p, std::string_view word) {
    if (p.input.substr(p.pos, word.size()) != word) return false;
    p.pos += word.size();
    return true;
}

// The recursion runs through parseValue, dispatch and these two, so they are kept out of
// line and small, and elements are parsed in place at the back of their container: no
// JsonValue lives on the stack, and 10000 levels fit a thread's stack even under sanitizers.
template <class T> [[gnu::noinline]] T& appendNew(std::vector<T>& list) {
    return list.emplace_back();
}

// The items of the array at pos (at its '['): onItem parses each one.
template <class OnItem> bool forEachItem(JsonParser& p, OnItem&& onItem) {
    ++p.pos;
    skipSpace(p);
    if (!atEnd(p) && current(p) == ']') {
        ++p.pos;
        return true;
    }
    for (;;) {
        if (!onItem()) return false;
        skipSpace(p);
        if (atEnd(p)) return false;
        const char c = current(p);
        ++p.pos;
        if (c == ']') return true;
        if (c != ',') return false;
    }
}

// The members of the object at pos (at its '{'): key() gives the string each key is read
// into, and onValue() parses the value after it.
template <class Key, class OnValue> bool forEachMember(JsonParser& p, Key&& key, OnValue&& onValue) {
    ++p.pos;
    skipSpace(p);
    if (!atEnd(p) && current(p) == '}') {
        ++p.pos;
        return true;
    }
    for (;;) {
        skipSpace(p);
        if (atEnd(p) || current(p) != '"') return false;
        if (!parseString(p, key())) return false;
        skipSpace(p);
        if (atEnd(p) || current(p) != ':') return false;
        ++p.pos;
        if (!onValue()) return false;
        skipSpace(p);
        if (atEnd(p)) return false;
        const char c = current(p);
        ++p.pos;
        if (c == '}') return true;
        if (c != ',') return false;
    }
}

[[gnu::noinline]] bool parseArray(JsonParser& p, JsonValue& v) {
    v.kind = JsonValue::Array;
    return forEachItem(p, [&] { return parseValue(p, appendNew(v.items)); });
}

[[gnu::noinline]] bool parseObject(JsonParser& p, JsonValue& v) {
    v.kind = JsonValue::Object;
    return forEachMember(
        p, [&]() -> std::string& { return appendNew(v.members).key; },
        [&] { return parseValue(p, v.members.back().value); });
}

bool dispatch(JsonParser& p, JsonValue& v) {
    skipSpace(p);
    if (atEnd(p)) return false;
    switch (current(p)) {
    case '"':
        v.kind = JsonValue::String;
        return parseString(p, v.text);
    case '[':
        return parseArray(p, v);
    case '{':
        return parseObject(p, v);
    case 't':
        v.kind = JsonValue::Bool;
        v.boolValue = true;
        return parseLiteral(p, "true");
    case 'f':
        v.kind = JsonValue::Bool;
        return parseLiteral(p, "false");
    case 'n':
        return parseLiteral(p, "null");
    default:
        return parseNumber(p, v);
    }
}

} // namespace

bool parseValue(JsonParser& parser, JsonValue& value) {
    if (++parser.depth > maxJsonDepth) return false;
    const bool ok = dispatch(parser, value);
    --parser.depth;
    return ok;
}

bool parseDocument(std::string_view document, JsonValue& value) {
    JsonParser parser(document);
    if (!parseValue(parser, value)) return false;
    skipSpace(parser);
    return atEnd(parser);
}

char peekValue(JsonParser& parser) {
    skipSpace(parser);
    return atEnd(parser) ? '\0' : current(parser);
}

bool parseMembers(JsonParser& parser, const std::function<bool(std::string& key, JsonParser&)>& onMember) {
    if (peekValue(parser) != '{' || ++parser.depth > maxJsonDepth) return false;
    std::string key;
    const bool ok = forEachMember(
        parser,
        [&]() -> std::string& {
            key.clear();
            return key;
        },
        [&] { return onMember(key, parser); });
    --parser.depth;
    return ok;
}

bool parseItems(JsonParser& parser, const std::function<bool(JsonParser&)>& onItem) {
    if (peekValue(parser) != '[' || ++parser.depth > maxJsonDepth) return false;
    const bool ok = forEachItem(parser, [&] { return onItem(parser); });
    --parser.depth;
    return ok;
}

bool atDocumentEnd(JsonParser& parser) {
    skipSpace(parser);
    return atEnd(parser);
}

const JsonValue* findMember(const JsonValue& object, std::string_view key) {
    const JsonValue* found = nullptr;
    for (const auto& [name, value] : object.members) {
        if (equalsFoldingAscii(name, key)) found = &value; // the last match wins
    }
    return found;
}

bool getInt(const JsonValue& object, std::string_view key, std::int64_t& out) {
    const JsonValue* v = findMember(object, key);
    return !v || v->kind == JsonValue::Null || intValue(*v, out);
}

bool intValue(const JsonValue& value, std::int64_t& out) {
    if (value.kind != JsonValue::Number) return false;
    std::string_view digits = value.text;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (negative) digits.remove_prefix(1);
    if (digits.empty()) return false;

    constexpr std::uint64_t maxU = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t magnitude = 0;
    for (const char c : digits) {
        if (!isDigit(c)) return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (magnitude > (maxU - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
    }

    constexpr std::uint64_t limit = std::uint64_t{1} << 63;
    if (negative) {
        if (magnitude > limit) return false;
        // Negate in unsigned arithmetic so that -2^63 needs no signed overflow.
        out = static_cast<std::int64_t>(~magnitude + 1);
    } else {
        if (magnitude > limit - 1) return false;
        out = static_cast<std::int64_t>(magnitude);
    }
    return true;
}
