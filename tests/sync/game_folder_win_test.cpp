#include "app/launch.h"
#include "base/log.h"
#include "store/files.h"
#include "support/temp_dir.h"
#include "sync/game_folder.h"
#include "sync/state.h"

#include <gtest/gtest.h>

namespace {

void make(const std::wstring& path, const std::string& bytes = "x") {
    std::wstring failed;
    ASSERT_EQ(makeDirs(path.substr(0, path.find_last_of(L'\\')), failed), 0u);
    ASSERT_FALSE(writeWholeFile(path, bytes).failed);
}

void makeDir(const std::wstring& path) {
    std::wstring failed;
    ASSERT_EQ(makeDirs(path, failed), 0u);
}

std::string read(const std::wstring& path) {
    std::string bytes;
    return readWholeFile(path, bytes) ? bytes : "<missing>";
}

// Log lines written since the mark, without their time stamps.
class LogMark {
public:
    LogMark() { fileInfo(logFilePath(), &size_); }
    std::vector<std::string> lines() const {
        std::string text;
        readWholeFile(logFilePath(), text);
        std::vector<std::string> out;
        std::size_t at = static_cast<std::size_t>(size_);
        while (at < text.size()) {
            const std::size_t end = text.find('\n', at);
            out.push_back(text.substr(at + 20, end - at - 20));
            at = end + 1;
        }
        return out;
    }

private:
    std::int64_t size_ = 0;
};

TEST(GameFolder, ResolvedFromWhereTheLauncherSits) {
    TempDir dir;
    const std::wstring exe = dir / L"Vellumark Launcher.exe";
    const std::wstring sub = dir / L"Vellumark";
    make(exe);
    EXPECT_EQ(resolveGameFolder(exe), dir.path()); // alone
    make(exe + L".old");
    makeDir(sub);
    EXPECT_EQ(resolveGameFolder(exe), dir.path()); // with its leftover and a non-game subfolder

    make(dir / L"holiday.jpg");
    EXPECT_EQ(resolveGameFolder(exe), sub); // among other files
    make(sub + L"\\.launcher-state.json", "{}");
    EXPECT_EQ(resolveGameFolder(exe), sub); // found again by its state file

    make(dir / L"Vellumark.exe");
    EXPECT_EQ(resolveGameFolder(exe), dir.path()); // inside a game folder
}

TEST(GameFolder, TheRecordedExecutableObeysThePathRule) {
    TempDir dir;
    const std::wstring game = dir / L"game";
    make(dir / L"outside.exe");
    make(game + LR"(\bin\game.exe)");
    const struct {
        std::string recorded;
        std::string chosen;
    } cases[] = {
        {"bin/game.exe", "bin/game.exe"},
        {"../outside.exe", "Vellumark Online.exe"}, // a state file is no way out of the folder
        {"nul .exe", "Vellumark Online.exe"},
    };
    for (const auto& c : cases) {
        InstallState state;
        state.exe = c.recorded;
        ASSERT_FALSE(writeWholeFile(joinPath(game, stateFileName), serializeInstallState(state)).failed);
        EXPECT_EQ(findGameExe(game), c.chosen) << c.recorded;
    }
}

Manifest manifestFor(const std::string& exe, std::vector<std::string> paths) {
    Manifest m;
    m.baseUrl = "https://h/";
    m.exe = exe;
    for (auto& p : paths)
        m.files.push_back({std::move(p), 1, std::string(64, 'a'), {}});
    return m;
}

TEST(GameFolder, MigrationMovesTheDataFolderWholeAndRenamesTheExecutable) {
    TempDir game;
    make(game / L"Vellumark.exe", "old exe");
    make(game / LR"(Vellumark_Data\level1.pak)", "level");
    InstallState state;
    state.files["Vellumark_Data/level1.pak"] = {5, 42, "digest"};
    state.files["vellumark.exe"] = {7, 43, "exe digest"};
    state.files["other"] = {1, 1, "o"};
    const Manifest m = manifestFor("Vellumark Online.exe",
                                   {"Vellumark Online.exe", "Vellumark Online_Data/level1.pak", "other"});
    const LogMark mark;
    migrateLegacyInstall(game.path(), m, state);

    EXPECT_EQ(read(game / LR"(Vellumark Online_Data\level1.pak)"), "level");
    EXPECT_EQ(read(game / L"Vellumark Online.exe"), "old exe");
    EXPECT_FALSE(fileInfo(game / L"Vellumark_Data"));
    EXPECT_FALSE(fileInfo(game / L"Vellumark.exe"));
    EXPECT_EQ(mark.lines(), (std::vector<std::string>{"moved Vellumark_Data to Vellumark Online_Data",
                                                      "renamed Vellumark.exe to Vellumark Online.exe"}));
    // Records follow the files, so the check accepts them without reading them.
    ASSERT_TRUE(state.files.contains("Vellumark Online_Data/level1.pak"));
    EXPECT_EQ(state.files["Vellumark Online_Data/level1.pak"].sha, "digest");
    EXPECT_EQ(state.files["Vellumark Online_Data/level1.pak"].mtime, 42);
    EXPECT_EQ(state.files["Vellumark Online.exe"].sha, "exe digest");
    EXPECT_TRUE(state.files.contains("Vellumark_Data/level1.pak")); // old keys stay
}

TEST(GameFolder, MigrationMovesOnlyMissingFilesWhenBothDataFoldersExist) {
    TempDir game;
    make(game / LR"(Old_Data\a.pak)", "old a");
    make(game / LR"(Old_Data\sub\b.pak)", "old b");
    make(game / LR"(Old_Data\c.pak)", "old c");
    make(game / LR"(Old_Data\unlisted.pak)", "u");
    make(game / LR"(New_Data\a.pak)", "new a");
    InstallState state;
    state.exe = "Old.exe";
    state.files["New_Data/sub/b.pak"] = {9, 9, "kept"};
    state.files["Old_Data/sub/b.pak"] = {1, 1, "old"};
    const Manifest m =
        manifestFor("New.exe", {"New.exe", "New_Data/a.pak", "new_data/sub/b.pak", "New_Data/c.pak"});
    const LogMark mark;
    migrateLegacyInstall(game.path(), m, state);

    EXPECT_EQ(read(game / LR"(New_Data\a.pak)"), "new a"); // already there: left alone
    EXPECT_EQ(read(game / LR"(Old_Data\a.pak)"), "old a");
    EXPECT_EQ(read(game / LR"(New_Data\sub\b.pak)"), "old b");
    EXPECT_EQ(read(game / LR"(New_Data\c.pak)"), "old c");
    EXPECT_EQ(read(game / LR"(Old_Data\unlisted.pak)"), "u");
    EXPECT_EQ(mark.lines(), (std::vector<std::string>{"moved 2 files from Old_Data to New_Data"}));
    EXPECT_EQ(state.files["New_Data/sub/b.pak"].sha, "kept"); // an existing record wins
}

TEST(GameFolder, MigrationLeavesAloneWhatItMustNotTouch) {
    TempDir game;
    make(game / L"Vellumark.exe", "old exe");
    make(game / LR"(Vellumark_Data\a.pak)", "a");
    make(game / LR"(Game_Data\a.pak)", "new a");
    const struct {
        Manifest manifest;
    } cases[] = {
        {manifestFor("bin/Game.exe", {"bin/Game.exe"})},          // a folder part
        {manifestFor("Game", {"Game"})},                          // no ".exe"
        {manifestFor("Game.exe", {"Game.exe", "Vellumark.exe"})}, // still ships the old name
        {manifestFor("VELLUMARK.EXE", {"VELLUMARK.EXE"})},        // the same stem
    };
    for (const auto& c : cases) {
        InstallState state;
        const LogMark mark;
        migrateLegacyInstall(game.path(), c.manifest, state);
        EXPECT_TRUE(mark.lines().empty()) << c.manifest.exe;
        EXPECT_EQ(read(game / L"Vellumark.exe"), "old exe");
        EXPECT_EQ(read(game / LR"(Vellumark_Data\a.pak)"), "a");
    }
    // Both data folders, nothing missing: no line with a count of 0, and the rename alone.
    InstallState state;
    const LogMark mark;
    migrateLegacyInstall(game.path(), manifestFor("Game.exe", {"Game.exe", "Game_Data/a.pak"}), state);
    EXPECT_EQ(mark.lines(), (std::vector<std::string>{"renamed Vellumark.exe to Game.exe"}));
}

} // namespace
