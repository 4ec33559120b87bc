#include "app/log.h"
#include "store/files.h"
#include "store/state.h"
#include "support/game_build.h"
#include "support/temp_dir.h"
#include "sync/sync.h"

#include <shlobj.h>

#include <gtest/gtest.h>

namespace {

void make(const std::wstring& path, const std::string& bytes = "x") {
    std::wstring failed;
    ASSERT_EQ(makeDirs(parentFolder(path), failed), 0u);
    ASSERT_EQ(writeWholeFile(path, bytes), 0u);
}

bool exists(const std::wstring& path) { return fileInfo(path); }

std::vector<std::string> relativeTree(const std::wstring& root) {
    std::vector<std::wstring> files, dirs;
    listTree(root, &files, &dirs);
    std::vector<std::string> out;
    for (const auto& d : dirs) out.push_back(toUtf8(d.substr(root.size() + 1)) + "/");
    for (const auto& f : files) out.push_back(toUtf8(f.substr(root.size() + 1)));
    for (auto& p : out) std::replace(p.begin(), p.end(), '\\', '/');
    std::sort(out.begin(), out.end());
    return out;
}

TEST(Cleanup, ListTreePutsEveryFolderBeforeItsContents) {
    TempDir dir;
    make(dir / LR"(b\c\f.txt)");
    make(dir / L"a.txt");
    std::wstring failed;
    ASSERT_EQ(makeDirs(dir / LR"(b\empty)", failed), 0u);
    std::vector<std::wstring> files, dirs;
    listTree(dir.path(), &files, &dirs);
    EXPECT_EQ(dirs, (std::vector<std::wstring>{dir / L"b", dir / LR"(b\c)", dir / LR"(b\empty)"}));
    EXPECT_EQ(files, (std::vector<std::wstring>{dir / L"a.txt", dir / LR"(b\c\f.txt)"}));
    removeEmptyDirectories(dir.path());
    EXPECT_EQ(relativeTree(dir.path()), (std::vector<std::string>{"a.txt", "b/", "b/c/", "b/c/f.txt"}));
    ASSERT_EQ(removePath(dir / LR"(b\c\f.txt)"), 0u);
    removeEmptyDirectories(dir.path());
    EXPECT_EQ(relativeTree(dir.path()), (std::vector<std::string>{"a.txt"}));
    EXPECT_TRUE(exists(dir.path())); // never the root itself
}

TEST(Cleanup, InterruptedDownloadsAreDiscardedOnlyWithAJournal) {
    TempDir dir;
    make(dir / L"half.pak", "half");
    make(dir / LR"(d\stray.bin.part)");
    make(dir / L"keep.bin");
    discardInterruptedDownloads(dir.path()); // no journal: nothing is debris
    EXPECT_TRUE(exists(dir / LR"(d\stray.bin.part)"));

    writeJournal(dir.path(), {"half.pak", "../outside.bin", "sub/gone.pak"});
    make(dir / LR"(sub\gone.pak)");
    make(dir / L"other.PART");
    discardInterruptedDownloads(dir.path());
    EXPECT_EQ(relativeTree(dir.path()), (std::vector<std::string>{"keep.bin"}));

    // A journal that is not a list of paths names nothing, but the rest still goes.
    make(dir / L"named.pak");
    make(dir / L"x.part");
    ASSERT_EQ(writeWholeFile(dir / journalFileName, R"(["named.pak",5])"), 0u);
    discardInterruptedDownloads(dir.path());
    EXPECT_EQ(relativeTree(dir.path()), (std::vector<std::string>{"keep.bin", "named.pak"}));
}

TEST(Cleanup, PruningKeepsTheManifestsFilesAndTheLaunchersOwn) {
    TempDir dir;
    for (const wchar_t* f : {L"game.exe", LR"(Data\File.pak)", L"x.Part", LR"(sub\Notes.OLD)", L"junk.txt",
                             LR"(old\deep\junk.bin)", L".launcher-state.json"}) {
        make(dir / f);
    }
    pruneUnknownFiles(dir.path(), {"game.exe", "data/file.pak"});
    // Data/File.pak is not data/file.pak byte for byte: it goes, and comes back under the
    // manifest's name.
    EXPECT_EQ(relativeTree(dir.path()),
              (std::vector<std::string>{".launcher-state.json", "game.exe", "sub/", "sub/Notes.OLD", "x.Part"}));
}

TEST(Cleanup, SyncPrunesOnlyARecognisedInstall) {
    GameBuild b;
    b.name = "prune";
    b.files = {{"Vellumark Online.exe", "exe"}, {"data/a.pak", "a"}, {"data/dropped.pak", "d"}};
    const Manifest first = b.publishAll();

    TempDir stranger; // unknown files, no executable, no state: left alone
    make(stranger / L"holiday.jpg");
    SessionStatus status;
    b.files.erase("Vellumark Online.exe");
    ASSERT_FALSE(syncFolder({"", stranger.path(), false}, b.manifest(), status).failed);
    EXPECT_TRUE(exists(stranger / L"holiday.jpg"));

    TempDir game;
    ASSERT_FALSE(syncFolder({"", game.path(), false}, first, status).failed);
    make(game / LR"(cache\unknown.tmp)");
    make(game / L"crash.dmp.part");
    GameBuild next = b;
    next.files = {{"Vellumark Online.exe", "exe"}, {"data/a.pak", "a"}};
    ASSERT_FALSE(syncFolder({"", game.path(), false}, next.manifest(), status).failed);
    EXPECT_EQ(relativeTree(game.path()), (std::vector<std::string>{".launcher-state.json", "Vellumark Online.exe",
                                                                   "crash.dmp.part", "data/", "data/a.pak"}));
}

std::wstring knownFolder(REFKNOWNFOLDERID id) {
    PWSTR p = nullptr;
    std::wstring out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &p))) out = p;
    CoTaskMemFree(p);
    return out;
}

