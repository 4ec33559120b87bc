#include "store/file_error.h"
#include "store/files.h"
#include "store/handle.h"
#include "store/holders.h"
#include "store/paths.h"
#include "store/text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// A path below dir that is at least length units long, through nested folders of 50 units.
std::wstring longPathIn(const std::wstring& dir, std::size_t length) {
    std::wstring p = dir;
    while (p.size() + 51 < length)
        p = joinPath(p, std::wstring(50, L'd'));
    return joinPath(p, std::wstring(std::max<std::size_t>(length - p.size() - 1, 10), L'f'));
}

TEST(Files, LongPathsWorkThroughEveryHelper) {
    TempDir dir;
    for (const std::size_t length : {240u, 300u, 600u}) {
        const std::wstring file = longPathIn(dir.path(), length);
        ASSERT_GE(file.size(), length);
        const std::wstring folder = file.substr(0, file.find_last_of(L'\\'));
        std::wstring failed;
        ASSERT_EQ(makeDirs(folder, failed), 0u) << toUtf8(folder);
        ASSERT_FALSE(writeWholeFile(file, "long").failed) << toUtf8(file);
        std::string bytes;
        ASSERT_TRUE(readWholeFile(file, bytes));
        EXPECT_EQ(bytes, "long");
        std::int64_t size = -1;
        ASSERT_TRUE(fileInfo(file, &size));
        EXPECT_EQ(size, 4);
        EXPECT_EQ(removePath(file), 0u);
        EXPECT_FALSE(fileInfo(file));
    }
}

TEST(Files, RemovePathHandlesReadOnlyFilesAndDirectories) {
    TempDir dir;
    const std::wstring file = dir / L"locked.bin";
    ASSERT_FALSE(writeWholeFile(file, "x").failed);
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(removePath(file), 0u);
    EXPECT_FALSE(fileInfo(file));

    const std::wstring empty = dir / L"empty";
    const std::wstring full = dir / L"full";
    std::wstring failed;
    ASSERT_EQ(makeDirs(empty, failed), 0u);
    ASSERT_EQ(makeDirs(full, failed), 0u);
    ASSERT_FALSE(writeWholeFile(joinPath(full, L"f"), "y").failed);
    EXPECT_EQ(removePath(empty), 0u);
    EXPECT_EQ(removePath(full), static_cast<std::uint32_t>(ERROR_DIR_NOT_EMPTY));
    EXPECT_NE(removePath(dir / L"missing"), 0u);
}

