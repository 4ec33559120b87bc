#include "json/reader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DocCase {
    std::string input;
    bool ok;
};

TEST(JsonReader, WholeDocumentsAcceptedAndRejected) {
    const DocCase cases[] = {
        {"{}", true},         {" \t\r\n[] \n", true}, {"[1,2,]", false},     {"[1 2]", false},
        {"{\"a\" 1}", false}, {"{a:1}", false},       {"{\"a\":1,}", false}, {"[,1]", false},
        {"", false},          {"   ", false},         {"-", false},          {"1.", false},
        {".5", false},        {"+1", false},          {"1e", false},         {"1e+", false},
        {"-01", false}, // 0 then a stray 1
        {"1.5e-3", true},     {"-0", true},           {"\"\\x\"", false},    {"\"abc", false},
        {"\"\\u12\"", false}, {"\"\\u12g4\"", false}, {"tru", false},        {"nul", false},
        {"[\"a\"\v]", false}, // vertical tab is not whitespace
        {"\"a\tb\"", false},  // raw control byte in a string
        {"\"\\", false},
    };
    for (const auto& c : cases) {
        JsonValue v;
        EXPECT_EQ(parseDocument(c.input, v), c.ok) << "input: " << c.input;
    }
}

struct StringCase {
    std::string input;
    std::string decoded;
};

