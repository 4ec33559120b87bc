#include "store/rolling.h"

#include <gtest/gtest.h>

namespace {

TEST(Rolling, ARolledWindowHasTheSumOfItsBytes) {
    std::string data;
    for (int i = 0; i < 300; ++i)
        data += static_cast<char>(i * 7919 % 251);
    // Windows of every length modulo 64 around a rotation, rolled over the whole text.
    for (const std::size_t window : {1u, 63u, 64u, 65u, 130u}) {
        RollingHash hash(window);
        hash.extend(data.data(), window);
        for (std::size_t at = 1; at + window <= data.size(); ++at) {
            hash.roll(static_cast<unsigned char>(data[at - 1]),
                      static_cast<unsigned char>(data[at + window - 1]));
            ASSERT_EQ(hash.value(), rollingSum(std::string_view(data).substr(at, window)))
                << window << " " << at;
        }
    }
}

TEST(Rolling, TheManifestTextIsEightDigitsAChunk) {
    const std::vector<std::uint64_t> sums = {0x0123456700000000ULL, 0, 0xFFFFFFFF00000000ULL};
    const std::string text = rollingText(sums);
    EXPECT_EQ(text, "0123456700000000ffffffff");
    std::vector<std::uint64_t> back;
    EXPECT_TRUE(parseRollingText(text, 3, back));
    EXPECT_EQ(back, sums);
    for (const std::string& bad : {text.substr(0, 23), text.substr(0, 16), std::string("0123ABCD")})
        EXPECT_FALSE(parseRollingText(bad, bad.size() == 8 ? 1 : 3, back)) << bad;
}

} // namespace