TEST(Cleanup, ProtectedFoldersAreNeverPruned) {
    const std::wstring desktop = knownFolder(FOLDERID_Desktop);
    const std::wstring profile = knownFolder(FOLDERID_Profile);
    ASSERT_FALSE(desktop.empty());
    TempDir temp;
    const struct {
        std::wstring folder;
        bool isProtected;
    } cases[] = {
        {LR"(C:\)", true},
        {L"D:", true},
        {LR"(\\server\share)", true},
        {profile, true},
        {parentFolder(profile), true}, // holds the profile
        {desktop, true},
        {desktop + L"\\", true},
        {knownFolder(FOLDERID_Documents), true},
        {knownFolder(FOLDERID_Windows), true},
        {knownFolder(FOLDERID_ProgramFiles), true},
        {temp.path(), false},
        {joinPath(desktop, L"Vellumark"), false},
        {LR"(\\server\share\Games)", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isProtectedFolder(c.folder), c.isProtected) << toUtf8(c.folder);

    // A stray game executable on the Desktop makes it look like an install: the sync goes
    // on, but nothing of the player's is pruned. (The test prefix's Desktop is a folder of
    // its own, not the link into the Unix home folder.)
    GameBuild b;
    b.name = "desktop";
    b.files = {{"Vellumark Online.exe", "exe"}};
    const Manifest m = b.publishAll();
    const std::wstring mine = joinPath(desktop, L"my letter.txt");
    make(mine, "dear");
    make(joinPath(desktop, L"Vellumark Online.exe"), "stray");
    std::int64_t logSize = 0;
    fileInfo(logFilePath(), &logSize);
    SessionStatus status;
    const FileError e = syncFolder({"", desktop, false}, m, status);
    std::string log;
    readWholeFile(logFilePath(), log);
    EXPECT_FALSE(e.failed) << e.message;
    EXPECT_TRUE(exists(mine));
    EXPECT_NE(log.find("prune skipped: " + toUtf8(desktop) + "\n", static_cast<std::size_t>(logSize)),
              std::string::npos);
    for (const wchar_t* f : {L"my letter.txt", L"Vellumark Online.exe", L".launcher-state.json"}) {
        removePath(joinPath(desktop, f));
    }
}

} // namespace
