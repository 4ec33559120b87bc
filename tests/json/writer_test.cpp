#include "json/reader.h"
#include "json/writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct StringCase {
    std::string input;
    std::string literal;
};

TEST(JsonWriter, StringEscapesAndRepairs) {
    const StringCase cases[] = {
        {"", R"("")"},
        {R"(C:\Games\x)", R"("C:\\Games\\x")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"</>", R"("\u003c/\u003e")"},
        {"a&b", R"("a\u0026b")"},
        {"\x7F\x1F", "\"\x7F\\u001f\""},
        {std::string("\0", 1), R"("\u0000")"},
        {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
        {"\xC3\xA9", "\"\xC3\xA9\""},
        {"\xE9", R"("\ufffd")"},
        {"\xE2\x82", R"("\ufffd\ufffd")"},
        {"\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},
        {"\xE0\x80\xAF", R"("\ufffd\ufffd\ufffd")"}, // over-long
        {"\xE2\x82\xAC", "\"\xE2\x82\xAC\""},
        {"\xE2\x80\xA8|\xE2\x80\xA9", R"("\u2028|\u2029")"},
        {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
        {"\xF4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},
        {"\xF0\x8F\xBF\xBF", R"("\ufffd\ufffd\ufffd\ufffd")"},
        {"\xF4\x8F\xBF\xBF", "\"\xF4\x8F\xBF\xBF\""},
        {"\xC0\xAF\xC1\xF5\xFF", R"("\ufffd\ufffd\ufffd\ufffd\ufffd")"},
        {"\xF0\x9F\x98", R"("\ufffd\ufffd\ufffd")"}, // cut at the end of the input
        {"/", R"("/")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(jsonString(c.input), c.literal) << "input: " << c.input;
}

TEST(JsonWriter, EveryByteStringRoundTripsThroughTheReaderWhenValid) {
    // All single bytes and all two-byte pairs: the literal always parses, and valid UTF-8
    // comes back unchanged.
    for (int a = 0; a < 256; ++a) {
        for (int b = -1; b < 256; ++b) {
            std::string s(1, static_cast<char>(a));
            if (b >= 0) s += static_cast<char>(b);
            JsonValue v;
            ASSERT_TRUE(parseDocument(jsonString(s), v)) << a << " " << b;
            const bool ascii = a < 0x80 && b < 0x80;
            const bool twoByte = a >= 0xC2 && a <= 0xDF && b >= 0x80 && b <= 0xBF;
            if (ascii || twoByte) {
                EXPECT_EQ(v.text, s) << a << " " << b;
            }
        }
    }
}

TEST(JsonWriter, Integers) {
    EXPECT_EQ(jsonInt(0), "0");
    EXPECT_EQ(jsonInt(-1), "-1");
    EXPECT_EQ(jsonInt(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(jsonInt(INT64_MAX), "9223372036854775807");
}

} // namespace
