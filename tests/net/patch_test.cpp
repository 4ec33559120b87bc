#include "net/chunk_store.h"
#include "net/patch.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const std::string oldSha(64, 'a'), newSha(64, 'b');

std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

std::string words(std::size_t count, unsigned seed) {
    static const char* const vocabulary[] = {"function", "return", "const", "value", "(",
                                             ")",        "{",      "}",     ";",     "if"};
    std::mt19937 rng(seed);
    std::string s;
    for (std::size_t i = 0; i < count; ++i)
        s += std::string(vocabulary[rng() % 10]) + ' ';
    return s;
}

// Applies a patch to old in memory, as the launcher does to files; written holds what came out
// even when the patch fails, and never grows past the header's size.
PatchResult apply(const std::string& patch, const std::string& old, std::string& written) {
    PatchHeader header;
    written.clear();
    const PatchIo io{[&](std::int64_t at, char* data, std::size_t size) {
                         if (at < 0 || at + static_cast<std::int64_t>(size) > std::ssize(old)) return false;
                         old.copy(data, size, static_cast<std::size_t>(at));
                         return true;
                     },
                     [&](const char* data, std::size_t size) {
                         written.append(data, size);
                         return !readPatchHeader(patch, header) || std::ssize(written) <= header.newSize;
                     },
                     [&](std::string_view& whole) {
                         whole = old;
                         return true;
                     }};
    return applyPatch(patch, io);
}

TEST(Patch, TheNewFileComesBackFromItsOldOneAndEditsCostTheirBytes) {
    const std::string text = words(100000, 1), blob = noise(300000, 2);
    std::string edited = text;
    for (std::size_t at = 1000; at + 10 < edited.size(); at += edited.size() / 9)
        edited.replace(at, 6, "EDITED!"); // scattered, one byte longer each
    const std::string moved = blob.substr(150000) + noise(500, 3) + blob.substr(0, 150000);
    const struct {
        const char* name;
        std::string old, next;
        std::size_t most; // bytes the patch may take
    } cases[] = {
        {"scattered edits in text", text, edited, 600},
        {"halves swapped with an insertion", blob, moved, 1200},
        {"unchanged", blob, blob, 200},
        {"from nothing", "", text.substr(0, 5000), 5000},
        {"to nothing", text, "", 200},
        {"shorter than a block", "abc", "abd", 200},
    };
    for (const auto& c : cases) {
        // Both codings, and the smaller of the two.
        const std::string prefixed = makePrefixedPatch(c.old, c.next, oldSha, newSha, 9),
                          copies = makeCopyPatch(c.old, c.next, oldSha, newSha, 9);
        EXPECT_EQ(makePatch(c.old, c.next, oldSha, newSha, 9).size(),
                  std::min(prefixed.size(), copies.size()));
        for (const std::string& patch : {prefixed, copies}) {
            PatchHeader header;
            ASSERT_TRUE(readPatchHeader(patch, header)) << c.name;
            EXPECT_EQ(header.oldSha256, oldSha);
            EXPECT_EQ(header.newSize, std::ssize(c.next));
            std::string out;
            EXPECT_EQ(apply(patch, c.old, out), PatchResult::Ok) << c.name << ' ' << patch[patchHeaderSize];
            EXPECT_EQ(out, c.next) << c.name;
            EXPECT_LE(patch.size(), c.most) << c.name << ' ' << patch[patchHeaderSize];
        }
    }
}

// The patch with the sizes in its header replaced.
std::string withSizes(std::string patch, std::int64_t oldSize, std::int64_t newSize) {
    for (int i = 0; i < 8; ++i) {
        patch[patchHeaderSize - 16 + i] = static_cast<char>(static_cast<std::uint64_t>(oldSize) >> (8 * i));
        patch[patchHeaderSize - 8 + i] = static_cast<char>(static_cast<std::uint64_t>(newSize) >> (8 * i));
    }
    return patch;
}

