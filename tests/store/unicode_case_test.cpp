#include "store/hex.h"
#include "store/text.h"
#include "store/unicode_case.h"

#include <gtest/gtest.h>

namespace {

TEST(UnicodeCase, Utf16OfUtf8) {
    EXPECT_EQ(utf16Of("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), u"a\u00E9\u20AC\U0001F600");
    EXPECT_EQ(utf16Of("\xFF"
                      "a\xC3"),
              u"\uFFFDa\uFFFD");
}

TEST(UnicodeCase, Utf8OfWideText) {
    EXPECT_EQ(toUtf8(L"a\u00E9\u20AC\U0001F600"), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(toUtf8(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x"),
              "\xEF\xBF\xBDx"); // a lone surrogate
}

TEST(Hex, RoundTripAndRefusals) {
    const std::uint8_t bytes[] = {0x00, 0x7f, 0xff, 0x10};
    EXPECT_EQ(hexText(bytes, 4), "007fff10");
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(parseHex("007fff10", back));
    EXPECT_EQ(back, std::vector<std::uint8_t>(bytes, bytes + 4));
    for (const char* bad : {"0", "0g", "AB", "0 "})
        EXPECT_FALSE(parseHex(bad, back)) << bad;
}

} // namespace
