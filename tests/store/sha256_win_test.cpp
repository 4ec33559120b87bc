#include "store/files.h"
#include "store/handle.h"
#include "store/sha256.h"
#include "store/text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace {

std::string digestOf(const std::string& bytes) {
    Sha256 h;
    h.update(bytes.data(), bytes.size());
    return h.finishHex();
}

TEST(Sha256, Fips180Vectors) {
    EXPECT_EQ(digestOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(digestOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, PiecewiseUpdatesEqualOneUpdate) {
    std::string data(100000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    Sha256 h;
    for (std::size_t at = 0; at < data.size(); at += 333)
        h.update(data.data() + at, std::min<std::size_t>(333, data.size() - at));
    EXPECT_EQ(h.finishHex(), digestOf(data));
}

// The files and their sha256sum lines are made before this test by tests/store/make_hash_files.
TEST(Sha256, HashFileMatchesSha256sum) {
    const std::wstring dir = toWide(HASH_FILES_DIR);
    std::string sums;
    ASSERT_TRUE(readWholeFile(joinPath(dir, L"SHA256SUMS"), sums)) << HASH_FILES_DIR;
    std::istringstream lines(sums);
    int checked = 0;
    for (std::string digest, name; lines >> digest >> name; ++checked) {
        if (name.front() == '*') name.erase(0, 1);
        std::string got;
        ASSERT_TRUE(hashFile(joinPath(dir, toWide(name)), got)) << name;
        EXPECT_EQ(got, digest) << name;
    }
    EXPECT_EQ(checked, 6);
}

TEST(Sha256, HashFileOfMissingAndOfWriteOpenFiles) {
    TempDir dir;
    std::string digest = "unchanged";
    EXPECT_FALSE(hashFile(dir / L"missing", digest));
    EXPECT_EQ(digest, "unchanged");

    const std::wstring file = dir / L"busy.bin";
    ASSERT_FALSE(writeWholeFile(file, "abc").failed);
    FileHandle writer(
        CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer.valid());
    ASSERT_TRUE(hashFile(file, digest));
    EXPECT_EQ(digest, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256, HashFileOfALongPath) {
    TempDir dir;
    const std::wstring folder = joinPath(dir / std::wstring(120, L'a'), std::wstring(120, L'b'));
    std::wstring failed;
    ASSERT_EQ(makeDirs(folder, failed), 0u);
    const std::wstring file = joinPath(folder, L"abc.txt");
    ASSERT_GE(file.size(), 240u);
    ASSERT_FALSE(writeWholeFile(file, "abc").failed);
    std::string digest;
    ASSERT_TRUE(hashFile(file, digest));
    EXPECT_EQ(digest, digestOf("abc"));
}

TEST(Sha256, VerifyRangeChecksChunksIncludingTheShortLastOne) {
    TempDir dir;
    const std::wstring file = dir / L"chunked.bin";
    const std::int64_t chunk = 1572864; // 1.5 MiB: more than one read per chunk
    std::string data(4 * chunk + 1234, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 2654435761u) >> 13);
    ASSERT_FALSE(writeWholeFile(file, data).failed);
    FileHandle h(
        CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(h.valid());

    const auto size = static_cast<std::int64_t>(data.size());
    for (std::int64_t start = 0; start < size; start += chunk) {
        const std::int64_t length = std::min(chunk, size - start);
        const std::string expected = digestOf(data.substr(start, length));
        EXPECT_TRUE(verifyRange(h.get(), start, length, expected)) << start;
        EXPECT_FALSE(verifyRange(h.get(), start, length, digestOf(data.substr(start, length - 1)))) << start;
    }
    // The last chunk read as a full-size one runs past the end of the file.
    const std::int64_t last = 4 * chunk;
    EXPECT_FALSE(verifyRange(h.get(), last, chunk, digestOf(data.substr(last))));
    EXPECT_FALSE(verifyRange(h.get(), size, 10, digestOf("")));
    // No bytes at all compare the digest of nothing; upper-case digests never match.
    EXPECT_TRUE(verifyRange(h.get(), 0, 0, digestOf("")));
    std::string upper = digestOf(data.substr(0, chunk));
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_FALSE(verifyRange(h.get(), 0, chunk, upper));
}

} // namespace