// A stream of operations, written by hand, under a header of the given sizes.
std::string handMade(std::int64_t oldSize, std::int64_t newSize, const std::string& ops,
                     bool deflated = false) {
    std::string patch = makeCopyPatch(std::string(static_cast<std::size_t>(oldSize), 'o'),
                                      std::string(static_cast<std::size_t>(newSize), 'n'), oldSha, newSha, 9);
    patch.resize(patchHeaderSize);
    return patch + (deflated ? encodeChunk(ops, 9) : 'r' + ops);
}

TEST(Patch, AHostileOrBrokenPatchIsRefusedWithinTheOldFileAndTheListedSize) {
    const std::string old(100, 'o');
    std::string repeated("\x04\x00", 2); // two bytes copied fifty times over
    for (int i = 0; i < 49; ++i)
        repeated += "\x04\x03";
    const std::string deflated = handMade(100, 100, repeated, true);
    ASSERT_EQ(deflated[patchHeaderSize], 'z');
    // A frame made against 100 bytes more than the old file: its matches reach before it.
    const std::string wider = noise(100, 4) + old, next = wider.substr(0, 100) + "tail";
    const std::string prefixed = makePrefixedPatch(old, next, oldSha, newSha, 9);
    ASSERT_EQ(prefixed[patchHeaderSize], 'p');
    const struct {
        const char* name;
        std::string patch;
        PatchResult expected;
    } cases[] = {
        {"a copy before the old file", handMade(100, 10, std::string("\x14\x01", 2)),
         PatchResult::OutsideOld},
        {"a copy past its end", handMade(100, 10, std::string("\x14\xb6\x01", 3)), PatchResult::OutsideOld},
        {"a copy the header's old size allows but the file does not",
         handMade(1000, 10, std::string("\x14\xa0\x0f", 3)), PatchResult::ReadFailed},
        {"literals past the size", handMade(100, 4, "\x0bxxxxx"), PatchResult::PastSize},
        {"a huge length", handMade(100, 4, "\xff\xff\xff\xff\xff\xff\xff\xff\x7f"), PatchResult::PastSize},
        {"short of the size", handMade(100, 6, "\x0bxxxxx"), PatchResult::ShortOfSize},
        {"literals cut short", handMade(100, 5, "\x0bxx"), PatchResult::Corrupt},
        {"an empty operation", handMade(100, 0, std::string("\x01", 1)), PatchResult::Corrupt},
        {"a varint past 64 bits", handMade(100, 5, std::string(11, '\x80')), PatchResult::Corrupt},
        {"bytes after the deflated stream", deflated + "x", PatchResult::Corrupt},
        {"a deflated stream cut short", deflated.substr(0, deflated.size() - 2), PatchResult::Corrupt},
        {"an unknown coding", handMade(100, 0, "").substr(0, patchHeaderSize) + "q", PatchResult::Corrupt},
        {"no header", "vellumark patch 1\n", PatchResult::Corrupt},
        {"a frame with copies before the old file",
         withSizes(makePrefixedPatch(wider, next, oldSha, newSha, 9), 100, std::ssize(next)),
         PatchResult::Corrupt},
        {"a frame naming more than the size", withSizes(prefixed, 100, 103), PatchResult::PastSize},
        {"a frame naming less than the size", withSizes(prefixed, 100, 105), PatchResult::ShortOfSize},
        {"bytes after the frame", prefixed + "x", PatchResult::Corrupt},
        {"a frame cut short", prefixed.substr(0, prefixed.size() - 2), PatchResult::Corrupt},
        {"a frame for a file past the bound", withSizes(prefixed, maxPrefixedFile + 1, 104),
         PatchResult::Corrupt},
        {"a frame for another old size", withSizes(prefixed, 99, 104), PatchResult::ReadFailed},
    };
    std::string out;
    EXPECT_EQ(apply(deflated, old, out), PatchResult::Ok);
    EXPECT_EQ(apply(prefixed, old, out), PatchResult::Ok);
    EXPECT_EQ(out, next);
    for (const auto& c : cases) {
        EXPECT_EQ(apply(c.patch, old, out), c.expected) << c.name;
        PatchHeader header;
        if (readPatchHeader(c.patch, header)) {
            EXPECT_LE(std::ssize(out), header.newSize) << c.name;
        }
    }
}

} // namespace
