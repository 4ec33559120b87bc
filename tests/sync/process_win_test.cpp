// Sync scenarios that need a process of their own: replacing the running executable, and
// cancelling (the flag is never reset in a process). The parent test starts a copy of this
// program for the child part and checks what it left behind.
#include "app/session.h"
#include "store/files.h"
#include "support/game_build.h"
#include "support/run_process.h"
#include "support/temp_dir.h"
#include "sync/cleanup.h"
#include "sync/folder_guard.h"
#include "sync/state.h"
#include "sync/sync.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

std::wstring childFolder() {
    wchar_t value[1024];
    const DWORD n = GetEnvironmentVariableW(L"VELLUMARK_CHILD_GAME", value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

// Runs a copy of this program, named name in dir, for one child test with the game folder
// in its environment; its exit code.
DWORD runChild(const TempDir& dir, const std::wstring& name, const std::string& childTest,
               const std::wstring& game) {
    const std::wstring exe = dir / name;
    if (!fileInfo(exe) && !CopyFileW(exePath().c_str(), exe.c_str(), FALSE)) return 1000 + GetLastError();
    SetEnvironmentVariableW(L"VELLUMARK_CHILD_GAME", game.c_str());
    Process child(exe, L"--gtest_filter=" + toWide(childTest), dir.path(), dir / L"child.txt");
    SetEnvironmentVariableW(L"VELLUMARK_CHILD_GAME", nullptr);
    return child.wait().exitCode;
}

// The journal's text, or "<none>".
std::string journalOf(const std::wstring& game) {
    std::string journal;
    return readWholeFile(joinPath(game, journalFileName), journal) ? journal : "<none>";
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

    EXPECT_EQ(runChild(dir, L"Vellumark Launcher.exe", "ProcessChild.ReplaceOwnExecutable", dir.path()), 0u);
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

TEST(Process, ACancelledUpdateKeepsTheJournalAndItsFiles) {
    TempDir dir;
    const std::wstring game = dir / L"game";
    EXPECT_EQ(runChild(dir, L"child.exe", "ProcessChild.CancelDuringDownloads", game), 0u);

    EXPECT_EQ(journalOf(game), R"(["slow/big.pak","trickle/5"])");
    EXPECT_FALSE(fileInfo(joinPath(game, stateFileName)));
    std::int64_t size = 0;
    ASSERT_TRUE(fileInfo(joinPath(game, LR"(slow\big.pak)"), &size)); // prepared at full size, kept to resume
    EXPECT_EQ(size, 300000);
}

TEST(ProcessChild, CancelDuringDownloads) {
    const std::wstring game = childFolder();
    if (game.empty()) GTEST_SKIP() << "runs as a child of Process.ACancelledUpdateKeepsTheJournalAndItsFiles";
    // Slow answers keep the download phase busy long enough to cancel it.
    const std::string big = pattern(300000, 1);
    Manifest m = faultManifest(
        {{"slow/big.pak", 300000, sha256Of(big), {}}, {"trickle/5", 5, sha256Of("     "), {}}}, 100000);
    m.exe = "trickle/5";
    for (int i = 0; i < 3; ++i)
        m.files[0].chunks.push_back(sha256Of(big.substr(i * 100000, 100000)));

    SessionStatus status;
    FileError result;
    const std::size_t mark = faultLogSize();
    std::thread session([&] { result = syncFolder({"", game, false}, m, status, RetryPause{1}); });
    waitForFaultArrivals(mark, "/slow/big.pak", 3); // every chunk in flight
    requestCancel();
    session.join();
    EXPECT_TRUE(result.cancelled || result.message.ends_with(": cancelled")) << result.message;
    EXPECT_TRUE(result.message.starts_with("trickle/5: ") || result.message.starts_with("slow/big.pak: "))
        << result.message;
}

TEST(Process, ACancellationBetweenJobsNeverEndsAsASuccess) {
    TempDir dir;
    const std::wstring game = dir / L"game";
    EXPECT_EQ(runChild(dir, L"child.exe", "ProcessChild.CancelBetweenJobs", game), 0u);
    // The chunks that did arrive are not enough: the state vouches for nothing, and the journal
    // names the file for the clean-up.
    EXPECT_FALSE(fileInfo(joinPath(game, stateFileName)));
    EXPECT_EQ(journalOf(game), R"(["late/pack"])");
}

TEST(ProcessChild, CancelBetweenJobs) {
    const std::wstring game = childFolder();
    if (game.empty())
        GTEST_SKIP() << "runs as a child of Process.ACancellationBetweenJobsNeverEndsAsASuccess";
    // Seven chunks for six workers: each running chunk has passed its last look at the flag
    // when the cancellation comes, and the seventh has not started.
    Manifest m = faultManifest({{"late/pack", 7000, sha256Of(std::string(7000, ' ')), {}}}, 1000);
    for (int i = 0; i < 7; ++i)
        m.files[0].chunks.push_back(sha256Of(std::string(1000, ' ')));
    SessionStatus status;
    FileError result;
    const std::size_t mark = faultLogSize();
    std::thread session([&] { result = syncFolder({"", game, false}, m, status, RetryPause{1}); });
    waitForFaultArrivals(mark, "/late/pack", 6);
    // The six answers' headers come at once, their bodies after 2 s: each worker passes its
    // last look at the flag well within this.
    Sleep(300);
    requestCancel();
    session.join();
    EXPECT_TRUE(result.message.ends_with("cancelled")) << result.message;
}

TEST(Process, ACancellationWakesTheRetryPause) {
    TempDir dir;
    EXPECT_EQ(runChild(dir, L"child.exe", "ProcessChild.CancelDuringRetryPause", dir / L"game"), 0u);
}

TEST(ProcessChild, CancelDuringRetryPause) {
    const std::wstring game = childFolder();
    if (game.empty()) GTEST_SKIP() << "runs as a child of Process.ACancellationWakesTheRetryPause";
    const Manifest m = faultManifest({{"status/503", 6, sha256Of("status"), {}}});
    SessionStatus status;
    FileError result;
    const std::size_t mark = faultLogSize();
    // The pause after the first failure lasts 20 s.
    std::thread session([&] { result = syncFolder({"", game, false}, m, status, RetryPause{10000}); });
    waitForFaultArrivals(mark, "/status/503", 1);
    const auto cancelledAt = std::chrono::steady_clock::now();
    requestCancel();
    session.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelledAt, std::chrono::seconds(10));
    EXPECT_EQ(result.message, "status/503: cancelled");
}

TEST(Process, AShutdownThatCannotWaitLeavesTheJournal) {
    TempDir dir;
    const std::wstring game = dir / L"game";
    EXPECT_EQ(runChild(dir, L"child.exe", "ProcessChild.ShutdownDuringAStalledDownload", game), 0u);
    EXPECT_EQ(journalOf(game), R"(["hang/20"])");
}

TEST(ProcessChild, ShutdownDuringAStalledDownload) {
    const std::wstring game = childFolder();
    if (game.empty()) GTEST_SKIP() << "runs as a child of Process.AShutdownThatCannotWaitLeavesTheJournal";
    // The server does not answer for 20 s, so the session outlives the shutdown's wait.
    Manifest m = faultManifest({{"hang/20", 5, sha256Of("hang!"), {}}});
    m.version = "stalled";
    const std::string url = publishManifest("stalled", m);
    static SessionStatus status; // the session outlives this test
    const std::size_t mark = faultLogSize();
    std::thread([url, game] { runSession({url, game, false}, &status); }).detach();
    waitForFaultArrivals(mark, "/hang/20", 1); // the request is out, its answer far away
    shutdownSessions(game, std::chrono::milliseconds(500));
    // The worker is still waiting for the answer: the process ends without waiting for it.
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), ::testing::Test::HasFailure() ? 1 : 0);
}

