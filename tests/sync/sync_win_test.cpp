#include "app/session.h"
#include "base/log.h"
#include "base/threads.h"
#include "store/files.h"
#include "support/game_build.h"
#include "support/temp_dir.h"
#include "sync/cleanup.h"
#include "sync/download.h"
#include "sync/folder_guard.h"
#include "sync/state.h"
#include "sync/sync.h"
#include "sync/workers.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace {

constexpr RetryPause noPause{1};

std::wstring local(const std::wstring& folder, const std::string& path) {
    std::wstring out;
    EXPECT_FALSE(resolveManifestPath(folder, path, out).failed);
    return out;
}

std::string contentOf(const std::wstring& path) {
    std::string bytes;
    return readWholeFile(path, bytes) ? bytes : "<missing>";
}

struct Outcome {
    FileError error;
    SessionSnapshot status;
};

Outcome sync(const std::wstring& folder, const Manifest& m, bool repair = false) {
    SessionOptions options{"unused", folder, repair};
    SessionStatus status;
    FileError e = syncFolder(options, m, status, noPause);
    return {std::move(e), takeSnapshot(status)};
}

// Requests nginx logged for a build since the mark.
class RequestLog {
public:
    explicit RequestLog(std::string build)
        : build_("GET /" + std::move(build) + "/"), start_(accessLogSize()) {}
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::istringstream in(accessLogFrom(start_));
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with(build_)) out.push_back(line);
        }
        return out;
    }

private:
    std::string build_;
    std::size_t start_;
};

GameBuild sampleBuild(const std::string& name) {
    GameBuild b;
    b.name = name;
    b.files = {
        {"Vellumark Online.exe", pattern(3000, 1)},
        {"readme.txt", "hello"},
        {"empty.dat", ""},
        {"Vellumark Online_Data/level 1.pak", pattern(5000, 2)},
        {"Vellumark Online_Data/caf\xC3\xA9/\xE2\x82\xAC uro.bin", pattern(777, 3)},
        {"Vellumark Online_Data/deep/er/still/x y.cfg", "cfg"},
        {"big/one.pak", pattern(65536 * 3 + 1000, 4)}, // four chunks, the last of 1000 bytes
        {"big/two.pak", pattern(65536 * 2 + 5, 5)},    // three chunks, the last of 5 bytes
    };
    return b;
}

InstallState expectedState(const std::wstring& folder, const Manifest& m) {
    InstallState s;
    s.version = m.version;
    s.exe = m.exe;
    for (const ManifestFile& f : m.files) {
        std::int64_t size = 0, mtime = 0;
        EXPECT_TRUE(fileInfo(local(folder, f.path), &size, &mtime)) << f.path;
        s.files[f.path] = {size, mtime, f.sha256};
    }
    return s;
}

void expectInstalled(const std::wstring& folder, const GameBuild& b, const Manifest& m) {
    for (const auto& [path, content] : b.files)
        EXPECT_EQ(contentOf(local(folder, path)), content) << path;
    EXPECT_EQ(contentOf(joinPath(folder, stateFileName)), serializeInstallState(expectedState(folder, m)));
    EXPECT_FALSE(fileInfo(joinPath(folder, journalFileName)));
    std::vector<std::wstring> files;
    listTree(folder, &files, nullptr);
    for (const auto& f : files)
        EXPECT_FALSE(f.ends_with(L".part")) << toUtf8(f);
}

