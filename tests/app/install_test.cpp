// Installs through the real launcher: replacing its own executable, finding and migrating
// the game folder, and surviving a kill in the middle of a download.
#include "app/log.h"
#include "store/state.h"
#include "support/launcher_runs.h"

#include <gtest/gtest.h>

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

TEST(Install, KilledInTheMiddleOfAChunkedDownloadEndsRightNextTime) {
    // Chunks come slowly from the fault server (2 s each, every byte a space).
    Manifest m;
    m.version = "crash";
    m.baseUrl = faultUrl("/slow/");
    m.exe = "game.exe";
    m.chunkSize = 100000;
    const std::string big(400000, ' ');
    m.files = {{"data.pak", 400000, sha256Of(big), {}}, {"game.exe", 10, sha256Of(std::string(10, ' ')), {}}};
    for (int i = 0; i < 4; ++i)
        m.files[0].chunks.push_back(sha256Of(big.substr(i * 100000, 100000)));
    const std::string url = publishManifest("hl-crash", m);

    TempDir dir;
    const std::wstring game = dir / L"game";
    const std::wstring args = L"-headless -nolaunch -manifest " + toWide(url) + L" -dir " + quoted(game);
    {
        const std::size_t mark = faultLogSize();
        Process first(builtLauncher(), args, dir.path(), dir / L"first.txt");
        waitForFaultArrivals(mark, "/slow/data.pak", 4); // every chunk in flight
        ASSERT_TRUE(fileInfo(joinPath(game, journalFileName))) << "the download phase never began";
        first.kill();
    }
    std::int64_t size = 0;
    ASSERT_TRUE(fileInfo(joinPath(game, L"data.pak"), &size));
    EXPECT_EQ(size, 400000); // prepared at full size, its chunks not yet in place

    const ProcessRun second = Process(builtLauncher(), args, dir.path(), dir / L"second.txt").wait();
    EXPECT_EQ(second.exitCode, 0u);
    EXPECT_EQ(lastLine(second.output), "Ready to play! | Update complete. Have fun!");
    std::string bytes;
    ASSERT_TRUE(readWholeFile(joinPath(game, L"data.pak"), bytes));
    EXPECT_TRUE(bytes == big);
    EXPECT_FALSE(fileInfo(joinPath(game, journalFileName)));
    const InstallState state = loadInstallState(game);
    EXPECT_EQ(state.files.size(), 2u);
}

} // namespace
