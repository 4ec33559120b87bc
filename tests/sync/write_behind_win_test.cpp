#include "sync/write_behind.h"

#include "base/threads.h"

#include <gtest/gtest.h>

// Blocks hashed on the thread, or where handed over when no thread starts, make the digest of
// the bytes in the order they were written, whatever the pieces' sizes.
TEST(HashBehind, DigestOfEveryBlockInOrder) {
    std::string bytes(3 * HashBehind::blockSize + 12345, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 4093);
    Sha256 whole;
    whole.update(bytes.data(), bytes.size());
    const std::string expected = whole.finishHex();
    for (const int allowed : {-1, 0}) {
        threadStartsAllowed = allowed;
        HashBehind digest(std::ssize(bytes));
        for (std::size_t at = 0, piece = 1; at < bytes.size(); piece = piece * 3 % 1000003 + 1) {
            std::vector<char>& block = digest.block();
            const std::size_t n = std::min({piece, bytes.size() - at, HashBehind::blockSize - block.size()});
            block.insert(block.end(), bytes.data() + at, bytes.data() + at + n);
            at += n;
            if (block.size() == HashBehind::blockSize) digest.handOver();
        }
        EXPECT_EQ(digest.finishHex(), expected) << allowed;
        threadStartsAllowed = -1;
    }
}
