// The orchestrator: one game folder brought into line with one validated manifest.
#include "sync/sync.h"

#include "app/game_folder.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/state.h"
#include "store/text.h"
#include "sync/check.h"
#include "sync/cleanup.h"
#include "sync/download.h"
#include "sync/folder_guard.h"
#include "sync/reuse.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

// Chunked files that will be written in place get their final size before any download, so
// that the workers can write chunks at explicit offsets without growing the file.
FileError prepareTargets(const std::wstring& folder, const std::vector<DownloadJob>& jobs,
                         OpenTargets& targets) {
    WriteFolders folders(folder);
    for (const DownloadJob& job : jobs) {
        if (job.whole || targets.contains(job.file->path)) continue;
        std::wstring path;
        if (FileError e = resolveManifestPath(folder, job.file->path, path); e.failed) return e;
        FileError e = folders.prepare(parentFolder(path));
        FileHandle handle;
        if (!e.failed) {
            handle = openTarget(path, true);
            if (!handle) return pathFailure("open", path, lastErrorCode());
            if (!folders.holds(handle.get(), path)) e = outsideFailure();
        }
        if (e.failed) {
            e.message = job.file->path + ": " + e.message;
            return e;
        }
        const HANDLE h = handle.get();
        targets.insert(job.file->path, std::move(handle));
        if (FileError e = setFileSize(h, path, job.file->size); e.failed) return e;
    }
    return {};
}

// A plan that cannot fit fails before anything is fetched, rather than on a full disk halfway.
// available was read before the check, which may have grown files already: their growth is
// part of needed and must not be taken off the free space twice. A volume that does not tell
// its free space is not held against the plan.
FileError checkFreeSpace(const std::wstring& folder, std::int64_t needed, std::int64_t available) {
    if (needed <= 0 || available < 0 || needed <= available) return {};
    wchar_t root[MAX_PATH + 1] = L"";
    std::wstring volume = GetVolumePathNameW(folder.c_str(), root, MAX_PATH) ? root : folder.substr(0, 2);
    if (volume.size() > 1 && (volume.back() == L'\\' || volume.back() == L'/')) volume.pop_back();
    return notEnoughSpace(needed, available, toUtf8(volume));
}

// The journal names every file the run may change, and those an earlier run that did not
// finish named: until a sync ends in order, each of them may hold a mix of old and new bytes.
FileError recordJournal(const std::wstring& folder, const std::vector<DownloadJob>& jobs,
                        const OpenTargets& targets, const std::vector<std::string>& unsettled) {
    std::set<std::string> journal(unsettled.begin(), unsettled.end());
    for (const DownloadJob& job : jobs)
        journal.insert(job.file->path);
    for (const auto& [path, handle] : targets.handles())
        journal.insert(path);
    return writeJournal(folder, journal);
}

// What the folder held at the check, by digest: the previous records and the files found
// current. Reuse checks the bytes, so a stale record costs a copy, never a wrong file.
std::map<std::string, std::string> heldDigests(const Manifest& manifest, const InstallState& state,
                                               const std::vector<FileCheckResult>& results) {
    std::map<std::string, std::string> held;
    for (const auto& [path, record] : state.files)
        held[path] = record.sha;
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        if (results[i].found && results[i].jobs.empty())
            held[manifest.files[i].path] = manifest.files[i].sha256;
    }
    return held;
}

FileError runDownloadPhase(const std::wstring& folder, const Manifest& manifest,
                           const std::vector<DownloadJob>& jobs, std::int64_t total,
                           const OpenTargets& targets, SessionStatus& status, RetryPause pause) {
    {
        std::lock_guard guard(status.lock);
        status.phase = SessionPhase::Downloading;
        status.bytesTotal = total;
        status.bytesDone = 0;
    }
    FileError failure = runDownloads(folder, manifest, jobs, targets, status, pause);
    if (!failure.failed && cancelRequested.load()) failure = cancelledFailure();
    return failure;
}