TEST(Files, MakeDirsReportsTheFolderItCouldNotMake) {
    TempDir dir;
    const std::wstring blocker = dir / L"file";
    ASSERT_FALSE(writeWholeFile(blocker, "f").failed);
    std::wstring failed;
    EXPECT_EQ(makeDirs(joinPath(blocker, LR"(a\b)"), failed),
              static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(failed, blocker);

    const std::wstring nested = dir / LR"(x\y\z)";
    failed.clear();
    EXPECT_EQ(makeDirs(nested, failed), 0u);
    bool isDir = false;
    EXPECT_TRUE(fileInfo(nested, nullptr, nullptr, &isDir));
    EXPECT_TRUE(isDir);
    EXPECT_EQ(makeDirs(nested, failed), 0u); // exists already
    EXPECT_TRUE(failed.empty());
}

TEST(Files, WriteIntoMissingFolderFailsAtOpen) {
    TempDir dir;
    const std::wstring file = dir / LR"(missing\f.txt)";
    const FileError e = writeWholeFile(file, "data");
    EXPECT_EQ(e.code, static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(e.failed);
    EXPECT_TRUE(e.detailed);
    EXPECT_EQ(e.op, "open");
    EXPECT_EQ(e.path, toUtf8(file));
    EXPECT_EQ(e.sysMessage, systemText(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(e.message, "open " + toUtf8(file) + ": " + systemText(ERROR_PATH_NOT_FOUND));
}

TEST(Files, WholeFilesRoundTripAndReplaceInPlace) {
    TempDir dir;
    const std::wstring file = dir / L"data.bin";
    std::string big(3 * 1048576 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 131 + 7);
    ASSERT_FALSE(writeWholeFile(file, big).failed);
    std::string back;
    ASSERT_TRUE(readWholeFile(file, back));
    EXPECT_EQ(back, big);
    ASSERT_FALSE(writeWholeFile(file, "short").failed);
    ASSERT_TRUE(readWholeFile(file, back));
    EXPECT_EQ(back, "short");
    ASSERT_FALSE(writeWholeFile(file, "").failed);
    ASSERT_TRUE(readWholeFile(file, back));
    EXPECT_EQ(back, "");
    EXPECT_FALSE(readWholeFile(dir / L"absent", back));
}

TEST(Files, FileInfoGivesSizeAndWriteTimeSince1970) {
    TempDir dir;
    const std::wstring file = dir / L"t.bin";
    ASSERT_FALSE(writeWholeFile(file, "12345").failed);
    FileHandle h(CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(h.valid());
    // 2001-09-09 01:46:40 UTC is 10^9 seconds after 1970.
    const std::uint64_t ticks = 116444736000000000ull + 1000000000ull * 10000000ull + 3;
    FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    ASSERT_TRUE(SetFileTime(h.get(), nullptr, nullptr, &ft));
    h.reset();

    std::int64_t size = 0, mtime = 0;
    bool isDir = true;
    ASSERT_TRUE(fileInfo(file, &size, &mtime, &isDir));
    EXPECT_EQ(size, 5);
    EXPECT_EQ(mtime, 1000000000000000300);
    EXPECT_FALSE(isDir);
    EXPECT_EQ(fileTimeToUnixNanos(0), static_cast<std::int64_t>(0x5E6684F4B3960000ull)); // wraps past -2^63
}

TEST(Files, ListDirectorySortsByUtf8Bytes) {
    TempDir dir;
    // UTF-16 order would put U+FF21 (fullwidth A) before the astral letter; UTF-8 order is the reverse.
    const std::wstring names[] = {L"b", L"C", L"a", L"ab", L"\u00e9", L"\uff21", L"\U0001d400", L"Z z"};
    for (const auto& n : names)
        ASSERT_FALSE(writeWholeFile(dir / n, "").failed) << toUtf8(n);
    std::wstring failed;
    ASSERT_EQ(makeDirs(dir / L"sub", failed), 0u);

    std::vector<DirEntry> entries;
    ASSERT_TRUE(listDirectory(dir.path(), entries));
    std::vector<std::string> got;
    for (const auto& e : entries)
        got.push_back(toUtf8(e.name) + (e.isDir ? "/" : ""));
    const std::vector<std::string> expected = {
        "C", "Z z", "a", "ab", "b", "sub/", "\xC3\xA9", "\xEF\xBC\xA1", "\xF0\x9D\x90\x80"};
    EXPECT_EQ(got, expected);

    ASSERT_EQ(makeDirs(dir / L"void", failed), 0u);
    EXPECT_TRUE(listDirectory(dir / L"void", entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(listDirectory(dir / L"nowhere", entries));
}

TEST(Files, SystemTextFallsBackToTheNumber) {
    EXPECT_EQ(systemText(4294967295u), "winapi error #4294967295");
    EXPECT_FALSE(systemText(ERROR_ACCESS_DENIED).empty());
    const std::string text = systemText(ERROR_FILE_NOT_FOUND);
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
}

TEST(Files, AskingWhoHoldsALockedFileIsSafe) {
    // The Restart Manager is asked about a file this process holds without sharing: it must
    // answer (under Wine it may know nothing) without naming this process, and the failure
    // text keeps the system's sentence first.
    TempDir dir;
    const std::wstring path = dir / L"locked.pak";
    ASSERT_FALSE(writeWholeFile(path, "x").failed);
    FileHandle held(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    const std::vector<std::string> holders = programsHolding({path, dir / L"absent.pak"});
    for (const std::string& name : holders)
        EXPECT_EQ(name.find("store_win_test"), std::string::npos) << name;
    const FileError e = pathFailure("open", path, ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(e.message.starts_with("open " + toUtf8(path) + ": " + systemText(ERROR_SHARING_VIOLATION)))
        << e.message;
    EXPECT_EQ(pathFailure("open", path, ERROR_ACCESS_DENIED).sysMessage, systemText(ERROR_ACCESS_DENIED));
    std::printf("the Restart Manager named %zu holders\n", holders.size());
}

} // namespace
