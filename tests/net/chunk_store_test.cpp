#include "net/chunk_store.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const std::string sha(64, 'a');

TEST(ChunkStore, AStoredChunkUnpacksToItsSizeExactlyOrNotAtAll) {
    const std::string text(50000, 'x'), noise = [] {
        std::mt19937 rng(3);
        std::string s(3000, '\0');
        for (char& c : s)
            c = static_cast<char>(rng());
        return s;
    }();
    std::string out;
    const std::string packed = encodeChunk(text, 6), raw = encodeChunk(noise, 6);
    EXPECT_EQ(packed[0], 'z');
    EXPECT_LT(packed.size(), 1000u);
    EXPECT_EQ(raw, 'r' + noise); // compressing made it no smaller
    ASSERT_TRUE(decodeChunk(packed, 50000, out));
    EXPECT_EQ(out, text);
    ASSERT_TRUE(decodeChunk(raw, 3000, out));
    EXPECT_EQ(out, noise);

    std::string flipped = packed;
    flipped[3] = static_cast<char>(flipped[3] ^ 0x55);
    const struct {
        const char* name;
        std::string stored;
        std::int64_t size;
    } refused[] = {
        {"past its size", packed, 49999},
        {"short of its size", packed, 50001},
        {"truncated", packed.substr(0, packed.size() - 2), 50000},
        {"trailing bytes", packed + "junk", 50000},
        {"raw of another size", raw, 2999},
        {"unknown coding", 'x' + noise, 3000},
        {"empty", "", 0},
    };
    for (const auto& r : refused)
        EXPECT_FALSE(decodeChunk(r.stored, r.size, out)) << r.name;
    EXPECT_FALSE(decodeChunk(flipped, 50000, out) && out == text);
}

TEST(ChunkStore, AnIndexListsItsFileExactly) {
    const std::vector<StoredChunk> chunks{{sha, 100, "p/" + sha, 0, 60},
                                          {std::string(64, 'b'), 50, "c/" + sha, 0, 51}};
    const std::string text = serializeIndex(chunks);
    std::vector<StoredChunk> read;
    ASSERT_FALSE(parseIndex(text, 150, 1000, read).failed);
    EXPECT_EQ(read, chunks);
    EXPECT_EQ(singleChunk(sha, 9), (StoredChunk{sha, 9, "c/" + sha, 0, 10}));
    const std::string line = storedChunkLine(chunks[0]);
    const std::string header = "vellumark index 1\n";
    for (const std::string& bad : {
             text.substr(1),                                             // no header
             header + line.substr(0, line.size() - 1),                   // no line feed
             header + sha + " 100 p/../x 0 60\n",                        // an object outside the store
             header + sha + " 100 p/" + sha + " 0 102\n",                // stored longer than it can be
             header + sha + " 0100 p/" + sha + " 0 60\n",                // two spellings of a number
             header + sha + " 1001 p/" + sha + " 0 60\n",                // over the largest chunk
             header + std::string(64, 'A') + " 100 p/" + sha + " 0 60\n" // not a digest
         }) {
        EXPECT_TRUE(parseIndex(bad, 100, 1000, read).failed) << bad;
    }
    EXPECT_TRUE(parseIndex(text, 149, 1000, read).failed); // the sizes must add up to the file
    EXPECT_TRUE(parseIndex(text, 151, 1000, read).failed);
}

} // namespace
