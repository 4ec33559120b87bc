#include "store/rolling.h"

#include <gtest/gtest.h>

namespace {

std::string pattern(std::size_t size) {
    std::string s(size, '\0');
    std::uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 23);
    }
    return s;
}

std::string repeat(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

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

// Scans old for the windows of wanted: what the scan offered, and what of it was wanted.
struct Scan {
    std::size_t offered = 0, taken = 0;
};
Scan scan(const std::string& old, std::size_t window, const std::vector<std::string>& wanted) {
    std::vector<std::uint64_t> sums;
    for (const std::string& w : wanted)
        sums.push_back(rollingSum(w));
    Scan s;
    rollOver(
        std::int64_t(old.size()), window, SumFilter(sums),
        [&](std::int64_t at, char* data, std::size_t length) {
            old.copy(data, length, static_cast<std::size_t>(at));
            return true;
        },
        [&](std::uint64_t, const char* bytes, std::int64_t) {
            ++s.offered;
            for (const std::string& w : wanted) {
                if (w.compare(0, window, bytes, window) == 0) {
                    ++s.taken;
                    return WindowSeen::taken;
                }
            }
            return WindowSeen::missed;
        },
        [] { return true; });
    return s;
}

TEST(Rolling, WindowsThatRepeatCostABoundedNumberOfDigests) {
    // Bytes that repeat with a period dividing the window give every such window the same sum.
    constexpr std::size_t window = 65536;
    std::string page = pattern(4096);
    std::string rgba;
    for (int i = 0; i < 1024; ++i)
        rgba += "\x12\x34\x56\xFF";
    const struct {
        const char* name;
        std::string old, wanted;
    } rows[] = {
        {"zeros for 0xFF", std::string(4 * window + 16384, '\0'), std::string(window, '\xFF')},
        {"0xFF for zeros", std::string(4 * window + 16384, '\xFF'), std::string(window, '\0')},
        {"a page for zeros", repeat(page, 68), std::string(window, '\0')},
        {"a colour for a page", repeat(rgba, 68), repeat(page, 16)},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(rollingSum(row.wanted), rollingSum(row.old.substr(0, window))) << row.name;
        const Scan s = scan(row.old, window, {row.wanted});
        EXPECT_LE(s.offered * window, 3 * row.old.size()) << row.name;
        // Wanted bytes after the run are still found where a chunk stands in place.
        const std::string then = row.old.substr(0, 4 * window) + row.wanted;
        EXPECT_EQ(scan(then, window, {row.wanted}).taken, 1u) << row.name;
    }
}

TEST(Rolling, AScanStopsAtTheFirstMissAfterItIsCalledOff) {
    // Every window's sum is wanted and every window misses: a scan that only looked before its
    // reads would hash a window at every offset before it noticed.
    constexpr std::size_t window = 4096;
    const std::string old = pattern(1 << 20);
    std::vector<std::uint64_t> sums;
    RollingHash hash(window);
    hash.extend(old.data(), window);
    for (std::size_t at = 0; at + window < old.size(); ++at) {
        sums.push_back(hash.value());
        hash.roll(static_cast<unsigned char>(old[at]), static_cast<unsigned char>(old[at + window]));
    }
    int asked = 0, offered = 0;
    rollOver(
        std::int64_t(old.size()), window, SumFilter(sums),
        [&](std::int64_t at, char* data, std::size_t length) {
            old.copy(data, length, static_cast<std::size_t>(at));
            return true;
        },
        [&](std::uint64_t, const char*, std::int64_t) {
            ++offered;
            return WindowSeen::missed;
        },
        [&] { return ++asked < 3; });
    EXPECT_EQ(offered, 2);
}

} // namespace
