// Runs the real launcher executable and checks what a start leaves behind.
#include "support/run_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

ProcessRun runLauncher(const std::wstring& exe, const std::wstring& arguments, const TempDir& dir) {
    return Process(exe, arguments, dir.path(), dir / L"stdout.txt").wait();
}

TEST(Launcher, WrongCommandLinesExitWithTwoAndHelpWithZero) {
    TempDir dir;
    const struct {
        std::wstring arguments;
        DWORD exitCode;
    } cases[] = {
        {L"-manifest", 2},     {L"-NoLaunch", 2}, {L"---x", 2},   {L"-=x", 2},
        {L"-nolaunch=yes", 2}, {L"-h", 0},        {L"--help", 0}, {L"-help=anything", 0},
    };
    for (const auto& c : cases) {
        const ProcessRun run = runLauncher(builtLauncher(), c.arguments, dir);
        EXPECT_EQ(run.exitCode, c.exitCode) << toUtf8(c.arguments);
        EXPECT_EQ(run.output, "") << toUtf8(c.arguments);
    }
}

TEST(Launcher, LeftoverOldExecutableGoesOnceTheParserAccepts) {
    TempDir dir;
    const std::wstring exe = dir / L"Vellumark Launcher.exe";
    const std::wstring old = exe + L".old";
    ASSERT_TRUE(CopyFileW(builtLauncher().c_str(), exe.c_str(), FALSE));
    ASSERT_EQ(writeWholeFile(old, "previous launcher"), 0u);

    // A wrong command line touches nothing.
    EXPECT_EQ(runLauncher(exe, L"-NoLaunch", dir).exitCode, 2u);
    EXPECT_TRUE(fileInfo(old));

    const std::wstring game = dir / L"game";
    const ProcessRun run = runLauncher(
        exe, L"-headless -nolaunch -manifest https://localhost:1/game/manifest.json -dir \"" + game + L"\"",
        dir);
    EXPECT_EQ(run.exitCode, 1u); // nothing to play without the server
    EXPECT_FALSE(fileInfo(old));
}

} // namespace
