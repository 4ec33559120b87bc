// The real launcher in headless mode, against nginx and the fault server.
#include "app/headless.h"
#include "base/log.h"
#include "support/launcher_runs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace {

TEST(Headless, UpdatesThenStartsTheGame) {
    TempDir dir;
    const std::wstring game = dir / L"game";
    const std::string url = manifestUrlOf(stubBuild("hl-basic"));
    const ProcessRun run = headless(dir, L"-manifest " + toWide(url) + L" -dir " + quoted(game));
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_TRUE(run.output.starts_with("\r")) << run.output;
    ASSERT_TRUE(run.output.ends_with("\n")) << run.output;
    const auto lines = statusLines(run.output);
    ASSERT_GE(lines.size(), 2u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_GE(lines[i].size(), 110u) << lines[i];
        EXPECT_NE(lines[i].find(" | "), std::string::npos) << lines[i];
        if (i > 0) {
            EXPECT_NE(trimmed(lines[i]), trimmed(lines[i - 1])) << "a line is written only when it changes";
        }
    }
    EXPECT_EQ(trimmed(lines.back()), "Ready to play! | Update complete. Have fun!");

    const std::string record = stubRecord(game);
    EXPECT_NE(record.find("cwd=" + toUtf8(game) + "\n"), std::string::npos) << record;
    EXPECT_NE(record.find("cmd=\"" + toUtf8(game) + "\\Vellumark Online.exe\"\n"), std::string::npos)
        << record;
    EXPECT_NE(record.find("stdin=nul stdout=nul stderr=nul"), std::string::npos) << record;

    // Up to date now; with -nolaunch nothing is started.
    removePath(joinPath(game, L"stub-record.txt"));
    const ProcessRun again = headless(dir, L"-nolaunch -manifest " + toWide(url) + L" -dir " + quoted(game));
    EXPECT_EQ(again.exitCode, 0u);
    EXPECT_EQ(lastLine(again.output), "Ready to play! | Your game is up to date.");
    EXPECT_EQ(stubRecord(game, 1000), "");

    // -skipupdate starts the game at once: no output, no request.
    const std::size_t logStart = accessLogSize();
    const ProcessRun skip = headless(dir, L"-skipupdate -manifest " + toWide(url) + L" -dir " + quoted(game));
    EXPECT_EQ(skip.exitCode, 0u);
    EXPECT_EQ(skip.output, "");
    EXPECT_NE(stubRecord(game).find("stdin=nul"), std::string::npos);
    EXPECT_EQ(accessLogFrom(logStart), "");
}

TEST(Headless, APipeEndsWhenTheLauncherExitsThoughTheGameRuns) {
    TempDir dir;
    const std::wstring game = dir / L"game";
    make(joinPath(game, L"stub-hold.txt"), ""); // the game keeps running until it goes
    const std::string url = manifestUrlOf(stubBuild("hl-pipe"));
    // A script reads the launcher's output through a pipe.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    const KernelHandle reader(readEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    std::wstring commandLine =
        quoted(builtLauncher()) + L" -headless -manifest " + toWide(url) + L" -dir " + quoted(game);
    const BOOL started = CreateProcessW(builtLauncher().c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        0, nullptr, dir.path().c_str(), &si, &pi);
    CloseHandle(writeEnd);
    ASSERT_TRUE(started);
    const KernelHandle process(pi.hProcess), thread(pi.hThread);
    std::atomic<bool> ended{false};
    std::string output;
    std::thread read([&] {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
            output.append(buffer, n);
        ended = true;
    });
    for (int waited = 0; waited < 30000 && !ended; waited += 50)
        Sleep(50);
    const bool endedInTime = ended;
    const std::string record = stubRecord(game);
    removePath(joinPath(game, L"stub-hold.txt")); // the game may go now
    read.join();
    EXPECT_TRUE(endedInTime) << "the game held the launcher's output pipe";
    EXPECT_EQ(lastLine(output), "Ready to play! | Update complete. Have fun!");
    EXPECT_NE(record.find("stdout=nul"), std::string::npos) << record;
    EXPECT_EQ(record.find("ended"), std::string::npos) << "the game still ran when the pipe ended";
}

