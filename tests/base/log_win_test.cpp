#include "base/log.h"
#include "store/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

std::string logTailFrom(const std::wstring& path, std::size_t offset) {
    std::string text;
    readWholeFile(path, text);
    return offset <= text.size() ? text.substr(offset) : std::string("<log shrank>");
}

std::size_t sizeOf(const std::wstring& path) {
    std::int64_t size = 0;
    fileInfo(path, &size);
    return static_cast<std::size_t>(size);
}

TEST(Log, LinesAreTimeStampedAndAppendedInOrder) {
    const std::wstring path = logFilePath();
    EXPECT_TRUE(path.ends_with(L"\\vellumark-launcher.log"));
    const std::size_t start = sizeOf(path);
    appendLog("manifest failed: Get \"https://h/m\": network error 12157");
    appendLog("update failed: caf\xC3\xA9");
    const std::string tail = logTailFrom(path, start);
    const std::regex lines(
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d manifest failed: Get "https://h/m": network error 12157\n)"
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d update failed: caf\xC3\xA9\n)");
    EXPECT_TRUE(std::regex_match(tail, lines)) << tail;
}

TEST(Log, UnwritableLogLosesTheLineQuietly) {
    // Root ignores the read-only attribute under Wine, so a folder stands in the log's place.
    const std::wstring path = logFilePath();
    const std::wstring aside = path + L".aside";
    MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING);
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    appendLog("lost");
    std::vector<DirEntry> entries;
    EXPECT_TRUE(listDirectory(path, entries));
    EXPECT_TRUE(entries.empty());
    RemoveDirectoryW(path.c_str());
    MoveFileExW(aside.c_str(), path.c_str(), 0);
}

TEST(Log, TooLongTemporaryFolderFallsBackToTheCurrentFolder) {
    TempDir dir;
    wchar_t savedDir[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, savedDir);
    wchar_t savedTmp[1024];
    const DWORD hadTmp = GetEnvironmentVariableW(L"TMP", savedTmp, 1024);
    const std::wstring longTmp = LR"(C:\)" + std::wstring(270, L't');
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", longTmp.c_str()));
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));

    const std::wstring path = logFilePath();
    appendLog("fallback");

    SetCurrentDirectoryW(savedDir);
    SetEnvironmentVariableW(L"TMP", hadTmp ? savedTmp : nullptr);
    EXPECT_EQ(path, L".\\vellumark-launcher.log");
    std::string text;
    ASSERT_TRUE(readWholeFile(dir / L"vellumark-launcher.log", text));
    EXPECT_TRUE(text.ends_with(" fallback\n")) << text;
    EXPECT_EQ(text.size(), 20u + 9u);
}

} // namespace