// Every rebuilt file, complete and on the disk, replaces its old copy.
FileError replaceRebuiltFiles(const std::wstring& folder, const Manifest& manifest,
                              const std::vector<FileCheckResult>& results, OpenTargets& targets) {
    WriteFolders folders(folder);
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!results[i].rebuilt) continue;
        const ManifestFile& f = manifest.files[i];
        std::wstring path;
        if (FileError e = resolveManifestPath(folder, f.path, path); e.failed) return e;
        const std::wstring part = partPathOf(path);
        FileHandle handle = targets.release(f.path);
        if (!FlushFileBuffers(handle.get())) return pathFailure("write", part, lastErrorCode());
        handle.reset();
        if (FileError e = placeWholeFile(path, part, folders); e.failed) return e;
    }
    return {};
}

// The record of what the folder now holds. A file the check found current is recorded as the
// check saw it, before any hashing: a change since shows as a new write time and the file is
// hashed again. A file written since is asked anew: through a fresh listing of its folder, or
// of the system while it is still open here, as a listing may not show its latest size and
// write time yet.
InstallState newState(const std::wstring& folder, const Manifest& manifest,
                      const std::vector<FileCheckResult>& results, const OpenTargets& open) {
    FileIndex written;
    InstallState state;
    state.version = manifest.version;
    state.exe = manifest.exe;
    state.sequence = manifest.sequence;
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        const ManifestFile& f = manifest.files[i];
        const FileCheckResult& seen = results[i];
        std::int64_t size = seen.size, mtime = seen.mtime;
        if (open.contains(f.path) || !seen.jobs.empty() || !seen.found || seen.rebuilt) {
            std::wstring path;
            if (resolveManifestPath(folder, f.path, path).failed) continue;
            const bool found =
                open.contains(f.path) ? fileInfo(path, &size, &mtime) : written.find(path, &size, &mtime);
            if (!found) continue;
        }
        if (size == f.size) state.files[f.path] = InstallRecord{size, mtime, f.sha256};
    }
    return state;
}

} // namespace

