#include "net/chunk_store.h"
#include "net/solid.h"

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

TEST(SolidObjects, UnpackToTheirListedSizeExactlyOrNotAtAll) {
    std::string raw;
    for (int i = 0; i < 4000; ++i)
        raw += "chunk " + std::to_string(i % 97) + ";";
    const std::string stored = compressSolid(raw, 9);
    ASSERT_FALSE(stored.empty());
    EXPECT_LT(stored.size() * 4, raw.size());
    std::string out;
    ASSERT_TRUE(decompressSolid(stored, static_cast<std::int64_t>(raw.size()), out));
    EXPECT_EQ(out, raw);
    const auto size = static_cast<std::int64_t>(raw.size());
    const struct {
        const char* name;
        std::string stored;
        std::int64_t size;
    } refused[] = {
        {"short of its listed size", stored, size + 1},
        {"past its listed size", stored, size - 1},
        {"truncated", stored.substr(0, stored.size() - 3), size},
        {"trailing bytes", stored + stored, size},
        {"not a frame", std::string(100, 'x'), size},
        {"over the largest object", compressSolid(std::string(maxSolidRaw + 1, 'a'), 1), maxSolidRaw + 1},
    };
    for (const auto& r : refused)
        EXPECT_FALSE(decompressSolid(r.stored, r.size, out)) << r.name;
}

TEST(SolidObjects, AListNamesEachObjectAndItsChunks) {
    const std::string b(64, 'b'), c(64, 'c'), f(64, 'f');
    // Files of one chunk are listed by their place in the manifest.
    std::vector<ManifestFile> files(4);
    files[1].sha256 = c, files[1].size = 30, files[3].sha256 = b, files[3].size = 50;
    const std::vector<SolidObject> objects{
        {"s/" + sha,
         140,
         {{f, 100, {}, 0, 0}, {b, 50, {}, 0, 0}},
         {-1, 3}},                                                       // a digest may start as a file does
        {"s/" + b, 9, {{c, 30, {}, 0, 0}, {b, 50, {}, 0, 0}}, {1, -1}}}; // the second chunk b: a repeat
    const std::string text = serializeSolidList(objects);
    EXPECT_NE(text.find("\n+4\n"), std::string::npos) << text;
    std::vector<SolidObject> read;
    ASSERT_FALSE(parseSolidList(text, 1000, files, read).failed) << text;
    EXPECT_EQ(read[0], objects[0]);
    EXPECT_EQ(read[1].chunks, objects[1].chunks);
    EXPECT_EQ(read[0].rawSize(), 150);
    const std::string header = "vellumark solid 1\n";
    for (const std::string& bad : {
             text.substr(1),                                               // no header
             header + "s/" + sha + " 120 2\n" + sha + " 100\n",            // fewer chunks than named
             header + "c/" + sha + " 120 1\n" + sha + " 100\n",            // not a solid object
             header + "s/" + sha + " 2000 1\n" + sha + " 100\n",           // stored far past its size
             header + "s/" + sha + " 120 1\n" + sha + " 1001\n",           // over the largest chunk
             header + "s/" + sha + " 120 1\n" + sha + " 100",              // no line feed
             header + "s/" + sha + " 0120 1\n" + sha + " 100\n",           // two spellings of a number
             header + "s/" + sha + " 120 1\n" + sha.substr(1) + "A 100\n", // not a digest
             header + "s/" + sha + " 120 1\n+5\n",                         // past the manifest's files
             header + "s/" + sha + " 120 2\n+2\n+0\n",                     // a file named twice
             header + "s/" + sha + " 120 1\n+1\n",                         // a file of no bytes
         }) {
        EXPECT_TRUE(parseSolidList(bad, 1000, files, read).failed) << bad;
    }
    // Objects that add up past what a launcher unpacks at once.
    std::string large = header + "s/" + sha + " 100 20\n";
    for (int i = 0; i < 20; ++i)
        large += sha + " " + std::to_string(maxSolidRaw / 16) + "\n";
    EXPECT_TRUE(parseSolidList(large, maxSolidRaw, files, read).failed);
}

} // namespace