TEST(Headless, UnreachableServer) {
    TempDir dir;
    const std::wstring game = dir / L"game";
    const std::string url = manifestUrlOf(stubBuild("hl-offline"));
    ASSERT_EQ(headless(dir, L"-nolaunch -manifest " + toWide(url) + L" -dir " + quoted(game)).exitCode, 0u);

    const std::wstring unreachable = L"-manifest https://localhost:1/game/manifest.json -dir ";
    const ProcessRun offline = headless(dir, unreachable + quoted(game));
    EXPECT_EQ(offline.exitCode, 0u);
    EXPECT_EQ(lastLine(offline.output),
              "Can't reach the update server | You can still play with the files you already have.");
    EXPECT_NE(stubRecord(game), "");

    std::int64_t logSize = 0;
    fileInfo(logFilePath(), &logSize);
    // A slow answer that is no manifest: the contacting line shows, then the failure.
    const std::wstring empty = dir / L"nothing";
    const ProcessRun slow =
        headless(dir, L"-manifest " + toWide(faultUrl("/slow/manifest.json")) + L" -dir " + quoted(empty));
    EXPECT_EQ(slow.exitCode, 1u);
    EXPECT_EQ(slow.output,
              headlessLine("Contacting update server...", "Please wait a moment.") +
                  headlessLine("Something went wrong", "Could not reach the update server. Check your "
                                                       "internet connection and try again.") +
                  "\n");

    const ProcessRun failed = headless(dir, unreachable + quoted(empty));
    EXPECT_EQ(failed.exitCode, 1u);
    EXPECT_EQ(lastLine(failed.output), "Something went wrong | Could not reach the update server. Check your "
                                       "internet connection and try again.");
    EXPECT_TRUE(failed.output.ends_with("\n"));
    std::string log;
    readWholeFile(logFilePath(), log);
    EXPECT_NE(log.find(" manifest failed: Get \"https://localhost:1/game/manifest.json?t=",
                       static_cast<std::size_t>(logSize)),
              std::string::npos);
}

} // namespace

