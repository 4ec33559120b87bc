#include "store/cdc.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

namespace {

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(rng());
    return out;
}

std::vector<std::string> cut(const Chunking& c, const std::string& data, std::size_t piece) {
    std::vector<std::string> chunks;
    ChunkCutter cutter(c);
    const auto take = [&](const char* bytes, std::size_t n) { chunks.emplace_back(bytes, n); };
    for (std::size_t at = 0; at < data.size(); at += piece)
        cutter.feed(data.data() + at, std::min(piece, data.size() - at), take);
    cutter.finish(take);
    return chunks;
}

TEST(Cdc, CutsDependOnTheBytesAloneAndAnEditMovesOnlyTheCutsNearIt) {
    const Chunking c{4096, 16384, 65536};
    const std::string data = randomBytes(2 << 20, 1);
    const std::vector<std::string> whole = cut(c, data, data.size());
    // However the stream is fed, the chunks are the same, and cover it within the bounds.
    EXPECT_EQ(cut(c, data, 1000), whole);
    EXPECT_EQ(cut(c, data, 1 << 20), whole);
    std::string joined;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        joined += whole[i];
        EXPECT_LE(whole[i].size(), 65536u);
        if (i + 1 < whole.size()) {
            EXPECT_GE(whole[i].size(), 4096u);
        }
    }
    EXPECT_EQ(joined, data);
    EXPECT_NEAR(static_cast<double>(data.size()) / static_cast<double>(whole.size()), 16384.0, 6000.0);

    // Bytes inserted and bytes overwritten in three places: all but a few chunks stay.
    std::string edited = data;
    edited.insert(300000, "inserted bytes");
    edited.replace(900000, 5, "EDIT!");
    edited.erase(1500000, 777);
    const std::vector<std::string> after = cut(c, edited, 65536);
    const std::set<std::string> before(whole.begin(), whole.end());
    std::size_t fresh = 0;
    for (const std::string& chunk : after)
        fresh += !before.contains(chunk);
    EXPECT_LE(fresh, 6u);

    EXPECT_TRUE(validChunking(c, 64 << 20));
    for (const Chunking bad : {Chunking{0, 16384, 65536}, Chunking{4096, 10000, 65536},
                               Chunking{4096, 65536, 16384}, Chunking{4096, 16384, 128 << 20}})
        EXPECT_FALSE(validChunking(bad, 64 << 20));
}

} // namespace
