#include "store/paths.h"
#include "store/text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

TEST(Paths, SamePathIgnoresCaseAndSeparators) {
    TempDir dir;
    const std::wstring folder = dir / L"Game Folder";
    std::wstring failed;
    ASSERT_EQ(makeDirs(folder, failed), 0u);
    std::wstring upper = folder;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(towupper(c));
    std::wstring slashed = folder + L"\\\\";
    for (wchar_t& c : slashed)
        c = c == L'\\' ? L'/' : c;

    EXPECT_TRUE(samePath(folder, upper));
    EXPECT_TRUE(samePath(upper, slashed));
    EXPECT_FALSE(samePath(folder, dir / L"Game Folder2"));
    EXPECT_FALSE(samePath(L"", L""));
    EXPECT_FALSE(samePath(folder, L""));
}

TEST(Paths, SamePathExpandsTheShortFormOfTheSecondPath) {
    TempDir dir;
    const std::wstring folder = dir / L"A Rather Long Folder Name";
    std::wstring failed;
    ASSERT_EQ(makeDirs(folder, failed), 0u);
    wchar_t shortForm[MAX_PATH];
    const DWORD n = GetShortPathNameW(folder.c_str(), shortForm, MAX_PATH);
    ASSERT_GT(n, 0u);
    const std::wstring s(shortForm, n);
    if (s == folder) GTEST_SKIP() << "the file system gives no short names";
    EXPECT_TRUE(samePath(folder, s));
}

TEST(Paths, ExePathIsTheRunningProgram) {
    const std::wstring self = exePath();
    ASSERT_FALSE(self.empty());
    EXPECT_NE(self.rfind(LR"(\\?\)", 0), 0u);
    EXPECT_TRUE(self.ends_with(L"store_win_test.exe")) << toUtf8(self);
    std::int64_t size = 0;
    EXPECT_TRUE(fileInfo(self, &size));
    EXPECT_GT(size, 0);
    EXPECT_TRUE(samePath(self, launcherPath()));
}

} // namespace