namespace {

// Each failing update runs in a launcher of its own, all at once, because a failing
// download is tried five times with the product's real pauses (30 s in all).
TEST(Headless, PlayerTextsForFailures) {
    struct Case {
        std::string name;
        std::function<void(GameBuild&, const std::wstring& game)> prepare;
        std::string text;
        bool needsTmpfs = false;
    };
    std::vector<FileHandle> held;
    const std::string download = "Download problem. Check your internet connection and try again. (";
    const std::string blocked =
        "Windows blocked access to a game file. Add the game folder to your antivirus "
        "exclusions, or move it out of protected folders, then press RETRY. (";
    const std::vector<Case> cases = {
        {"hl-404", [](GameBuild&, const std::wstring&) {}, download + "missing.bin: HTTP 404)"},
        {"hl-checksum",
         [](GameBuild& b, const std::wstring&) { publish(toWide(b.name + "/bad.bin"), "other bytes"); },
         download + "bad.bin: downloaded file failed its checksum)"},
        {"hl-unsafe", [](GameBuild&, const std::wstring&) {},
         "unsafe path in manifest: nul.txt (press RETRY, or ask for help in the Discord)"},
        {"hl-denied",
         [](GameBuild&, const std::wstring& game) {
             std::wstring failed; // a folder where the chunked file should be cannot be written
             ASSERT_EQ(makeDirs(joinPath(game, L"blocked.pak"), failed), 0u);
         },
         blocked + "open blocked.pak: " + systemText(ERROR_ACCESS_DENIED) + ")"},
        {"hl-shared",
         [&held](GameBuild& b, const std::wstring& game) {
             const std::wstring path = joinPath(game, L"locked.pak");
             make(path, b.files["locked.pak"]);
             held.emplace_back(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
             ASSERT_TRUE(held.back().valid());
         },
         "A game file is in use by another program. Close Vellumark and any antivirus scan, then press "
         "RETRY. "
         "(open locked.pak: " +
             systemText(ERROR_SHARING_VIOLATION) + ")"},
        {"hl-full", [](GameBuild&, const std::wstring&) {}, "", true}, // the text needs the free space
    };
    const std::wstring tmpfs = joinPath(serverDir(), L"tmpfs");
    const bool haveTmpfs = fileInfo(joinPath(tmpfs, L".mounted"));
    std::string fullText;

    TempDir dir;
    std::vector<std::unique_ptr<Process>> running;
    std::vector<const Case*> started;
    for (const Case& c : cases) {
        if (c.needsTmpfs && !haveTmpfs) continue;
        GameBuild b = stubBuild(c.name);
        if (c.name == "hl-404") b.files["missing.bin"] = "never published";
        if (c.name == "hl-checksum") b.files["bad.bin"] = "expected bytes";
        if (c.name == "hl-denied") b.files["blocked.pak"] = pattern(150000, 4);
        if (c.name == "hl-shared") b.files["locked.pak"] = pattern(150000, 5);
        if (c.name == "hl-full") {
            // Chunked; more than the 8 MiB tmpfs holds: the plan is refused before any download.
            b.files["big.bin"] = pattern(9 << 20, 6);
            std::int64_t needed = 0;
            for (const auto& [path, bytes] : b.files)
                needed += static_cast<std::int64_t>(bytes.size());
            ULARGE_INTEGER available{};
            ASSERT_TRUE(GetDiskFreeSpaceExW(tmpfs.c_str(), &available, nullptr, nullptr));
            const std::int64_t missing =
                (needed - static_cast<std::int64_t>(available.QuadPart) + (1 << 20) - 1) >> 20;
            // The tmpfs is a volume of its own, named by where it is mounted.
            fullText = "Not enough free disk space. Free up about 4 GB and press RETRY. (need " +
                       std::to_string(missing) + " MB more free space on " + toUtf8(normalisePath(tmpfs)) +
                       ")";
        }
        Manifest m = b.publishAll();
        if (c.name == "hl-unsafe") m.files.push_back({"nul.txt", 1, sha256Of("x"), {}});
        const std::string url = publishManifest(c.name, m);
        if (c.name == "hl-404") removePath(joinPath(webRoot(), toWide(c.name + "\\missing.bin")));
        const std::wstring game = c.needsTmpfs ? joinPath(tmpfs, toWide(c.name)) : dir / toWide(c.name);
        c.prepare(b, game);
        running.push_back(std::make_unique<Process>(
            builtLauncher(), L"-headless -nolaunch -manifest " + toWide(url) + L" -dir " + quoted(game),
            dir.path(), dir / toWide(c.name + ".out")));
        started.push_back(&c);
    }
    for (std::size_t i = 0; i < running.size(); ++i) {
        const ProcessRun run = running[i]->wait(180000);
        EXPECT_EQ(run.exitCode, 1u) << started[i]->name;
        const std::string text = started[i]->name == "hl-full" ? fullText : started[i]->text;
        EXPECT_EQ(lastLine(run.output), "Something went wrong | " + text) << started[i]->name;
    }
    held.clear();
    TempDir::removeTree(joinPath(tmpfs, L"hl-full"));
    if (!haveTmpfs) GTEST_SKIP() << "the full-disk case needs the tmpfs that root mounts";
}

// Every entry under folder with its size and write time: what -verify must leave alone.
std::string snapshotOf(const std::wstring& folder) {
    std::string out;
    std::vector<DirEntry> entries;
    listDirectory(folder, entries);
    for (const DirEntry& e : entries) {
        out += toUtf8(e.name) + " " + std::to_string(e.size) + " " + std::to_string(e.mtime) + "\n";
        if (e.isDir) out += snapshotOf(joinPath(folder, e.name));
    }
    return out;
}

TEST(Headless, VerifyReportsDamageAndChangesNothing) {
    TempDir dir;
    const std::wstring game = dir / L"game";
    GameBuild b = stubBuild("hl-verify");
    b.files["readme.txt"] = "read me";
    b.files["gone.txt"] = "soon gone";
    b.files["data/big.pak"] = pattern(5 * 65536 + 100, 8); // six chunks
    const std::string url = manifestUrlOf(b);
    const std::wstring args = L"-manifest " + toWide(url) + L" -dir " + quoted(game);
    ASSERT_EQ(headless(dir, L"-nolaunch " + args).exitCode, 0u);

    const ProcessRun clean = headless(dir, L"-verify " + args);
    EXPECT_EQ(clean.exitCode, 0u);
    EXPECT_EQ(clean.output, "0 files need 0 bytes\n");

    // Damage behind unchanged sizes: only reading the contents finds it.
    removePath(joinPath(game, L"gone.txt"));
    make(joinPath(game, L"readme.txt"), "READ ME");
    std::string big = b.files["data/big.pak"];
    big[10] ^= 1;
    big[4 * 65536 + 7] ^= 1;
    make(joinPath(game, L"data\\big.pak"), big);
    const std::string before = snapshotOf(game);
    const std::size_t logStart = accessLogSize();
    const ProcessRun damaged =
        Process(builtLauncher(), L"-verify " + args, dir.path(), dir / L"v.txt").wait();
    EXPECT_EQ(damaged.exitCode, 3u);
    EXPECT_EQ(damaged.output, "damaged: data/big.pak (2 of 6 chunks)\n"
                              "missing: gone.txt\n"
                              "damaged: readme.txt\n"
                              "3 files need 131088 bytes\n"); // two chunks, 9 and 7 bytes
    EXPECT_EQ(snapshotOf(game), before);
    EXPECT_EQ(accessLogFrom(logStart).find("GET /hl-verify/"), std::string::npos) << "no file is fetched";
}

TEST(Headless, MaxRateLimitsTheDownloadAndBadRatesAreRefused) {
    TempDir dir;
    for (const wchar_t* bad : {L"-maxrate=abc", L"-maxrate=-5", L"-maxrate=12x", L"-maxrate"})
        EXPECT_EQ(headless(dir, bad).exitCode, 2u) << toUtf8(bad);
    SetEnvironmentVariableW(L"VELLUMARK_MAXRATE", L"fast");
    EXPECT_EQ(headless(dir, L"-nolaunch").exitCode, 2u);
    SetEnvironmentVariableW(L"VELLUMARK_MAXRATE", nullptr);

    // Five megabytes at 1000 KB/s: about five seconds, where the loopback alone takes well
    // under one.
    GameBuild b = stubBuild("hl-maxrate");
    b.files["data/big.pak"] = pattern(5000000, 9);
    b.files["data/other.bin"] = pattern(90000, 10); // a whole file beside the chunks
    const std::string url = manifestUrlOf(b);
    const auto start = std::chrono::steady_clock::now();
    const ProcessRun run = headless(dir, L"-nolaunch -maxrate=1000 -manifest " + toWide(url) + L" -dir " +
                                             quoted(dir / L"game"));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_GT(seconds, 4.0);
    EXPECT_LT(seconds, 20.0);

    // A player's persistent variable never keeps the game from starting: outside headless mode
    // a bad value is ignored and logged.
    std::int64_t logSize = 0;
    fileInfo(logFilePath(), &logSize);
    SetEnvironmentVariableW(L"VELLUMARK_MAXRATE", L"fast");
    const ProcessRun play =
        Process(builtLauncher(), L"-skipupdate -dir " + quoted(dir / L"game"), dir.path(), dir / L"out.txt")
            .wait();
    SetEnvironmentVariableW(L"VELLUMARK_MAXRATE", nullptr);
    EXPECT_EQ(play.exitCode, 0u);
    std::string log;
    readWholeFile(logFilePath(), log);
    EXPECT_NE(log.find(" ignored VELLUMARK_MAXRATE: fast\n", static_cast<std::size_t>(logSize)),
              std::string::npos);
}

} // namespace
