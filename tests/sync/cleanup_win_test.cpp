#include "base/log.h"
#include "store/files.h"
#include "support/game_build.h"
#include "support/temp_dir.h"
#include "support/unix_link.h"
#include "sync/cleanup.h"
#include "sync/file_index.h"
#include "sync/folder_guard.h"
#include "sync/state.h"
#include "sync/sync.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

void make(const std::wstring& path, const std::string& bytes = "x") {
    std::wstring failed;
    ASSERT_EQ(makeDirs(parentFolder(path), failed), 0u);
    ASSERT_FALSE(writeWholeFile(path, bytes).failed);
}

bool exists(const std::wstring& path) {
    return fileInfo(path);
}

std::vector<std::string> relativeTree(const std::wstring& root) {
    std::vector<std::wstring> files, dirs;
    listTree(root, &files, &dirs);
    std::vector<std::string> out;
    for (const auto& d : dirs)
        out.push_back(toUtf8(d.substr(root.size() + 1)) + "/");
    for (const auto& f : files)
        out.push_back(toUtf8(f.substr(root.size() + 1)));
    for (auto& p : out)
        std::replace(p.begin(), p.end(), '\\', '/');
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

TEST(Cleanup, ClosingTheJournalRemovesOnlyTheNamedPartFiles) {
    TempDir dir;
    make(dir / L"half.pak", "half");
    make(dir / L"half.pak.part");
    make(dir / LR"(sub\gone.pak.part)");
    make(dir / LR"(d\stray.bin.part)");
    make(dir / L"my draft.part");
    ASSERT_FALSE(writeJournal(dir.path(), {"half.pak", "../outside.bin", "sub/gone.pak"}).failed);
    closeJournal(dir.path(), loadJournal(dir.path()));
    EXPECT_EQ(relativeTree(dir.path()),
              (std::vector<std::string>{"d/", "d/stray.bin.part", "half.pak", "my draft.part", "sub/"}));
}

FileSystemPaths pathsOf(std::initializer_list<const char*> paths) {
    FileSystemPaths set;
    for (const char* p : paths)
        set.add(p);
    return set;
}

TEST(Cleanup, PruningKeepsTheManifestsFilesAndTheLaunchersOwn) {
    TempDir dir;
    for (const wchar_t* f : {L"game.exe", LR"(Data\File.pak)", L"x.Part", LR"(sub\Notes.OLD)", L"junk.txt",
                             LR"(old\deep\junk.bin)", L".launcher-state.json", L"lead.txt", LR"(a\b.txt)",
                             L"CAF\u00C9.pak", L"caf\u00E9.junk"}) {
        make(dir / f);
    }
    // A junction the player made for a folder of the game stays, with what it leads to.
    TempDir elsewhere;
    make(elsewhere / L"big.pak");
    const UnixLink packs(elsewhere.path(), dir / L"packs");
    ASSERT_TRUE(packs.made());
    // The file system finds every one of these under the other spelling.
    FileIndex index;
    pruneUnknownFiles(
        dir.path(),
        pathsOf({"game.exe", "data/file.pak", "\\lead.txt", "a//b.txt", "caf\xC3\xA9.pak", "packs/big.pak"}),
        index);
    EXPECT_EQ(relativeTree(dir.path()),
              (std::vector<std::string>{".launcher-state.json", "CAF\xC3\x89.pak", "Data/", "Data/File.pak",
                                        "a/", "a/b.txt", "game.exe", "lead.txt", "packs", "sub/",
                                        "sub/Notes.OLD", "x.Part"}));
    EXPECT_TRUE(exists(elsewhere / L"big.pak"));
}

TEST(Cleanup, SyncPrunesOnlyARecognisedInstall) {
    GameBuild b;
    b.name = "prune";
    b.files = {{"Vellumark Online.exe", "exe"}, {"data/a.pak", "a"}, {"data/dropped.pak", "d"}};
    const Manifest first = b.publishAll();

    // A folder that held other things at the first install is shared: what the launcher did not
    // put there stays through updates, repairs and a lost state file; what it put there and a
    // later build dropped goes.
    TempDir shared;
    make(shared / LR"(Other Game\save.dat)");
    make(shared / L"notes.txt");
    SessionStatus status;
    GameBuild next = b;
    next.files = {{"Vellumark Online.exe", "exe"}, {"data/a.pak", "a"}};
    ASSERT_FALSE(syncFolder({"", shared.path(), false}, first, status).failed);
    make(shared / LR"(data\mine.txt)");
    ASSERT_FALSE(syncFolder({"", shared.path(), false}, next.manifest(), status).failed);
    ASSERT_EQ(removePath(shared / stateFileName), 0u);
    ASSERT_FALSE(syncFolder({"", shared.path(), true}, next.manifest(), status).failed);
    EXPECT_EQ(relativeTree(shared.path()),
              (std::vector<std::string>{".launcher-shared", ".launcher-state.json", "Other Game/",
                                        "Other Game/save.dat", "Vellumark Online.exe", "data/", "data/a.pak",
                                        "data/mine.txt", "notes.txt"}));

    TempDir game;
    ASSERT_FALSE(syncFolder({"", game.path(), false}, first, status).failed);
    make(game / LR"(cache\unknown.tmp)");
    make(game / L"crash.dmp.part");
    ASSERT_FALSE(syncFolder({"", game.path(), false}, next.manifest(), status).failed);
    EXPECT_EQ(relativeTree(game.path()),
              (std::vector<std::string>{".launcher-state.json", "Vellumark Online.exe", "crash.dmp.part",
                                        "data/", "data/a.pak"}));
}

TEST(Cleanup, AFolderSwappedForALinkReachesNothingElsewhere) {
    // While the next build's pack trickles in, "mods" (a dropped file and an unknown one in it)
    // is swapped for a link to a folder elsewhere holding files of the same names.
    GameBuild b;
    b.name = "swap";
    b.files = {{"Vellumark Online.exe", "exe"}, {"mods/old.txt", "old"}};
    TempDir game, elsewhere;
    SessionStatus status;
    ASSERT_FALSE(syncFolder({"", game.path(), false}, b.publishAll(), status).failed);
    make(game / LR"(mods\cache.bin)");
    for (const wchar_t* name : {L"cache.bin", L"old.txt"})
        make(elsewhere / name, "theirs");
    b.files = {{"Vellumark Online.exe", "exe"}, {"data/pack.pak", pattern(8 * 65536, 3)}};
    b.publishAll();
    FileError result;
    std::thread update([&] {
        result = syncFolder({"", game.path(), false}, b.manifest(httpsUrl("/rate/65536/swap/")), status);
    });
    while (takeSnapshot(status).phase != SessionPhase::Downloading)
        Sleep(5);
    EXPECT_TRUE(MoveFileW((game / L"mods").c_str(), (game / L"mods-away").c_str()));
    const UnixLink link(elsewhere.path(), game / L"mods");
    update.join();
    EXPECT_TRUE(link.made());
    EXPECT_FALSE(result.failed) << result.message;

    // A whole file is never written through it either.
    b.files["mods/new.txt"] = "new";
    EXPECT_EQ(syncFolder({"", game.path(), false}, b.publishAll(), status, RetryPause{1}).message,
              "mods/new.txt: a folder on the way leads outside the game folder");
    EXPECT_EQ(relativeTree(elsewhere.path()), (std::vector<std::string>{"cache.bin", "old.txt"}));
}

TEST(Cleanup, NoChunkedFileIsWrittenThroughALinkToAFolderElsewhere) {
    // "saves" in the game folder leads to a folder elsewhere that holds the player's notes.txt,
    // in a game folder of a short path and of a long one.
    const std::string mine = pattern(3 * 65536, 7);
    const struct {
        const char* path;
        bool rolling; // with rolling sums the file is rebuilt beside the old copy
    } rows[] = {{"saves/notes.txt", false}, {"saves/notes.txt", true}, {"saves/new.pak", true}};
    for (const std::size_t length : {0u, 300u}) {
        for (const auto& row : rows) {
            TempDir dir, elsewhere;
            std::wstring game = dir.path();
            while (game.size() < length)
                game = joinPath(game, std::wstring(60, L'g'));
            std::wstring failed;
            ASSERT_EQ(makeDirs(game, failed), 0u);
            make(elsewhere / L"notes.txt", mine);
            const UnixLink link(elsewhere.path(), joinPath(game, L"saves"));
            ASSERT_TRUE(link.made());
            GameBuild b;
            b.name = "link-chunked";
            b.files = {{"Vellumark Online.exe", "exe"}, {row.path, pattern(2 * 65536 + 9, 8)}};
            Manifest m = b.publishAll();
            for (ManifestFile& f : m.files) {
                if (!row.rolling) f.rolling.clear();
            }
            SessionStatus status;
            EXPECT_EQ(syncFolder({"", game, false}, m, status, RetryPause{1}).message,
                      std::string(row.path) + ": a folder on the way leads outside the game folder")
                << row.path << " " << row.rolling << " " << length;
            EXPECT_EQ(relativeTree(elsewhere.path()), (std::vector<std::string>{"notes.txt"})) << row.path;
            std::string bytes;
            EXPECT_TRUE(readWholeFile(elsewhere / L"notes.txt", bytes) && bytes == mine) << row.path;
        }
    }
}

TEST(Cleanup, AFolderFilesAreWrittenInCannotMoveUntilTheyAreIn) {
    // Each folder is checked once, before its first file: it and every folder on its way stay
    // where they are until the files are moved in, so no later swap can redirect a move.
    GameBuild b;
    b.name = "held";
    b.chunkThreshold = std::int64_t{1} << 40; // every file whole
    b.files = {{"Vellumark Online.exe", "exe"}, {"data/sub/a.pak", pattern(4 * 65536, 1)}};
    b.publishAll();
    TempDir game;
    SessionStatus status;
    FileError result;
    std::thread update([&] {
        result = syncFolder({"", game.path(), false}, b.manifest(httpsUrl("/rate/65536/held/")), status);
    });
    while (!fileInfo(game / LR"(data\sub\a.pak.part)"))
        Sleep(5);
    for (const std::wstring& folder : {game / LR"(data\sub)", game / L"data", game.path()})
        EXPECT_FALSE(MoveFileW(folder.c_str(), (folder + L"-away").c_str()));
    update.join();
    EXPECT_FALSE(result.failed) << result.message;
    EXPECT_EQ(relativeTree(game / L"data"), (std::vector<std::string>{"sub/", "sub/a.pak"}));
    EXPECT_TRUE(MoveFileW((game / L"data").c_str(), (game / L"away").c_str())); // held no longer
}

std::wstring knownFolder(REFKNOWNFOLDERID id) {
    PWSTR p = nullptr;
    std::wstring out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &p))) out = p;
    CoTaskMemFree(p);
    return out;
}