FileError syncFolder(const SessionOptions& options, const Manifest& manifest, SessionStatus& status,
                     RetryPause retryPause) {
    const std::wstring folder = normalisePath(options.gameDir);
    std::wstring failedDir;
    if (const std::uint32_t code = makeDirs(folder, failedDir)) return pathFailure("mkdir", failedDir, code);

    // A journal left behind means an update that did not end in order: its files are checked by
    // content, whatever their records say, and resumed.
    bool interrupted = false;
    const std::vector<std::string> unsettled = loadJournal(folder, &interrupted);
    InstallState state = loadInstallState(folder);
    migrateLegacyInstall(folder, manifest, state);
    bool mayPrune = false;
    const bool alreadyAnInstall =
        fileInfo(joinGamePath(folder, manifest.exe)) || !state.files.empty() || interrupted;
    if (FileError e = mayPruneFolder(folder, alreadyAnInstall, mayPrune); e.failed) return e;
    const std::int64_t available = freeSpace(folder);
    {
        std::lock_guard guard(status.lock);
        status.phase = SessionPhase::Checking;
        status.filesTotal = static_cast<std::int32_t>(manifest.files.size());
        status.version = manifest.version;
        status.exe = manifest.exe;
    }

    std::vector<FileCheckResult> results(manifest.files.size());
    OpenTargets targets; // closes every handle on every return
    FileIndex index;
    WriteFolders checkFolders(folder);
    const std::set<std::string> unsettledSet(unsettled.begin(), unsettled.end());
    CheckContext context{manifest, folder,  options, state,        results,
                         status,   targets, index,   checkFolders, unsettledSet};
    if (FileError e = checkAllFiles(context); e.failed) return e;
    if (cancelRequested.load()) return cancelledFailure();

    std::vector<DownloadJob> jobs;
    std::int64_t total = 0;
    if (FileError e = collectJobs(results, jobs, total); e.failed) return e;
    if (FileError e = checkFreeSpace(folder, bytesToWrite(results), available); e.failed) return e;
    if (!jobs.empty()) {
        if (FileError e = recordJournal(folder, jobs, targets, unsettled); e.failed) return e;
    }

    // What the player holds under other names comes from the disk; the rest from the network.
    const std::set<const ManifestFile*> reused =
        reuseHeldFiles(folder, planReuse(results, heldDigests(manifest, state, results)));
    std::vector<DownloadJob> fetch;
    std::int64_t fetchTotal = 0;
    for (const DownloadJob& job : jobs) {
        if (reused.contains(job.file)) continue;
        fetch.push_back(job);
        fetchTotal += job.length;
    }
    if (cancelRequested.load()) return cancelledFailure();
    if (FileError e = prepareTargets(folder, fetch, targets); e.failed) return e;
    // Adjacent chunks come in one request, but never so many that the workers go idle.
    fetch = coalesceRanges(fetch, std::min(maxRangeBytes, fetchTotal / (2 * downloadWorkers)));
    // Any job means a download phase, even when every job has length 0: a missing empty file
    // must be created too.
    if (!fetch.empty()) {
        if (FileError e = runDownloadPhase(folder, manifest, fetch, fetchTotal, targets, status, retryPause);
            e.failed) {
            return e;
        }
    }

    if (FileError e = replaceRebuiltFiles(folder, manifest, results, targets); e.failed) return e;

    // A path the manifest still lists in another spelling ("Docs/A.txt" for "docs/a.txt",
    // "data//a.pak" for "data/a.pak") names the same file: it is not dropped. The files of an
    // update that did not finish were put here too, and go when the manifest no longer has them.
    FileSystemPaths manifestPaths;
    for (const ManifestFile& f : manifest.files)
        manifestPaths.add(f.path);
    std::vector<std::string> dropped = unsettled;
    for (const auto& [path, record] : state.files)
        dropped.push_back(path);
    removeDroppedFiles(folder, dropped, manifestPaths);
    if (mayPrune) pruneUnknownFiles(folder, manifestPaths, index);

    for (const auto& [path, handle] : targets.handles())
        FlushFileBuffers(handle.get());
    // A cancellation that came after the last job still leaves no state behind.
    if (cancelRequested.load()) return cancelledFailure();
    // An unchanged install keeps its state file as it is: a re-check writes nothing.
    if (const InstallState now = newState(folder, manifest, results, targets); now != state) {
        if (FileError e = replaceFileDurably(joinPath(folder, stateFileName), serializeInstallState(now));
            e.failed) {
            return e;
        }
    }
    // Only now does every file the journal named hold what the state says.
    if (interrupted || !jobs.empty()) closeJournal(folder, unsettled);
    std::lock_guard guard(status.lock);
    status.phase = SessionPhase::Ready;
    status.upToDate = jobs.empty() && std::none_of(results.begin(), results.end(),
                                                   [](const FileCheckResult& r) { return r.rebuilt; });
    status.launcherReplaced = launcherReplaced.load() == 1;
    return {};
}

FileError verifyFolder(const SessionOptions& options, const Manifest& manifest, SessionStatus& status,
                       std::vector<FileCheckResult>& results) {
    SessionOptions readOnly = options;
    readOnly.repair = readOnly.verifyOnly = true;
    const std::wstring folder = normalisePath(options.gameDir);
    const InstallState noRecords;
    results.assign(manifest.files.size(), {});
    OpenTargets targets; // stays empty: nothing is opened for writing
    FileIndex index;
    WriteFolders folders(folder); // nothing is written
    const std::set<std::string> noneUnsettled;
    CheckContext context{manifest, folder,  readOnly, noRecords, results,
                         status,   targets, index,    folders,   noneUnsettled};
    if (FileError e = checkAllFiles(context); e.failed) return e;
    if (cancelRequested.load()) return cancelledFailure();
    for (const FileCheckResult& r : results)
        if (r.failure.failed) return r.failure;
    return {};
}