TEST(Sync, FreshInstallThenNothingToDo) {
    TempDir dir;
    const std::wstring game = dir / L"Vellumark";
    const GameBuild b = sampleBuild("fresh");
    const Manifest m = b.publishAll();
    RequestLog requests("fresh");

    const Outcome first = sync(game, m);
    ASSERT_FALSE(first.error.failed) << first.error.message;
    EXPECT_EQ(first.status.phase, SessionPhase::Ready);
    EXPECT_FALSE(first.status.upToDate);
    std::int64_t total = 0;
    for (const auto& [path, content] : b.files)
        total += static_cast<std::int64_t>(content.size());
    EXPECT_EQ(first.status.bytesDone, total);
    EXPECT_EQ(first.status.bytesTotal, total);
    EXPECT_EQ(first.status.filesChecked, 8);
    EXPECT_EQ(first.status.version, "fresh-1");
    expectInstalled(game, b, m);
    EXPECT_EQ(requests.lines().size(), 6u + 4u + 3u); // six whole files, seven chunks

    // The second run trusts the state file: with every file locked against any opening, it
    // still finds everything current and asks for nothing.
    std::vector<FileHandle> locks;
    for (const auto& [path, content] : b.files) {
        locks.emplace_back(
            CreateFileW(local(game, path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locks.back().valid()) << path;
    }
    RequestLog again("fresh");
    const Outcome second = sync(game, m);
    ASSERT_FALSE(second.error.failed) << second.error.message;
    EXPECT_TRUE(second.status.upToDate);
    EXPECT_TRUE(again.lines().empty());
    locks.clear();
    expectInstalled(game, b, m);
}

// Writes bytes at an offset of a file; keepTime gives the file its write time back, so that
// only hashing can tell.
void overwrite(const std::wstring& path, std::int64_t at, const std::string& bytes, bool keepTime = false) {
    FileHandle h(
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(h.valid());
    FILETIME written;
    ASSERT_TRUE(GetFileTime(h.get(), nullptr, nullptr, &written));
    ASSERT_EQ(writeAll(h.get(), bytes.data(), bytes.size(), path, at), 0u);
    if (keepTime) {
        ASSERT_TRUE(SetFileTime(h.get(), nullptr, nullptr, &written));
    }
}

void tamperKeepingTime(const std::wstring& path, std::int64_t at, const std::string& bytes) {
    overwrite(path, at, bytes, true);
}

TEST(Sync, RepairHashesEveryFileAndFetchesOnlyWhatChanged) {
    TempDir dir;
    const GameBuild b = sampleBuild("repair");
    const Manifest m = b.publishAll();
    ASSERT_FALSE(sync(dir.path(), m).error.failed);

    tamperKeepingTime(local(dir.path(), "readme.txt"), 0, "J");
    tamperKeepingTime(local(dir.path(), "big/one.pak"), 65536 * 2 + 7, "!!");
    RequestLog normal("repair");
    const Outcome trusted = sync(dir.path(), m);
    EXPECT_TRUE(trusted.status.upToDate); // size and time as recorded: taken as current
    EXPECT_TRUE(normal.lines().empty());

    RequestLog repair("repair");
    const Outcome repaired = sync(dir.path(), m, true);
    ASSERT_FALSE(repaired.error.failed) << repaired.error.message;
    EXPECT_FALSE(repaired.status.upToDate);
    const auto lines = repair.lines();
    ASSERT_EQ(lines.size(), 2u);
    const std::string all = lines[0] + "\n" + lines[1];
    EXPECT_NE(all.find("GET /repair/readme.txt HTTP/1.1 200"), std::string::npos) << all;
    EXPECT_NE(all.find("GET /repair/big/one.pak HTTP/1.1 206 range=\"bytes=131072-196607\""),
              std::string::npos)
        << all;
    expectInstalled(dir.path(), b, m);

    RequestLog clean("repair");
    EXPECT_TRUE(sync(dir.path(), m, true).status.upToDate);
    EXPECT_TRUE(clean.lines().empty());
}

TEST(Sync, ChunkedFilesAreMendedChunkByChunk) {
    TempDir dir;
    const GameBuild b = sampleBuild("chunks");
    const Manifest m = b.publishAll();
    ASSERT_FALSE(sync(dir.path(), m).error.failed);

    // One corrupt chunk (its write time changes): only that chunk is fetched.
    overwrite(local(dir.path(), "big/one.pak"), 65536 + 100, "XYZ");
    // One file cut short, inside its second chunk; one made too long.
    {
        FileHandle h(CreateFileW(local(dir.path(), "big/two.pak").c_str(), GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER at{};
        at.QuadPart = 70000;
        ASSERT_TRUE(SetFilePointerEx(h.get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(h.get()));
    }
    const std::wstring readme = local(dir.path(), "readme.txt");
    RequestLog requests("chunks");
    const Outcome o = sync(dir.path(), m);
    ASSERT_FALSE(o.error.failed) << o.error.message;
    std::vector<std::string> lines = requests.lines();
    std::sort(lines.begin(), lines.end());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with(R"(GET /chunks/big/one.pak HTTP/1.1 206 range="bytes=65536-131071")"))
        << lines[0];
    EXPECT_TRUE(lines[1].starts_with(R"(GET /chunks/big/two.pak HTTP/1.1 206 range="bytes=131072-131076")"))
        << lines[1];
    EXPECT_TRUE(lines[2].starts_with(R"(GET /chunks/big/two.pak HTTP/1.1 206 range="bytes=65536-131071")"))
        << lines[2];
    expectInstalled(dir.path(), b, m);

    {
        FileHandle h(CreateFileW(local(dir.path(), "big/one.pak").c_str(), FILE_APPEND_DATA, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
        DWORD n = 0;
        ASSERT_TRUE(WriteFile(h.get(), "tail", 4, &n, nullptr));
    }
    RequestLog none("chunks");
    ASSERT_FALSE(sync(dir.path(), m).error.failed);
    EXPECT_TRUE(none.lines().empty());
    expectInstalled(dir.path(), b, m); // cut back to size
}

TEST(Sync, DownloadFailuresAreRetriedThenReportedWithTheirPath) {
    GameBuild b;
    b.name = "faults";
    b.files = {{"Vellumark Online.exe", "exe"}, {"good.bin", "good"}};
    b.publishAll();
    publish(L"faults/wrong.bin", "served bytes");
    const std::string wrongChunked = pattern(65536 * 3, 9);
    std::string served = wrongChunked;
    served[65536 + 5] ^= 1; // the second chunk differs on the server
    publish(L"faults/wrong.pak", served);

    const struct {
        std::string path;
        std::string content; // what the manifest describes
        std::string message;
    } cases[] = {
        {"gone.bin", "never published", "gone.bin: HTTP 404"},
        {"wrong.bin", "expected bytes", "wrong.bin: downloaded file failed its checksum"},
        {"wrong.pak", wrongChunked, "wrong.pak: chunk failed its checksum"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        GameBuild withFault = b;
        withFault.files[c.path] = c.content;
        const Manifest m = withFault.manifest();
        RequestLog requests("faults");
        const Outcome o = sync(dir.path(), m);
        EXPECT_EQ(o.error.message, c.message);
        EXPECT_EQ(o.status.phase, SessionPhase::Downloading); // the driver sets Failed
        int attempts = 0;
        for (const auto& line : requests.lines())
            attempts += line.starts_with("GET /faults/" + c.path + " ");
        EXPECT_EQ(attempts, c.path == "wrong.pak" ? 5 + 2 : 5) << c.path; // chunks 0 and 2 once each
        // The journal stays after any failure: the files it names may hold a mix of builds.
        EXPECT_TRUE(fileInfo(joinPath(dir.path(), journalFileName))) << c.path;
        EXPECT_FALSE(fileInfo(local(dir.path(), c.path + ".part"))) << c.path;
        EXPECT_FALSE(fileInfo(joinPath(dir.path(), stateFileName))) << c.path;
    }

    // The partly written chunked file stays, and once the server is right only its bad chunk
    // is fetched.
    TempDir dir;
    GameBuild withFault = b;
    withFault.files["wrong.pak"] = wrongChunked;
    const Manifest m = withFault.manifest();
    ASSERT_TRUE(sync(dir.path(), m).error.failed);
    std::int64_t size = 0;
    ASSERT_TRUE(fileInfo(local(dir.path(), "wrong.pak"), &size));
    EXPECT_EQ(size, 65536 * 3);
    publish(L"faults/wrong.pak", wrongChunked);
    RequestLog resume("faults");
    ASSERT_FALSE(sync(dir.path(), m).error.failed);
    ASSERT_EQ(resume.lines().size(), 1u);
    EXPECT_TRUE(
        resume.lines()[0].starts_with(R"(GET /faults/wrong.pak HTTP/1.1 206 range="bytes=65536-131071")"));
    EXPECT_EQ(contentOf(local(dir.path(), "wrong.pak")), wrongChunked);
}

TEST(Sync, FaultsOnlyABrokenServerShows) {
    // The fault server: half a body then a closed connection, and 200 to a range request.
    const Manifest cut = faultManifest({{"cut/1000", 2000, sha256Of(std::string(2000, 'x')), {}}});
    TempDir a;
    const Outcome o = sync(a.path(), cut);
    // Wine ends a cut body quietly, so the short file fails its checksum.
    EXPECT_TRUE(o.error.message == "cut/1000: downloaded file failed its checksum" ||
                o.error.message == "cut/1000: unexpected EOF")
        << o.error.message;
    EXPECT_FALSE(fileInfo(a / L"cut\\1000"));

    const Manifest ignored =
        faultManifest({{"body/whole", 5, sha256Of("whole"), {sha256Of("whol"), sha256Of("e")}}}, 4);
    TempDir b;
    EXPECT_EQ(sync(b.path(), ignored).error.message,
              "body/whole: server did not honour range request (HTTP 200)");
}

// A folder on the 8 MiB tmpfs the fixture mounts when it runs as root (for full disks and
// sparse files), removed with everything in it at the end.
class TmpfsFolder {
public:
    explicit TmpfsFolder(const wchar_t* name)
        : root_(joinPath(serverDir(), L"tmpfs")), path_(joinPath(root_, name)) {}
    ~TmpfsFolder() { TempDir::removeTree(path_); }
    bool available() const { return fileInfo(joinPath(root_, L".mounted")); }
    const std::wstring& path() const { return path_; }
    const std::wstring& volume() const { return root_; }

private:
    std::wstring root_, path_;
};
#define REQUIRE_TMPFS(folder)                                                                                \
    if (!(folder).available()) GTEST_SKIP() << "no tmpfs: the test servers were not started as root"

TEST(Sync, ExceptionInADownloadFailsOnlyThatJob) {
    // A chunk far larger than memory: its buffer cannot be allocated. No sync would plan it (no
    // disk has the room), so the job goes to the workers directly, into a small file.
    TempDir dir;
    constexpr std::int64_t huge = std::int64_t{1} << 62;
    const Manifest m = faultManifest({{"range/huge.pak", huge, sha256Of("x"), {sha256Of("x")}}}, huge);
    const std::wstring path = local(dir.path(), "range/huge.pak");
    std::wstring failed;
    makeDirs(parentFolder(path), failed);
    OpenTargets targets;
    targets.insert("range/huge.pak", openTarget(path, true));
    SessionStatus status;
    const FileError e =
        runDownloads(dir.path(), m, {DownloadJob{&m.files[0], false, 0, huge}}, targets, status, noPause);
    EXPECT_EQ(e.message, "range/huge.pak: download failed: std::bad_alloc");
}

TEST(Sync, MissingEmptyFileIsCreatedOnItsOwn) {
    TempDir dir;
    GameBuild b;
    b.name = "empty";
    b.files = {{"Vellumark Online.exe", "exe"}, {"logs/empty.txt", ""}};
    const Manifest m = b.publishAll();
    ASSERT_FALSE(sync(dir.path(), m).error.failed);
    ASSERT_EQ(removePath(local(dir.path(), "logs/empty.txt")), 0u);
    const Outcome o = sync(dir.path(), m);
    ASSERT_FALSE(o.error.failed) << o.error.message;
    EXPECT_FALSE(o.status.upToDate);
    EXPECT_EQ(contentOf(local(dir.path(), "logs/empty.txt")), "");
    expectInstalled(dir.path(), b, m);
}

} // namespace

namespace {

TEST(Sync, OtherSpellingsOfAPathNameTheSameFile) {
    // A doubled slash names the file Windows opens; so does a new build that only changes
    // letter case. Neither may be pruned or dropped, then fetched again (or not at all).
    GameBuild doubled;
    doubled.name = "spelling";
    doubled.files = {{"Vellumark Online.exe", "exe"}, {"data//a.pak", "a"}, {"Docs/Manual.TXT", "manual"}};
    TempDir dir;
    ASSERT_FALSE(sync(dir.path(), doubled.publishAll()).error.failed);
    RequestLog again("spelling");
    const Outcome second = sync(dir.path(), doubled.manifest());
    EXPECT_TRUE(second.status.upToDate) << second.error.message;
    EXPECT_TRUE(again.lines().empty());

    GameBuild renamed = doubled;
    renamed.files.erase("Docs/Manual.TXT");
    renamed.files["docs/manual.txt"] = "manual";
    const Manifest m = renamed.publishAll();
    const Outcome third = sync(dir.path(), m);
    ASSERT_FALSE(third.error.failed) << third.error.message;
    EXPECT_EQ(contentOf(local(dir.path(), "docs/manual.txt")), "manual");
    EXPECT_EQ(contentOf(joinPath(dir.path(), stateFileName)),
              serializeInstallState(expectedState(dir.path(), m)));
}

TEST(Sync, FilesThatNeedNoWritingAreOnlyRead) {
    TempDir dir;
    const GameBuild b = sampleBuild("readonly");
    const Manifest m = b.publishAll();
    ASSERT_FALSE(sync(dir.path(), m).error.failed);
    // A running game shares its packs for reading only: a repair that finds them whole must
    // not ask to write them.
    const FileHandle game(CreateFileW(local(dir.path(), "big/one.pak").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(game.valid());
    // Read-only files that changed are still replaced or mended.
    tamperKeepingTime(local(dir.path(), "readme.txt"), 0, "J");
    tamperKeepingTime(local(dir.path(), "big/two.pak"), 7, "!!");
    for (const char* path : {"readme.txt", "big/two.pak"})
        ASSERT_TRUE(SetFileAttributesW(local(dir.path(), path).c_str(), FILE_ATTRIBUTE_READONLY));
    const Outcome o = sync(dir.path(), m, true);
    ASSERT_FALSE(o.error.failed) << o.error.message;
    expectInstalled(dir.path(), b, m);
}

TEST(Sync, AWholeFileMustHaveItsListedSize) {
    const struct {
        std::int64_t size;
        std::string content; // what the digest covers
        std::string message;
        bool partKept; // a body cut short is resumed from; one too long is wrong
    } cases[] = {
        {3, "abc", "body/abcdef: downloaded file is larger than its listed size", false},
        {10, "abcdef", "body/abcdef: downloaded file is smaller than its listed size", true},
    };
    for (const auto& c : cases) {
        const Manifest m = faultManifest({{"body/abcdef", c.size, sha256Of(c.content), {}}});
        TempDir dir;
        const Outcome o = sync(dir.path(), m);
        EXPECT_EQ(o.error.message, c.message);
        EXPECT_EQ(fileInfo(dir / LR"(body\abcdef.part)"), c.partKept);
        EXPECT_FALSE(fileInfo(joinPath(dir.path(), stateFileName)));
    }
}

TEST(Sync, AFileIsCountedOnceItIsInPlace) {
    TempDir dir;
    GameBuild b;
    b.name = "counted";
    b.files = {{"Vellumark Online.exe", "exe"}, {"data.bin", "new bytes"}};
    const Manifest m = b.publishAll();
    const std::wstring target = local(dir.path(), "data.bin");
    ASSERT_FALSE(writeWholeFile(target, "old").failed);
    const std::vector<DownloadJob> jobs{{&m.files[1], true, 0, m.files[1].size}};
    const OpenTargets targets;
    SessionStatus status;
    {
        const FileHandle held(
            CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(runDownloads(dir.path(), m, jobs, targets, status, RetryPause{1}).failed); // no move
    }
    EXPECT_EQ(status.bytesDone, 0);
    EXPECT_FALSE(runDownloads(dir.path(), m, jobs, targets, status, RetryPause{1}).failed);
    EXPECT_EQ(status.bytesDone, m.files[1].size);
    EXPECT_EQ(contentOf(target), "new bytes");
}

TEST(Sync, AStaleCopyIsAskedForAgainPastTheCaches) {
    const Manifest m = faultManifest({{"stale/Fresh", 5, sha256Of("Fresh"), {}}});
    TempDir dir;
    const Outcome o = sync(dir.path(), m);
    EXPECT_FALSE(o.error.failed) << o.error.message;
    EXPECT_EQ(contentOf(local(dir.path(), "stale/Fresh")), "Fresh");
}

std::string logFrom(std::size_t offset) {
    std::string text;
    readWholeFile(logFilePath(), text);
    return offset < text.size() ? text.substr(offset) : std::string();
}

TEST(Sync, MirrorsTakeOverFromServersThatFail) {
    GameBuild good;
    good.name = "mirror-good";
    good.files = {{"Vellumark Online.exe", "exe"}, {"pack.pak", pattern(6 * 65536, 5)}};
    // Many more jobs than workers: every worker has jobs to fail with on the server it starts
    // at, however late a loaded machine starts it.
    for (int i = 0; i < 64; ++i)
        good.files["data/f" + std::to_string(i)] = pattern(1000 + i, i);
    good.publishAll();
    for (char flip : {1, 2}) { // the same names and sizes, other bytes
        GameBuild bad = good;
        bad.name = flip == 1 ? "mirror-bad" : "mirror-bad2";
        for (auto& [path, content] : bad.files)
            content[0] ^= flip;
        bad.publishAll();
    }

    Manifest m = good.manifest("https://localhost:1/refused/");
    m.mirrors = {httpsUrl("/mirror-bad/"), httpsUrl("/mirror-good/")};
    std::int64_t logStart = 0;
    fileInfo(logFilePath(), &logStart);
    TempDir dir;
    const Outcome o = sync(dir.path(), m);
    ASSERT_FALSE(o.error.failed) << o.error.message;
    for (const auto& [path, content] : good.files)
        EXPECT_EQ(contentOf(local(dir.path(), path)), content) << path;
    const std::string log = logFrom(static_cast<std::size_t>(logStart));
    EXPECT_NE(log.find("mirror skipped: https://localhost:1/refused/: "), std::string::npos) << log;
    EXPECT_NE(log.find("mirror skipped: " + httpsUrl("/mirror-bad/") + ": "), std::string::npos) << log;

    // When every server fails a file, the player reads its last failure, as with one server.
    Manifest wrong = good.manifest(httpsUrl("/mirror-bad/"));
    wrong.files.resize(1);
    for (const std::vector<std::string>& mirrors :
         {std::vector<std::string>{}, {httpsUrl("/mirror-bad2/")}}) {
        wrong.mirrors = mirrors;
        TempDir fresh;
        EXPECT_EQ(sync(fresh.path(), wrong).error.message,
                  "Vellumark Online.exe: downloaded file failed its checksum");
    }
}

// Fills the volume of folder with one file, so that the next write finds no room.
void fillVolume(const std::wstring& path) {
    FileHandle fill(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::string block(65536, 'f');
    DWORD n = 0;
    while (WriteFile(fill.get(), block.data(), 65536, &n, nullptr) && n > 0) {
    }
    while (WriteFile(fill.get(), block.data(), 1, &n, nullptr) && n > 0) {
    }
}

TEST(Sync, AFullDiskIsReportedAsOne) {
    const TmpfsFolder game(L"full");
    REQUIRE_TMPFS(game);
    GameBuild b;
    b.name = "fullwhole";
    b.chunkThreshold = std::int64_t{1} << 40; // every file whole
    b.files = {{"Vellumark Online.exe", "exe"}, {"big.bin", pattern((9 << 20) + 12345, 7)}};
    const Outcome o = sync(game.path(), b.publishAll());
    EXPECT_EQ(o.error.code, static_cast<std::uint32_t>(ERROR_DISK_FULL)) << o.error.message;
    EXPECT_TRUE(o.error.message.starts_with("need ")) << "refused before the download: " << o.error.message;

    // A pack already at its full size takes no more room by the plan's count, but sparse, its
    // chunks fill the disk as they land: the writes that find no room read as a full disk.
    const TmpfsFolder sparse(L"sparse");
    b.name = "fullchunks";
    b.chunkThreshold = 1;
    const Manifest m = b.publishAll();
    {
        std::wstring failed;
        makeDirs(sparse.path(), failed);
        FileHandle file(CreateFileW(joinPath(sparse.path(), L"big.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(file.valid());
        ASSERT_FALSE(setFileSize(file.get(), L"big.bin", (9 << 20) + 12345).failed);
    }
    const Outcome chunks = sync(sparse.path(), m);
    EXPECT_EQ(chunks.error.code, static_cast<std::uint32_t>(ERROR_DISK_FULL)) << chunks.error.message;
    EXPECT_TRUE(chunks.error.message.starts_with("big.bin: write ")) << chunks.error.message;
}

TEST(Sync, AnUpdateThatFailsInItsCheckLeavesTheFolderAsItWas) {
    // Two packs shortened, one rebuilt from its old copy, one (without rolling sums) mended in
    // place; a changed pack that a running program holds cannot be read, so the check fails.
    GameBuild b;
    b.name = "checkfails";
    b.files = {{"Vellumark Online.exe", "exe"},
               {"a.pak", pattern(4 * 65536, 1)},
               {"c.pak", pattern(4 * 65536, 2)},
               {"b.pak", pattern(2 * 65536, 3)}};
    TempDir dir;
    ASSERT_FALSE(sync(dir.path(), b.publishAll()).error.failed);
    b.files["a.pak"].resize(65536);
    b.files["c.pak"].resize(65536);
    b.files["b.pak"] = pattern(2 * 65536, 4);
    Manifest m = b.publishAll();
    for (ManifestFile& f : m.files) {
        if (f.path == "c.pak") f.rolling.clear();
    }
    const auto before = folderContents(dir.path());
    {
        FileHandle held(CreateFileW(local(dir.path(), "b.pak").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held.valid());
        const Outcome o = sync(dir.path(), m);
        ASSERT_TRUE(o.error.failed);
        EXPECT_TRUE(o.error.message.starts_with("open ")) << o.error.message;
    }
    EXPECT_TRUE(folderContents(dir.path()) == before) << "the check wrote into the folder";
    ASSERT_FALSE(sync(dir.path(), m).error.failed);
    expectInstalled(dir.path(), b, m);
}

TEST(Sync, FilesThePlayerHoldsUnderOtherNamesComeFromTheDisk) {
    GameBuild b;
    b.name = "reuse";
    b.files = {{"Vellumark Online.exe", "exe"},
               {"music.ogg", pattern(50000, 1)},
               {"data/pack.pak", pattern(300000, 2)},
               {"a.txt", "same bytes"}};
    TempDir dir;
    ASSERT_FALSE(sync(dir.path(), b.publishAll()).error.failed);
    tamperKeepingTime(local(dir.path(), "a.txt"), 0, "S"); // its record no longer tells the truth

    // Moved, renamed (a chunked file), a copy of a dropped file whose bytes differ, and one new
    // file under three names, fetched once.
    b.files = {{"Vellumark Online.exe", "exe"},         {"audio/music.ogg", pattern(50000, 1)},
               {"data/pack-2.pak", pattern(300000, 2)}, {"b.txt", "same bytes"},
               {"x/1.dat", pattern(20000, 9)},          {"x/2.dat", pattern(20000, 9)},
               {"x/3.dat", pattern(20000, 9)}};
    const Manifest m = b.publishAll();
    RequestLog requests("reuse");
    const Outcome o = sync(dir.path(), m);
    ASSERT_FALSE(o.error.failed) << o.error.message;
    const std::vector<std::string> lines = requests.lines();
    ASSERT_EQ(lines.size(), 2u);
    std::set<std::string> asked;
    for (const std::string& line : lines)
        asked.insert(line.substr(0, line.find(" HTTP/1.1 200 ")));
    EXPECT_EQ(asked, (std::set<std::string>{"GET /reuse/b.txt", "GET /reuse/x/1.dat"}));
    expectInstalled(dir.path(), b, m);
}

TEST(Sync, AChangedPackCostsTheBytesThatChanged) {
    // Sixteen chunks of 64 KiB; each patch is looked for in the player's old copy at any offset.
    const std::string base = pattern(16 * 65536, 21);
    const std::string fresh = pattern(20000, 22);
    const std::size_t middle = 8 * 65536 + 12345;
    const struct {
        const char* name;
        std::string next;
        std::size_t maxChunks; // the chunks the patch touches
    } cases[] = {
        {"insert", base.substr(0, middle) + fresh.substr(0, 1024) + base.substr(middle), 2},
        {"delete", base.substr(0, middle) + base.substr(middle + 70000), 2},
        {"move", base.substr(3 * 65536) + base.substr(0, 3 * 65536), 1},
        {"overwrite", base.substr(0, middle) + fresh.substr(0, 1024) + base.substr(middle + 1024), 1},
    };
    for (const auto& c : cases) {
        GameBuild b;
        b.name = std::string("patch-") + c.name;
        b.files = {{"Vellumark Online.exe", "exe"}, {"pack.pak", base}};
        TempDir dir;
        ASSERT_FALSE(sync(dir.path(), b.publishAll()).error.failed);
        b.files["pack.pak"] = c.next;
        const Manifest m = b.publishAll();
        RequestLog requests(b.name);
        const Outcome o = sync(dir.path(), m);
        ASSERT_FALSE(o.error.failed) << c.name << ": " << o.error.message;
        EXPECT_LE(requests.lines().size(), c.maxChunks) << c.name;
        expectInstalled(dir.path(), b, m);
        EXPECT_FALSE(fileInfo(local(dir.path(), "pack.pak.part"))) << c.name;
    }
}

// The file's identity on its volume: a file rebuilt beside its old copy and moved over it is
// another file.
std::uint64_t fileId(const std::wstring& path) {
    FileHandle h(
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_TRUE(h.valid() && GetFileInformationByHandle(h.get(), &info));
    return (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
}

TEST(Sync, AFileChangedInPlaceIsMendedInPlaceWhateverItHolds) {
    // Eight chunks, two of them zeros: a chunk changed where it stands is written into the old
    // copy, which is never rebuilt beside itself.
    const std::string zeros(65536, '\0');
    const std::string base =
        pattern(65536, 1) + zeros + pattern(2 * 65536, 2) + zeros + pattern(3 * 65536, 3);
    const struct {
        const char* name;
        std::string next;
        std::size_t requests; // a copy of a chunk in place is copied within the file
    } rows[] = {
        {"one chunk changed", base.substr(0, 5 * 65536 + 100) + "changed" + base.substr(5 * 65536 + 107), 1},
        {"a chunk become zeros", base.substr(0, 2 * 65536) + zeros + base.substr(3 * 65536), 0},
    };
    for (const auto& row : rows) {
        GameBuild b;
        b.name = "in-place";
        b.files = {{"Vellumark Online.exe", "exe"}, {"pack.pak", base}};
        TempDir dir;
        ASSERT_FALSE(sync(dir.path(), b.publishAll()).error.failed);
        const std::uint64_t before = fileId(local(dir.path(), "pack.pak"));
        b.files["pack.pak"] = row.next;
        const Manifest m = b.publishAll();
        RequestLog requests(b.name);
        const Outcome o = sync(dir.path(), m);
        ASSERT_FALSE(o.error.failed) << row.name << ": " << o.error.message;
        EXPECT_EQ(fileId(local(dir.path(), "pack.pak")), before) << row.name;
        EXPECT_EQ(requests.lines().size(), row.requests) << row.name;
        expectInstalled(dir.path(), b, m);
    }
}

TEST(Sync, AHeldCopyThatDiffersLeavesAnInterruptedDownloadAsItWas) {
    // b.bik was half downloaded when a stale record said a.bik holds its bytes.
    GameBuild b;
    b.name = "reuse-part";
    b.chunkThreshold = std::int64_t{1} << 40;
    const std::string movie = pattern(3 << 20, 5);
    b.files = {{"Vellumark Online.exe", "exe"}, {"a.bik", movie}};
    TempDir dir;
    ASSERT_FALSE(sync(dir.path(), b.publishAll()).error.failed);
    tamperKeepingTime(local(dir.path(), "a.bik"), 1000, "X");
    const std::string held = movie.substr(0, 1 << 20);
    ASSERT_FALSE(writeWholeFile(local(dir.path(), "b.bik.part"), held).failed);
    b.files = {{"Vellumark Online.exe", "exe"}, {"b.bik", movie}};
    EXPECT_TRUE(sync(dir.path(), b.manifest("https://localhost:1/")).error.failed); // nothing comes
    EXPECT_TRUE(contentOf(local(dir.path(), "b.bik.part")) == held);
}

TEST(Sync, TheFitCheckCountsWhatAnInterruptedDownloadHolds) {
    // 4 of a 6 MiB file are in its part file; the volume holds the other 2 MiB and the pages the
    // launcher's journal, state file and their temporary names take, and nothing more.
    const TmpfsFolder volume(L"fit");
    REQUIRE_TMPFS(volume);
    GameBuild b;
    b.name = "fit";
    b.chunkThreshold = std::int64_t{1} << 40;
    b.files = {{"Vellumark Online.exe", "exe"}, {"movie.bik", pattern(6 << 20, 4)}};
    const Manifest m = b.publishAll();
    const std::wstring game = joinPath(volume.path(), L"game");
    std::wstring failed;
    ASSERT_EQ(makeDirs(game, failed), 0u);
    ASSERT_FALSE(
        writeWholeFile(joinPath(game, L"movie.bik.part"), b.files["movie.bik"].substr(0, 4 << 20)).failed);
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(volume.volume().c_str(), &free, nullptr, nullptr));
    const std::uint64_t needed = (2 << 20) + 4096 /* the executable's page */ + 4 * 4096;
    ASSERT_GE(free.QuadPart, needed);
    ASSERT_FALSE(
        writeWholeFile(joinPath(volume.path(), L"filler"), std::string(free.QuadPart - needed, 'f')).failed);

    const Outcome o = sync(game, m);
    EXPECT_FALSE(o.error.failed) << o.error.message;
    EXPECT_TRUE(contentOf(joinPath(game, L"movie.bik")) == b.files["movie.bik"]);
}

TEST(Sync, APackWithNoRoomBesideItIsMendedInPlace) {
    // A 3 MiB pack gets 1 KiB in its middle on a volume with 1 MiB left: rebuilding it beside
    // the old copy does not fit, mending the old copy in place does.
    const TmpfsFolder volume(L"rebuild");
    REQUIRE_TMPFS(volume);
    GameBuild b;
    b.name = "no-room";
    const std::string pack = pattern(3 << 20, 8);
    b.files = {{"Vellumark Online.exe", "exe"}, {"pack.pak", pack}};
    const std::wstring game = joinPath(volume.path(), L"game");
    ASSERT_FALSE(sync(game, b.publishAll()).error.failed);
    b.files["pack.pak"] = pack.substr(0, 3 << 19) + pattern(1024, 9) + pack.substr(3 << 19);
    const Manifest m = b.publishAll();
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(volume.volume().c_str(), &free, nullptr, nullptr));
    ASSERT_GE(free.QuadPart, 1u << 20);
    ASSERT_FALSE(
        writeWholeFile(joinPath(volume.path(), L"filler"), std::string(free.QuadPart - (1 << 20), 'f'))
            .failed);

    const Outcome o = sync(game, m);
    EXPECT_FALSE(o.error.failed) << o.error.message;
    EXPECT_TRUE(contentOf(joinPath(game, L"pack.pak")) == b.files["pack.pak"]);
}

TEST(Sync, AGameFolderWithALongPathInstallsChecksAndRepairs) {
    TempDir dir;
    std::wstring game = dir.path();
    while (game.size() < 300)
        game = joinPath(game, std::wstring(60, L'g'));
    const GameBuild b = sampleBuild("long-path");
    const Manifest m = b.publishAll();
    ASSERT_FALSE(sync(game, m).error.failed) << sync(game, m).error.message;
    expectInstalled(game, b, m);
    overwrite(local(game, "big/one.pak"), 70000, "changed");
    overwrite(local(game, "readme.txt"), 0, "J");
    const Outcome repaired = sync(game, m, true);
    ASSERT_FALSE(repaired.error.failed) << repaired.error.message;
    expectInstalled(game, b, m);
}

TEST(Sync, TheStateFileIsReplacedWholeOrNotAtAll) {
    const TmpfsFolder game(L"state"), filler(L"filler");
    REQUIRE_TMPFS(game);
    GameBuild b;
    b.name = "durable";
    b.files = {{"Vellumark Online.exe", "exe"}};
    ASSERT_FALSE(sync(game.path(), b.publishAll()).error.failed);
    std::string before;
    ASSERT_TRUE(readWholeFile(joinPath(game.path(), stateFileName), before));
    // The next state is larger than the room the disk has left, even with the old one gone.
    fillVolume(filler.path());
    b.files["empty.txt"] = "";
    Manifest m = b.publishAll();
    m.version = std::string(6000, 'v');
    const Outcome o = sync(game.path(), m);
    EXPECT_TRUE(o.error.failed);
    // A write the full disk cut short reads as a full disk (the plan's own files fitted).
    EXPECT_EQ(o.error.code, static_cast<std::uint32_t>(ERROR_DISK_FULL)) << o.error.message;
    EXPECT_EQ(contentOf(joinPath(game.path(), stateFileName)), before);
}

TEST(Sync, AThreadThatCannotStartFailsTheSyncOnly) {
    // A fresh install reads no file, so it starts six workers, then the sampler; a repair
    // starts four check threads first. A refusal at each of them.
    for (const int allowed : {0, 3, 6}) {
        TempDir dir;
        GameBuild b = sampleBuild("threads");
        threadStartsAllowed = allowed;
        const Outcome o = sync(dir.path(), b.publishAll());
        threadStartsAllowed = -1;
        EXPECT_TRUE(o.error.message.find("could not start a thread: ") != std::string::npos)
            << allowed << ": " << o.error.message;
    }
    for (const int allowed : {0, 2}) {
        TempDir dir;
        GameBuild b = sampleBuild("threads");
        const Manifest m = b.publishAll();
        ASSERT_FALSE(sync(dir.path(), m).error.failed);
        threadStartsAllowed = allowed;
        const Outcome o = sync(dir.path(), m, true);
        threadStartsAllowed = -1;
        EXPECT_TRUE(o.error.message.find("could not start a thread: ") != std::string::npos)
            << "repair " << allowed << ": " << o.error.message;
    }
    // The session's own thread: the session fails at once, and the next one can start.
    SessionStatus status;
    threadStartsAllowed = 0;
    EXPECT_EQ(startSession(LaunchOptions{}, &status, false), 0);
    threadStartsAllowed = -1;
    const SessionSnapshot s = takeSnapshot(status);
    EXPECT_EQ(s.phase, SessionPhase::Failed);
    EXPECT_TRUE(s.message.starts_with("could not start a thread: ")) << s.message;
    EXPECT_EQ(sessionRunning.load(), 0);
}

} // namespace