// Points the prefix's Desktop at a folder of the test's own for its lifetime, so that a
// fault can only ever empty that folder.
class RedirectedDesktop {
public:
    RedirectedDesktop() {
        RegOpenKeyExW(HKEY_CURRENT_USER,
                      LR"(Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders)", 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
        DWORD size = sizeof old_;
        saved_ =
            RegQueryValueExW(key_, L"Desktop", nullptr, &type_, reinterpret_cast<BYTE*>(old_), &size) == 0;
        oldSize_ = size;
        set(REG_EXPAND_SZ, folder_.path().c_str(), (folder_.path().size() + 1) * sizeof(wchar_t));
    }
    ~RedirectedDesktop() {
        if (saved_) set(type_, old_, oldSize_);
        RegCloseKey(key_);
    }
    const std::wstring& path() const { return folder_.path(); }

private:
    void set(DWORD type, const wchar_t* value, std::size_t bytes) {
        RegSetValueExW(key_, L"Desktop", 0, type, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(bytes));
    }
    TempDir folder_;
    HKEY key_ = nullptr;
    wchar_t old_[1024] = {};
    DWORD type_ = REG_EXPAND_SZ, oldSize_ = 0;
    bool saved_ = false;
};

TEST(Cleanup, ProtectedFoldersAreNeverPruned) {
    RedirectedDesktop desktopFolder;
    const std::wstring desktop = desktopFolder.path();
    ASSERT_EQ(knownFolder(FOLDERID_Desktop), desktop);
    const std::wstring profile = knownFolder(FOLDERID_Profile);
    TempDir temp;
    const std::wstring link = temp / L"to desktop";
    const UnixLink toDesktop(desktop, link);
    ASSERT_TRUE(toDesktop.made());
    std::wstring failed;
    ASSERT_EQ(makeDirs(joinPath(desktop, L"sub"), failed), 0u);
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
        {desktop + LR"(\.)", true},
        {desktop + LR"(\sub\..)", true},
        {LR"(\\?\)" + desktop, true},
        {link, true},
        {knownFolder(FOLDERID_Documents), true},
        {knownFolder(FOLDERID_Pictures), true},
        {knownFolder(FOLDERID_SavedGames), true},
        {knownFolder(FOLDERID_Public), true},
        {knownFolder(FOLDERID_ProgramData), true},
        {knownFolder(FOLDERID_Windows), true},
        {knownFolder(FOLDERID_ProgramFiles), true},
        {temp.path(), false},
        {joinPath(desktop, L"sub"), false},
        {LR"(\\server\share\Games)", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isProtectedFolder(c.folder), c.isProtected) << toUtf8(c.folder);

    // A stray game executable on the Desktop makes it look like an install: the sync goes
    // on, but nothing of the player's is pruned, whichever way the folder is written.
    GameBuild b;
    b.name = "desktop";
    b.files = {{"Vellumark Online.exe", "exe"}};
    const Manifest m = b.publishAll();
    const std::wstring mine = joinPath(desktop, L"my letter.txt");
    for (const std::wstring& spelling : {desktop + LR"(\sub\..)", LR"(\\?\)" + desktop, link}) {
        make(mine, "dear");
        make(joinPath(desktop, L"Vellumark Online.exe"), "stray");
        std::int64_t logSize = 0;
        fileInfo(logFilePath(), &logSize);
        SessionStatus status;
        const FileError e = syncFolder({"", spelling, false}, m, status);
        std::string log;
        readWholeFile(logFilePath(), log);
        EXPECT_FALSE(e.failed) << e.message;
        EXPECT_TRUE(exists(mine)) << toUtf8(spelling);
        EXPECT_NE(log.find("prune skipped: ", static_cast<std::size_t>(logSize)), std::string::npos);
    }
}

} // namespace
