// The JSON reader for the manifest and the launcher's own state files.
//
// The reader is strict about syntax and keeps numbers as their source text: nothing is
// converted until getInt asks for an integer, so there is no floating point anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct JsonMember;

struct JsonValue {
    enum Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Null;
    bool boolValue = false;
    std::string text; // String: decoded bytes; Number: the source text as written
    std::vector<JsonValue> items;
    std::vector<JsonMember> members; // document order, duplicates kept
};

struct JsonMember {
    std::string key;
    JsonValue value;
};

// The state of one parse over a document that outlives it.
struct JsonParser {
    explicit JsonParser(std::string_view document) : input(document) {}

    std::string_view input;
    std::uint64_t pos = 0;
    std::int32_t depth = 0;
};

// Deepest nesting a document may have, counting the top-level value.
inline constexpr std::int32_t maxJsonDepth = 10000;

// Skips whitespace and parses exactly one value at pos, leaving pos just past it. Bytes after
// the value are not examined. On false, value and pos are unspecified.
bool parseValue(JsonParser& parser, JsonValue& value);

// Parses a whole document: one value followed by nothing but whitespace.
bool parseDocument(std::string_view document, JsonValue& value);

// Skips whitespace and tells the first character of the next value; '\0' at the end.
char peekValue(JsonParser& parser);
// Skips whitespace and parses the object at pos one member at a time, never holding it whole:
// onMember gets each key (it may take it) with pos at the member's value, and must parse
// exactly that value (with parseValue or these functions) or return false. False when the
// object is malformed, is not an object, or onMember returned false.
bool parseMembers(JsonParser& parser, const std::function<bool(std::string& key, JsonParser&)>& onMember);
// The same for the items of an array.
bool parseItems(JsonParser& parser, const std::function<bool(JsonParser&)>& onItem);
// True when only whitespace is left.
bool atDocumentEnd(JsonParser& parser);

// The last member whose key equals key with ASCII letters folded; nullptr when none.
const JsonValue* findMember(const JsonValue& object, std::string_view key);

// The integer a Number value holds; false for any other value or one out of range.
bool intValue(const JsonValue& value, std::int64_t& out);

// Reads an optional integer member. A missing or null member returns true and leaves out
// unchanged; a non-integer or out-of-range value returns false.
bool getInt(const JsonValue& object, std::string_view key, std::int64_t& out);
