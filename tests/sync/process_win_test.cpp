// Sync scenarios that need a process of their own: replacing the running executable, and
// cancelling (the flag is never reset in a process). The parent test starts a copy of this
// program for the child part and checks what it left behind.
#include "app/session.h"
#include "store/files.h"
#include "store/state.h"
#include "support/game_build.h"
#include "support/temp_dir.h"
#include "sync/cleanup.h"
#include "sync/folder_guard.h"
#include "sync/sync.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

std::wstring childFolder() {
    wchar_t value[1024];
    const DWORD n = GetEnvironmentVariableW(L"VELLUMARK_CHILD_GAME", value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

// Runs exe with a gtest filter and the game folder in its environment; its exit code.
DWORD runChild(const std::wstring& exe, const std::string& filter, const std::wstring& game) {
    SetEnvironmentVariableW(L"VELLUMARK_CHILD_GAME", game.c_str());
    std::wstring commandLine = L"\"" + exe + L"\" --gtest_filter=" + toWide(filter);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &si, &pi);
    SetEnvironmentVariableW(L"VELLUMARK_CHILD_GAME", nullptr);
    if (!started) return 1000 + GetLastError();
    KernelHandle process(pi.hProcess), thread(pi.hThread);
    WaitForSingleObject(process.get(), 120000);
    DWORD code = 999;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

GameBuild launcherBuild() {
    GameBuild b;
    b.name = "selfupdate";
    b.exe = "Vellumark Online.exe";
    b.files = {{"Vellumark Online.exe", "game"}, {"Vellumark Launcher.exe", "the new launcher"}};
    return b;
}

TEST(Process, LauncherReplacesItsOwnExecutable) {
    TempDir dir;
    const std::wstring exe = dir / L"Vellumark Launcher.exe";
    ASSERT_TRUE(CopyFileW(exePath().c_str(), exe.c_str(), FALSE));
    std::string original;
    ASSERT_TRUE(readWholeFile(exe, original));
    launcherBuild().publishAll();

    EXPECT_EQ(runChild(exe, "ProcessChild.ReplaceOwnExecutable", dir.path()), 0u);
    std::string bytes;
    ASSERT_TRUE(readWholeFile(exe + L".old", bytes));
    EXPECT_TRUE(bytes == original) << "the old executable is kept as .old";
    ASSERT_TRUE(readWholeFile(exe, bytes));
    EXPECT_EQ(bytes, "the new launcher");
    EXPECT_FALSE(fileInfo(exe + L".part"));
}

TEST(ProcessChild, ReplaceOwnExecutable) {
    const std::wstring game = childFolder();
    if (game.empty()) GTEST_SKIP() << "runs as a child of Process.LauncherReplacesItsOwnExecutable";
    SessionStatus status;
    const FileError e = syncFolder({"", game, false}, launcherBuild().manifest(), status);
    ASSERT_FALSE(e.failed) << e.message;
    EXPECT_EQ(launcherReplaced.load(), 1);
    EXPECT_TRUE(takeSnapshot(status).launcherReplaced);
}

TEST(Process, CancelledDownloadsLeaveTheJournalForTheCleanUp) {
    TempDir dir;
    const std::wstring copy = dir / L"child.exe";
    ASSERT_TRUE(CopyFileW(exePath().c_str(), copy.c_str(), FALSE));
    const std::wstring game = dir / L"game";
    EXPECT_EQ(runChild(copy, "ProcessChild.CancelDuringDownloads", game), 0u);

    std::string journal;
    ASSERT_TRUE(readWholeFile(joinPath(game, journalFileName), journal));
    EXPECT_EQ(journal, R"(["slow/big.pak","trickle/5"])");
    EXPECT_FALSE(fileInfo(joinPath(game, LR"(trickle\5.part)"))); // a cancelled whole file leaves no .part
    EXPECT_FALSE(fileInfo(joinPath(game, stateFileName)));
    std::int64_t size = 0;
    ASSERT_TRUE(fileInfo(joinPath(game, LR"(slow\big.pak)"), &size)); // prepared at full size
    EXPECT_EQ(size, 300000);

    discardInterruptedDownloads(game);
    std::vector<DirEntry> left;
    ASSERT_TRUE(listDirectory(game, left));
    EXPECT_TRUE(left.empty());
}

TEST(ProcessChild, CancelDuringDownloads) {
    const std::wstring game = childFolder();
    if (game.empty())
        GTEST_SKIP() << "runs as a child of Process.CancelledDownloadsLeaveTheJournalForTheCleanUp";
    // Slow answers keep the download phase busy long enough to cancel it.
    Manifest m;
    m.baseUrl = faultUrl("/");
    m.exe = "trickle/5";
    m.chunkSize = 100000;
    const std::string big = pattern(300000, 1);
    m.files = {{"slow/big.pak", 300000, sha256Of(big), {}}, {"trickle/5", 5, sha256Of("     "), {}}};
    for (int i = 0; i < 3; ++i)
        m.files[0].chunks.push_back(sha256Of(big.substr(i * 100000, 100000)));

    SessionStatus status;
    FileError result;
    std::thread session([&] { result = syncFolder({"", game, false}, m, status, RetryPause{1}); });
    while (takeSnapshot(status).phase != SessionPhase::Downloading)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    requestCancel();
    session.join();
    EXPECT_TRUE(result.cancelled || result.message.ends_with(": cancelled")) << result.message;
    EXPECT_TRUE(result.message.starts_with("trickle/5: ") || result.message.starts_with("slow/big.pak: "))
        << result.message;
}

// Waits until the fault server has answered `count` requests for paths starting with prefix.
void waitForFaultRequests(std::size_t from, const std::string& prefix, int count) {
    for (int waited = 0; waited < 20000; waited += 10) {
        const std::string log = faultLogFrom(from);
        int seen = 0;
        for (std::size_t at = log.find("GET " + prefix); at != std::string::npos;
             at = log.find("GET " + prefix, at + 1))
            ++seen;
        if (seen >= count) return;
        Sleep(10);
    }
    ADD_FAILURE() << "the fault server never saw " << count << " requests for " << prefix;
}

TEST(Process, ACancellationBetweenJobsNeverEndsAsASuccess) {
    TempDir dir;
    const std::wstring copy = dir / L"child.exe";
    ASSERT_TRUE(CopyFileW(exePath().c_str(), copy.c_str(), FALSE));
    const std::wstring game = dir / L"game";
    EXPECT_EQ(runChild(copy, "ProcessChild.CancelBetweenJobs", game), 0u);
    // The chunks that did arrive are not enough: the state vouches for nothing, and the journal
    // names the file for the clean-up.
    EXPECT_FALSE(fileInfo(joinPath(game, stateFileName)));
    std::string journal;
    ASSERT_TRUE(readWholeFile(joinPath(game, journalFileName), journal));
    EXPECT_EQ(journal, R"(["late/pack"])");
}

TEST(ProcessChild, CancelBetweenJobs) {
    const std::wstring game = childFolder();
    if (game.empty())
        GTEST_SKIP() << "runs as a child of Process.ACancellationBetweenJobsNeverEndsAsASuccess";
    // Seven chunks for six workers: each running chunk has passed its last look at the flag
    // when the cancellation comes, and the seventh has not started.
    Manifest m;
    m.baseUrl = faultUrl("/");
    m.exe = "late/pack";
    m.chunkSize = 1000;
    m.files = {{"late/pack", 7000, sha256Of(std::string(7000, ' ')), {}}};
    for (int i = 0; i < 7; ++i)
        m.files[0].chunks.push_back(sha256Of(std::string(1000, ' ')));
    SessionStatus status;
    FileError result;
    const std::size_t mark = faultLogSize();
    std::thread session([&] { result = syncFolder({"", game, false}, m, status, RetryPause{1}); });
    waitForFaultRequests(mark, "/late/pack", 6);
    Sleep(300);
    requestCancel();
    session.join();
    EXPECT_TRUE(result.message.ends_with("cancelled")) << result.message;
}

TEST(Process, ACancellationWakesTheRetryPause) {
    TempDir dir;
    const std::wstring copy = dir / L"child.exe";
    ASSERT_TRUE(CopyFileW(exePath().c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(runChild(copy, "ProcessChild.CancelDuringRetryPause", dir / L"game"), 0u);
}

TEST(ProcessChild, CancelDuringRetryPause) {
    const std::wstring game = childFolder();
    if (game.empty()) GTEST_SKIP() << "runs as a child of Process.ACancellationWakesTheRetryPause";
    Manifest m;
    m.baseUrl = faultUrl("/");
    m.exe = "status/503";
    m.files = {{"status/503", 6, sha256Of("status"), {}}};
    SessionStatus status;
    FileError result;
    const std::size_t mark = faultLogSize();
    // The pause after the first failure lasts 20 s.
    std::thread session([&] { result = syncFolder({"", game, false}, m, status, RetryPause{10000}); });
    waitForFaultRequests(mark, "/status/503", 1);
    const auto cancelledAt = std::chrono::steady_clock::now();
    requestCancel();
    session.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelledAt, std::chrono::seconds(10));
    EXPECT_EQ(result.message, "status/503: cancelled");
}

TEST(Process, AShutdownThatCannotWaitLeavesTheJournal) {
    TempDir dir;
    const std::wstring copy = dir / L"child.exe";
    ASSERT_TRUE(CopyFileW(exePath().c_str(), copy.c_str(), FALSE));
    const std::wstring game = dir / L"game";
    EXPECT_EQ(runChild(copy, "ProcessChild.ShutdownDuringAStalledDownload", game), 0u);
    std::string journal;
    ASSERT_TRUE(readWholeFile(joinPath(game, journalFileName), journal));
    EXPECT_EQ(journal, R"(["stall/100000"])");
}

TEST(ProcessChild, ShutdownDuringAStalledDownload) {
    const std::wstring game = childFolder();
    if (game.empty()) GTEST_SKIP() << "runs as a child of Process.AShutdownThatCannotWaitLeavesTheJournal";
    // The body stops half-way for a minute, so the session outlives the shutdown's wait.
    Manifest m;
    m.version = "stalled";
    m.baseUrl = faultUrl("/");
    m.exe = "stall/100000";
    m.files = {{"stall/100000", 200000, sha256Of(std::string(200000, 'x')), {}}};
    const std::string url = publishManifest("stalled", m);
    static SessionStatus status; // the session outlives this test
    const std::size_t mark = faultLogSize();
    std::thread([url, game] { runSession({url, game, false}, &status); }).detach();
    waitForFaultRequests(mark, "/stall/100000", 1);
    shutdownSessions(game, std::chrono::milliseconds(500));
    // The stalled worker is still inside its read: the process ends without waiting for it.
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), ::testing::Test::HasFailure() ? 1 : 0);
}

} // namespace
