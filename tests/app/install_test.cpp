// Installs through the real launcher: replacing its own executable, finding and migrating
// the game folder, and surviving a kill in the middle of a download.
#include "base/log.h"
#include "support/launcher_runs.h"
#include "sync/state.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <thread>

namespace {

// A copy of the launcher in the game folder, and a published build whose new launcher is the
// stub, which records the arguments it is started with. The stub is large enough to be
// chunked, but a running executable cannot be written in place.
struct SelfUpdate {
    explicit SelfUpdate(const TempDir& dir, const std::string& build)
        : game(dir / L"game"), launcher(joinPath(game, L"Vellumark Launcher.exe")) {
        make(launcher, "");
        EXPECT_TRUE(CopyFileW(builtLauncher().c_str(), launcher.c_str(), FALSE));
        GameBuild b = stubBuild(build);
        b.files["Vellumark Launcher.exe"] = stubBytes();
        url = manifestUrlOf(b);
    }
    std::wstring game, launcher;
    std::string url;
};

TEST(Install, LauncherReplacesItselfAndRestartsWithTheSameArguments) {
    TempDir dir;
    const SelfUpdate update(dir, "hl-self");
    const std::wstring &game = update.game, &launcher = update.launcher;
    const std::string& url = update.url;
    std::string original;
    ASSERT_TRUE(readWholeFile(launcher, original));
    const std::wstring arguments = L"-headless -nolaunch -manifest " + toWide(url) + L" \"odd arg\" x\\\"y";
    const ProcessRun run = Process(launcher, arguments, dir.path(), dir / L"out.txt").wait();
    EXPECT_EQ(run.exitCode, 0u) << run.output;

    const std::string record = stubRecord(game);
    EXPECT_NE(record.find("cmd=\"" + toUtf8(launcher) + "\" " + toUtf8(arguments) + "\n"), std::string::npos)
        << record;
    EXPECT_NE(record.find("cwd=" + toUtf8(game) + "\n"), std::string::npos) << record;
    std::string bytes;
    ASSERT_TRUE(readWholeFile(launcher + L".old", bytes));
    EXPECT_TRUE(bytes == original) << "the old launcher is kept as .old";
    ASSERT_TRUE(readWholeFile(launcher, bytes));
    EXPECT_TRUE(bytes == stubBytes());

    // The next start of a launcher from that path removes the old one.
    ASSERT_TRUE(CopyFileW(builtLauncher().c_str(), launcher.c_str(), FALSE));
    Process(launcher, L"-headless -nolaunch -manifest https://localhost:1/m.json", dir.path(),
            dir / L"out2.txt")
        .wait();
    EXPECT_FALSE(fileInfo(launcher + L".old"));
}

TEST(Install, ARelativeGameFolderSurvivesASelfUpdate) {
    // Started from the folder above the game with "-dir game"; the restarted launcher runs in
    // its own folder, the game folder, where "game" would name another folder.
    TempDir dir;
    const SelfUpdate update(dir, "hl-relative");
    const std::wstring arguments = L"-headless -nolaunch -manifest " + toWide(update.url) + L" -dir=game";
    EXPECT_EQ(Process(update.launcher, arguments, dir.path(), dir / L"out.txt").wait().exitCode, 0u);
    const std::string record = stubRecord(update.game);
    EXPECT_NE(record.find(" -dir=" + toUtf8(update.game) + "\n"), std::string::npos) << record;
}

TEST(Install, GameFolderFoundFromWhereTheLauncherSits) {
    const std::string url = manifestUrlOf(stubBuild("hl-where"));
    // Among other files: the game gets a folder of its own, found again next time.
    TempDir desk;
    const std::wstring launcher = desk / L"Vellumark Launcher.exe";
    ASSERT_TRUE(CopyFileW(builtLauncher().c_str(), launcher.c_str(), FALSE));
    make(desk / L"holiday.jpg", "jpg");
    const std::wstring args = L"-headless -nolaunch -manifest " + toWide(url);
    EXPECT_EQ(Process(launcher, args, desk.path(), desk / L"out.txt").wait().exitCode, 0u);
    EXPECT_TRUE(fileInfo(desk / LR"(Vellumark\.launcher-state.json)"));
    EXPECT_TRUE(fileInfo(desk / LR"(Vellumark\Vellumark Online.exe)"));
    EXPECT_FALSE(fileInfo(desk / L".launcher-state.json"));
    const ProcessRun again = Process(launcher, args, desk.path(), desk / L"out.txt").wait();
    EXPECT_EQ(lastLine(again.output), "Ready to play! | Your game is up to date.");

    // Alone in a folder: the game goes next to it.
    TempDir alone, elsewhere;
    const std::wstring single = alone / L"Vellumark Launcher.exe";
    ASSERT_TRUE(CopyFileW(builtLauncher().c_str(), single.c_str(), FALSE));
    const ProcessRun lone = Process(single, args, alone.path(), elsewhere / L"out.txt").wait();
    EXPECT_EQ(lone.exitCode, 0u) << lone.output;
    EXPECT_TRUE(fileInfo(alone / L"Vellumark Online.exe"));
}

TEST(Install, OldInstallIsMovedIntoTheNewNames) {
    GameBuild b = stubBuild("hl-legacy");
    const std::string level = b.files["Vellumark Online_Data/level.pak"];
    const std::string url = manifestUrlOf(b);
    TempDir game;
    const std::wstring launcher = game / L"Vellumark Launcher.exe";
    ASSERT_TRUE(CopyFileW(builtLauncher().c_str(), launcher.c_str(), FALSE));
    make(game / L"Vellumark.exe", "the old game");
    make(game / LR"(Vellumark_Data\level.pak)", level);
    std::int64_t logSize = 0;
    fileInfo(logFilePath(), &logSize);
    const std::size_t requestsFrom = accessLogSize();

    EXPECT_EQ(
        Process(launcher, L"-headless -nolaunch -manifest " + toWide(url), game.path(), game / L"out.txt")
            .wait()
            .exitCode,
        0u);
    std::string log;
    readWholeFile(logFilePath(), log);
    log = log.substr(static_cast<std::size_t>(logSize));
    EXPECT_NE(log.find(" moved Vellumark_Data to Vellumark Online_Data\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" renamed Vellumark.exe to Vellumark Online.exe\n"), std::string::npos) << log;
    EXPECT_FALSE(fileInfo(game / L"Vellumark_Data"));
    const std::string requests = accessLogFrom(requestsFrom);
    EXPECT_EQ(requests.find("level.pak"), std::string::npos) << "the moved data is not fetched again";
    EXPECT_NE(requests.find("GET /hl-legacy/Vellumark%20Online.exe "), std::string::npos)
        << "the renamed old game differs and is fetched";
    std::string bytes;
    ASSERT_TRUE(readWholeFile(game / L"Vellumark Online.exe", bytes));
    EXPECT_TRUE(bytes == stubBytes());
}

TEST(Install, AKilledUpdateKeepsTheChunksThatLandedAndNeverPlaysHalfWritten) {
    constexpr int chunks = 48, size = chunks * 65536;
    const std::string first = pattern(size, 5);
    const struct {
        const char* name;
        std::string next;
        int fetched; // the chunks the update fetches
    } cases[] = {
        // Every chunk new: mended in place.
        {"in place", pattern(size, 6), chunks},
        // 1 KiB in front of the first quarter, the rest new: rebuilt beside the old copy from
        // the eleven chunks it holds at their new offsets.
        {"rebuilt", std::string(1024, 'x') + first.substr(0, 12 * 65536) + pattern(36 * 65536 - 1024, 7), 37},
    };
    for (const auto& c : cases) {
        GameBuild b = stubBuild("resume");
        b.files["data/pack.pak"] = first;
        const std::string url = manifestUrlOf(b);
        TempDir dir;
        const std::wstring game = dir / L"game";
        const std::wstring args = L"-headless -nolaunch -manifest " + toWide(url) + L" -dir " + quoted(game);
        ASSERT_EQ(Process(builtLauncher(), args, dir.path(), dir / L"first.txt").wait().exitCode, 0u);

        // The next build comes at a chunk a second a connection: the kill lands with about half
        // of what it fetches in place.
        b.files["data/pack.pak"] = c.next;
        b.publishAll();
        publishManifest("resume", b.manifest(httpsUrl("/rate/65536/resume/")));
        const auto answered = [](std::size_t mark) { // chunks of the pack nginx sent in full
            std::istringstream log(accessLogFrom(mark));
            const std::string start = "GET /rate/65536/resume/data/pack.pak HTTP/1.1 206 range=\"bytes=";
            long long n = 0, from = 0, to = 0;
            for (std::string line; std::getline(log, line);) {
                if (line.starts_with(start) && line.ends_with("=OK") &&
                    std::sscanf(line.c_str() + start.size(), "%lld-%lld", &from, &to) == 2)
                    n += (to - from + 65536) / 65536; // adjacent chunks may share a request
            }
            return static_cast<int>(n);
        };
        std::size_t mark = accessLogSize();
        int landed = 0;
        {
            Process update(builtLauncher(), args, dir.path(), dir / L"killed.txt");
            for (int waited = 0; waited < 60000 && (landed = answered(mark)) < c.fetched / 2 - 2;
                 waited += 20)
                Sleep(20);
            update.kill(); // as a crash or a power cut ends it
        }
        // Part old, part new: no offline play over that.
        const ProcessRun offline =
            headless(dir, L"-manifest https://localhost:1/game/manifest.json -dir " + quoted(game));
        EXPECT_EQ(lastLine(offline.output),
                  "Something went wrong | Could not reach the update server. Check your "
                  "internet connection and try again.")
            << c.name;

        mark = accessLogSize();
        const ProcessRun second = Process(builtLauncher(), args, dir.path(), dir / L"second.txt").wait();
        EXPECT_EQ(lastLine(second.output), "Ready to play! | Update complete. Have fun!") << c.name;
        // What landed stays; only a chunk in flight on each of the six workers may come again.
        EXPECT_LE(answered(mark), c.fetched - landed + 6) << c.name << ": " << landed << " chunks had landed";
        std::string bytes;
        ASSERT_TRUE(readWholeFile(joinPath(game, LR"(data\pack.pak)"), bytes));
        EXPECT_TRUE(bytes == c.next) << c.name;
        EXPECT_FALSE(fileInfo(joinPath(game, LR"(data\pack.pak.part)"))) << c.name;
        EXPECT_EQ(loadInstallState(game).files.size(), b.files.size()) << c.name;
    }
}

} // namespace
