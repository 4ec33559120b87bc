// Runs the real launcher executable and checks what a start leaves behind.
#include "store/files.h"
#include "store/handle.h"
#include "store/text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

struct LauncherRun {
    DWORD exitCode = 0;
    std::string output; // standard output
};

std::wstring builtLauncher() {
    std::wstring p = toWide(LAUNCHER_EXE);
    for (wchar_t& c : p)
        c = c == L'/' ? L'\\' : c;
    return p;
}

// Starts exe with the arguments, standard output going to a file, and waits for it.
LauncherRun runLauncher(const std::wstring& exe, const std::wstring& arguments, const TempDir& dir) {
    const std::wstring outPath = dir / L"stdout.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    FileHandle out(CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(out.valid());

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out.get();
    si.hStdError = out.get();
    PROCESS_INFORMATION pi{};
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    LauncherRun run;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        dir.path().c_str(), &si, &pi)) {
        ADD_FAILURE() << "could not start " << toUtf8(exe) << ": " << GetLastError();
        return run;
    }
    KernelHandle process(pi.hProcess), thread(pi.hThread);
    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 99);
        ADD_FAILURE() << "the launcher did not end: " << toUtf8(arguments);
    }
    GetExitCodeProcess(process.get(), &run.exitCode);
    out.reset();
    readWholeFile(outPath, run.output);
    return run;
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
        const LauncherRun run = runLauncher(builtLauncher(), c.arguments, dir);
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
    const LauncherRun run = runLauncher(
        exe, L"-headless -nolaunch -manifest https://localhost:1/game/manifest.json -dir \"" + game + L"\"",
        dir);
    EXPECT_NE(run.exitCode, 2u);
    EXPECT_FALSE(fileInfo(old));
}

} // namespace