// A build whose update from version 1 to 2 takes every kind of step: a pack rebuilt from its
// old copy, one mended in place, a new pack, a new file, a file reused under a new name, and
// a dropped file.
Manifest stepsBuild(int version) {
    GameBuild b;
    b.name = "steps-" + std::to_string(version);
    const std::string a = pattern(4 * 65536, 1);
    std::string c = pattern(4 * 65536, 2);
    b.files = {{"Vellumark Online.exe", "exe"}, {"a.pak", a}, {"c.pak", c}};
    if (version == 1) {
        b.files.insert({{"g.txt", "held"}, {"h.txt", "dropped"}});
    } else {
        b.files["a.pak"] = pattern(1024, 3) + a;
        b.files["c.pak"] = c.replace(65536, 100, pattern(100, 4));
        b.files.insert({{"d.pak", pattern(3 * 65536, 5)}, {"e.txt", "new"}, {"f.txt", "held"}});
    }
    Manifest m = b.publishAll();
    for (ManifestFile& f : m.files) {
        if (f.path == "c.pak") f.rolling.clear();
    }
    return m;
}

TEST(Process, AnUpdateKilledAtAnyStepHasEveryChangeInItsJournal) {
    const Manifest next = stepsBuild(2);
    for (const char* step :
         {"checked", "journal", "reused", "written", "downloaded", "placed", "removed", "state"}) {
        TempDir dir;
        const std::wstring game = dir / L"game";
        SessionStatus status;
        ASSERT_FALSE(syncFolder({"", game, false}, stepsBuild(1), status, RetryPause{1}).failed);
        const auto before = folderContents(game);
        SetEnvironmentVariableW(L"VELLUMARK_CHILD_STEP", toWide(step).c_str());
        EXPECT_EQ(runChild(dir, L"child.exe", "ProcessChild.KilledAtAStep", game), 137u) << step;
        SetEnvironmentVariableW(L"VELLUMARK_CHILD_STEP", nullptr);

        // A file changed, made or cut is named, itself or as the file its part file builds; a
        // file the new build drops may be gone.
        const std::string journal = journalOf(game);
        const auto now = folderContents(game);
        auto names = now;
        names.insert(before.begin(), before.end());
        for (const auto& [name, bytes] : names) {
            std::string path = toUtf8(name);
            std::replace(path.begin(), path.end(), '\\', '/');
            if (path.starts_with(".launcher-")) continue;
            const bool same = now.contains(name) == before.contains(name) &&
                              (!now.contains(name) || now.at(name) == before.at(name));
            if (same) continue;
            if (path.ends_with(".part")) path.resize(path.size() - 5);
            const bool listed = std::any_of(next.files.begin(), next.files.end(),
                                            [&](const ManifestFile& f) { return f.path == path; });
            if (!now.contains(name) && !listed) continue;
            EXPECT_NE(journal.find('"' + path + '"'), std::string::npos)
                << step << ": " << path << " in " << journal;
        }
        ASSERT_FALSE(syncFolder({"", game, false}, next, status, RetryPause{1}).failed) << step;
        for (const ManifestFile& f : next.files) {
            std::string bytes;
            EXPECT_TRUE(readWholeFile(joinGamePath(game, f.path), bytes) && sha256Of(bytes) == f.sha256)
                << step << ": " << f.path;
        }
    }
}

TEST(ProcessChild, KilledAtAStep) {
    const std::wstring game = childFolder();
    if (game.empty())
        GTEST_SKIP() << "runs as a child of Process.AnUpdateKilledAtAnyStepHasEveryChangeInItsJournal";
    wchar_t step[32] = L"";
    GetEnvironmentVariableW(L"VELLUMARK_CHILD_STEP", step, 32);
    SessionStatus status;
    syncFolder({"", game, false}, stepsBuild(2), status, RetryPause{1}, [&](std::string_view reached) {
        if (toWide(std::string(reached)) == step) TerminateProcess(GetCurrentProcess(), 137);
    });
    ADD_FAILURE() << "never reached " << toUtf8(step);
}

} // namespace