TEST(JsonReader, StringsDecodeEscapesAndKeepRawBytes) {
    const StringCase cases[] = {
        {R"("a\u00e9")", "a\xC3\xA9"},
        {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
        {R"("\ud83d x")", "\xEF\xBF\xBD x"},
        {R"("\udc00")", "\xEF\xBF\xBD"},
        {R"("\ud83d\u0041")", "\xEF\xBF\xBD"
                              "A"}, // a high surrogate before a non-low unit
        {R"("\ud83d\ud83d\ude00")", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
        {R"("\u0000")", std::string(1, '\0')},
        {R"("\u07FF\u0800")", "\xDF\xBF\xE0\xA0\x80"},
        {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
        {"\"\xC3\xA9\"", "\xC3\xA9"},
        {"\"\xFF\"", "\xFF"},
    };
    for (const auto& c : cases) {
        JsonValue v;
        ASSERT_TRUE(parseDocument(c.input, v)) << "input: " << c.input;
        EXPECT_EQ(v.kind, JsonValue::String) << "input: " << c.input;
        EXPECT_EQ(v.text, c.decoded) << "input: " << c.input;
    }
}

TEST(JsonReader, HighSurrogateBeforeBadEscapeFailsOnTheEscape) {
    JsonValue v;
    EXPECT_FALSE(parseDocument(R"("\ud83d\u12")", v));
    EXPECT_FALSE(parseDocument(R"("\ud83d\q")", v));
}

TEST(JsonReader, NumbersKeepTheirSourceText) {
    for (const std::string text :
         {"0", "-0", "12.50", "1E+400", "-123456789012345678901234567890", "0.0e-0"}) {
        JsonValue v;
        ASSERT_TRUE(parseDocument(text, v)) << text;
        EXPECT_EQ(v.kind, JsonValue::Number) << text;
        EXPECT_EQ(v.text, text);
    }
}

TEST(JsonReader, ValueLeavesTrailingBytesToTheCaller) {
    JsonParser p("truex");
    JsonValue v;
    ASSERT_TRUE(parseValue(p, v));
    EXPECT_EQ(v.kind, JsonValue::Bool);
    EXPECT_TRUE(v.boolValue);
    EXPECT_EQ(p.pos, 4u);

    JsonParser zero("01");
    ASSERT_TRUE(parseValue(zero, v));
    EXPECT_EQ(v.text, "0");
    EXPECT_EQ(zero.pos, 1u);

    JsonParser inArray("[truex]");
    EXPECT_FALSE(parseValue(inArray, v));
}

TEST(JsonReader, TreeKeepsDocumentOrderAndDuplicates) {
    JsonValue v;
    ASSERT_TRUE(parseDocument(R"({"b":[1,null,false],"a":{},"b":"x"})", v));
    ASSERT_EQ(v.kind, JsonValue::Object);
    ASSERT_EQ(v.members.size(), 3u);
    EXPECT_EQ(v.members[0].key, "b");
    ASSERT_EQ(v.members[0].value.items.size(), 3u);
    EXPECT_EQ(v.members[0].value.items[0].text, "1");
    EXPECT_EQ(v.members[0].value.items[1].kind, JsonValue::Null);
    EXPECT_EQ(v.members[0].value.items[2].kind, JsonValue::Bool);
    EXPECT_FALSE(v.members[0].value.items[2].boolValue);
    EXPECT_EQ(v.members[1].value.kind, JsonValue::Object);
    EXPECT_TRUE(v.members[1].value.members.empty());
    EXPECT_EQ(v.members[2].value.text, "x");
}

TEST(JsonReader, NestingLimitIsTenThousandLevels) {
    const auto nested = [](int levels) { return std::string(levels, '[') + std::string(levels, ']'); };
    JsonValue v;
    EXPECT_TRUE(parseDocument(nested(maxJsonDepth), v));
    EXPECT_FALSE(parseDocument(nested(maxJsonDepth + 1), v));
    EXPECT_FALSE(parseDocument(std::string(100000, '['), v));
    // Objects count the same way, and the innermost number is a level of its own.
    const auto objects = [](int levels) {
        std::string s;
        for (int i = 1; i < levels; ++i)
            s += "{\"k\":";
        return s + "1" + std::string(levels - 1, '}');
    };
    EXPECT_TRUE(parseDocument(objects(maxJsonDepth), v));
    EXPECT_FALSE(parseDocument(objects(maxJsonDepth + 1), v));
}

TEST(JsonReader, FindMemberFoldsAsciiCaseAndTakesTheLastMatch) {
    JsonValue v;
    ASSERT_TRUE(parseDocument(R"({"size":1,"SIZE":2,"baseUrl":"u","\u00c9":3})", v));
    ASSERT_NE(findMember(v, "size"), nullptr);
    EXPECT_EQ(findMember(v, "size")->text, "2");
    ASSERT_NE(findMember(v, "baseurl"), nullptr);
    EXPECT_EQ(findMember(v, "baseurl")->text, "u");
    EXPECT_EQ(findMember(v, "siz"), nullptr);
    EXPECT_EQ(findMember(v, "\xC3\xA9"), nullptr); // only A-Z fold
}

struct IntCase {
    std::string member; // the JSON text of "size", empty for none
    bool ok;
    std::int64_t out;
};

TEST(JsonReader, GetIntAcceptsOnlyInt64Integers) {
    constexpr std::int64_t unchanged = 77;
    const IntCase cases[] = {
        {"", true, unchanged},
        {"null", true, unchanged},
        {"12.0", false, unchanged},
        {"1e3", false, unchanged},
        {"\"12\"", false, unchanged},
        {"true", false, unchanged},
        {"9223372036854775807", true, INT64_MAX},
        {"-9223372036854775808", true, INT64_MIN},
        {"9223372036854775808", false, unchanged},
        {"-9223372036854775809", false, unchanged},
        {"18446744073709551615", false, unchanged},
        {"18446744073709551616", false, unchanged},
        {"99999999999999999999999", false, unchanged},
        {"-0", true, 0},
        {"42", true, 42},
    };
    for (const auto& c : cases) {
        JsonValue v;
        const std::string doc = c.member.empty() ? "{}" : "{\"size\":" + c.member + "}";
        ASSERT_TRUE(parseDocument(doc, v)) << doc;
        std::int64_t out = unchanged;
        EXPECT_EQ(getInt(v, "size", out), c.ok) << doc;
        EXPECT_EQ(out, c.out) << doc;
    }
}

} // namespace
