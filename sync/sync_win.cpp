// The orchestrator: one game folder brought into line with one validated manifest.
#include "sync/sync.h"

#include "store/files.h"
#include "store/paths.h"
#include "store/text.h"
#include "sync/check.h"
#include "sync/cleanup.h"
#include "sync/download.h"
#include "sync/folder_guard.h"
#include "sync/game_folder.h"
#include "sync/kept_lists.h"
#include "sync/reuse.h"
#include "sync/seeds.h"
#include "sync/solid.h"
#include "sync/state.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <unordered_set>

namespace {

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

// What the folder held at the check, by digest: the previous records and the files found
// current. Reuse checks the bytes, so a stale record costs a copy, never a wrong file.
std::map<std::string, std::string> heldDigests(const Manifest& manifest, const InstallState& state,
                                               const std::vector<FileCheckResult>& results) {
    std::map<std::string, std::string> held;
    for (const auto& [path, record] : state.files)
        held[path] = record.sha;
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        if (results[i].found && results[i].action == FileAction::keep)
            held[manifest.files[i].path] = manifest.files[i].sha256;
    }
    return held;
}

FileError runDownloadPhase(const std::wstring& folder, const Manifest& manifest,
                           const std::vector<DownloadJob>& jobs, std::int64_t total,
                           const OpenTargets& targets, SessionStatus& status, RetryPause pause,
                           ChunkSeeds& seeds) {
    {
        std::lock_guard guard(status.lock);
        status.phase = SessionPhase::Downloading;
        status.bytesTotal = total;
        status.bytesDone = 0;
    }
    FileError failure = runDownloads(folder, manifest, jobs, targets, status, pause, &seeds);
    if (!failure.failed && cancelRequested.load()) failure = cancelledFailure();
    return failure;
}

// Every rebuilt file, complete, replaces its old copy.
FileError placeRebuiltFiles(const std::wstring& folder, const Manifest& manifest,
                            const std::vector<FileCheckResult>& results, OpenTargets& targets,
                            RetryPause pause) {
    WriteFolders folders(folder);
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i].action != FileAction::rebuild) continue;
        const ManifestFile& f = manifest.files[i];
        ReceivedFile rebuilt{targets.release(f.path), {}, {}, f.size};
        if (FileError e = resolveManifestPath(folder, f.path, rebuilt.target); e.failed) return e;
        rebuilt.partPath = partPathOf(rebuilt.target);
        if (FileError e = placeFile(rebuilt, folders, pause); e.failed) return e;
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
        if (seen.action != FileAction::keep) {
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

// A file the build holds under several names is fetched once: every other file of the same
// digest is left out of the downloads, to be copied from the first once it is in place.
std::vector<LocalReuse> fetchOnceEach(const Manifest& manifest, std::vector<FileCheckResult>& results) {
    std::map<std::string_view, const ManifestFile*> first;
    std::vector<LocalReuse> copies;
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        const ManifestFile& f = manifest.files[i];
        if (results[i].action != FileAction::fetch || f.size == 0 || results[i].jobs.empty()) continue;
        const auto [it, added] = first.try_emplace(f.sha256, &f);
        if (added) continue;
        copies.push_back({&f, it->second->path});
        results[i].jobs.clear();
    }
    return copies;
}

} // namespace

namespace {

// One sync's state from step to step.
struct SyncRun {
    SyncRun(const SessionOptions& o, const Manifest& m, SessionStatus& s, RetryPause pause,
            const SyncSteps& each)
        : options(o), manifest(m), status(s), retryPause(pause), steps(each),
          folder(normalisePath(o.gameDir)) {}

    const SessionOptions& options;
    const Manifest& manifest;
    SessionStatus& status;
    RetryPause retryPause;
    const SyncSteps& steps;
    std::wstring folder;
    std::vector<std::string> unsettled; // files an update that did not finish named
    bool interrupted = false;
    InstallState state;
    bool mayPrune = false;
    std::int64_t available = -1;
    std::vector<FileCheckResult> results; // the plan, a row per manifest file
    OpenTargets heldOld, targets;         // close every handle on every return
    FileIndex index;
    bool changes = false;
    ChunkSeeds seeds; // what files from the chunk store may take from the disk

    void reached(std::string_view step) const {
        if (steps) steps(step);
    }
};

FileError openRun(SyncRun& run) {
    std::wstring failedDir;
    if (const std::uint32_t code = makeDirs(run.folder, failedDir))
        return pathFailure("mkdir", failedDir, code);
    // A journal left behind means an update that did not end in order: its files are checked by
    // content, whatever their records say, and resumed.
    run.unsettled = loadJournal(run.folder, &run.interrupted);
    run.state = loadInstallState(run.folder);
    migrateLegacyInstall(run.folder, run.manifest, run.state);
    const bool alreadyAnInstall =
        fileInfo(joinGamePath(run.folder, run.manifest.exe)) || !run.state.files.empty() || run.interrupted;
    if (FileError e = mayPruneFolder(run.folder, alreadyAnInstall, run.mayPrune); e.failed) return e;
    run.available = freeSpace(run.folder);
    std::lock_guard guard(run.status.lock);
    run.status.phase = SessionPhase::Checking;
    run.status.filesTotal = static_cast<std::int32_t>(run.manifest.files.size());
    run.status.version = run.manifest.version;
    run.status.exe = run.manifest.exe;
    return {};
}

// The check, which only reads, and the plan made of it. Nothing was written yet: the plan must
// fit, and the journal name every file it changes, before the first byte changes anywhere.
FileError planRun(SyncRun& run, std::vector<LocalReuse>& reuses) {
    run.results.assign(run.manifest.files.size(), {});
    const std::set<std::string> unsettled(run.unsettled.begin(), run.unsettled.end());
    CheckContext context{run.manifest, run.folder, run.options, run.state, run.results,
                         run.status,   run.index,  run.heldOld, unsettled};
    if (FileError e = checkAllFiles(context); e.failed) return e;
    if (cancelRequested.load()) return cancelledFailure();
    run.reached("checked");
    std::vector<DownloadJob> jobs;
    std::int64_t total = 0;
    if (FileError e = collectJobs(run.results, jobs, total); e.failed) return e;
    if (FileError e = checkFreeSpace(run.folder, bytesToWrite(run.results), run.available); e.failed)
        return e;
    // Only a file fetched whole or made anew can come from one held under another name.
    if (std::any_of(run.results.begin(), run.results.end(), [](const FileCheckResult& r) {
            return r.action == FileAction::fetch || r.action == FileAction::create;
        })) {
        reuses = planReuse(run.results, heldDigests(run.manifest, run.state, run.results));
    }
    run.changes = !changesNothing(run.results);
    if (run.changes) {
        if (FileError e = writeJournal(run.folder, journalPaths(run.manifest, run.results, run.unsettled));
            e.failed) {
            return e;
        }
    }
    run.reached("journal");
    return {};
}

// The files the update drops: those recorded that the manifest no longer lists as they stand,
// and those of an update that did not finish.
std::vector<std::string> droppedFiles(const SyncRun& run) {
    std::unordered_set<std::string_view> listed;
    for (const ManifestFile& f : run.manifest.files)
        listed.insert(f.path);
    std::vector<std::string> dropped = run.unsettled;
    for (const auto& [path, record] : run.state.files) {
        if (!listed.contains(path)) dropped.push_back(path);
    }
    return dropped;
}

// A file from the store learns which version the player holds, where the check found it as
// its record says: a patch from that version may then make it, and that version's kept chunk
// list spares cutting it.
void noteHeldVersions(const SyncRun& run, std::vector<DownloadJob>& jobs) {
    for (DownloadJob& job : jobs) {
        if (!job.fromStore) continue;
        const FileCheckResult& seen =
            run.results[static_cast<std::size_t>(job.file - run.manifest.files.data())];
        const auto record = run.state.files.find(job.file->path);
        if (seen.found && record != run.state.files.end() && record->second.size == seen.size &&
            record->second.mtime == seen.mtime) {
            job.heldSha = record->second.sha;
            job.heldSize = record->second.size;
        }
    }
}

// Before the first file from the store is assembled, the files the update drops are cut into
// its seeds: a chunk that moved from one of them into another file is not fetched.
void seedFromDropped(SyncRun& run, const std::vector<DownloadJob>& fetch) {
    if (std::none_of(fetch.begin(), fetch.end(), [](const DownloadJob& j) { return j.fromStore; })) return;
    std::vector<std::wstring> files;
    for (const std::string& path : droppedFiles(run)) {
        std::wstring full;
        if (resolveManifestPath(run.folder, path, full).failed) continue;
        // One its record vouches for is a seed by its kept chunk list, if it has one.
        std::int64_t size = 0, mtime = 0;
        const auto record = run.state.files.find(path);
        if (record != run.state.files.end() && run.index.find(full, &size, &mtime) &&
            record->second.size == size && record->second.mtime == mtime &&
            seedFromKeptList(run.seeds, run.folder, full, record->second.sha, size, run.manifest.chunking))
            continue;
        files.push_back(std::move(full));
    }
    run.seeds.cut(files, run.manifest.chunking);
}

// The bytes of the files made from the store that the player holds no copy of (a part file
// this launcher left counts as none: what it holds is kept all the same).
std::int64_t freshStoreBytes(const SyncRun& run, const std::vector<DownloadJob>& fetch) {
    std::int64_t fresh = 0;
    std::set<const ManifestFile*> counted;
    for (const DownloadJob& job : fetch) {
        const FileCheckResult& seen =
            run.results[static_cast<std::size_t>(job.file - run.manifest.files.data())];
        if (job.fromStore && !seen.found && counted.insert(job.file).second) fresh += job.file->size;
    }
    return fresh;
}

// The plan carried out: reuse, then the writes within files, then the downloads, then the
// rebuilt files placed.
FileError carryOut(SyncRun& run, const std::vector<LocalReuse>& reuses) {
    // What the player holds under other names comes from the disk; the rest from the network.
    for (const ManifestFile* file : reuseHeldFiles(run.folder, reuses, run.retryPause)) {
        FileCheckResult& row = run.results[static_cast<std::size_t>(file - run.manifest.files.data())];
        row.action = FileAction::reuse;
        row.jobs.clear();
    }
    const std::vector<LocalReuse> copies = fetchOnceEach(run.manifest, run.results);
    run.reached("reused");
    if (FileError e = writeWithinFiles(run.folder, run.manifest, run.results, run.heldOld, run.targets);
        e.failed)
        return e;
    run.reached("written");
    std::vector<DownloadJob> fetch;
    std::int64_t total = 0;
    if (FileError e = collectJobs(run.results, fetch, total); e.failed) return e;
    if (cancelRequested.load()) return cancelledFailure();
    // Adjacent chunks come in one request, but never so many that the workers go idle.
    fetch = coalesceRanges(fetch, std::min(maxRangeBytes, total / (2 * downloadWorkers)));
    // Any job means a download phase, even when every job has length 0: a missing empty file
    // must be created too.
    if (!fetch.empty()) {
        noteHeldVersions(run, fetch);
        seedFromDropped(run, fetch);
        const std::int64_t free = freeSpace(run.folder);
        seedFromSolid(run.folder, run.manifest, freshStoreBytes(run, fetch),
                      free < 0 ? -1 : std::max<std::int64_t>(0, free - bytesToWrite(run.results)), run.status,
                      run.seeds);
        FileError e = runDownloadPhase(run.folder, run.manifest, fetch, total, run.targets, run.status,
                                       run.retryPause, run.seeds);
        if (e.failed) return e;
    }
    if (!copies.empty()) {
        // A copy that fails is fetched after all.
        const std::set<const ManifestFile*> copied = reuseHeldFiles(run.folder, copies, run.retryPause);
        std::vector<DownloadJob> rest;
        std::int64_t restBytes = 0;
        for (const LocalReuse& c : copies) {
            FileCheckResult& row = run.results[static_cast<std::size_t>(c.file - run.manifest.files.data())];
            row.jobs = allJobsFor(run.manifest, *c.file, true);
            if (copied.contains(c.file)) {
                row.action = FileAction::reuse;
                row.jobs.clear();
            }
            rest.insert(rest.end(), row.jobs.begin(), row.jobs.end());
            restBytes += row.jobs.empty() ? 0 : c.file->size;
        }
        if (FileError e = rest.empty() ? FileError{}
                                       : runDownloadPhase(run.folder, run.manifest, rest, restBytes,
                                                          run.targets, run.status, run.retryPause, run.seeds);
            e.failed) {
            return e;
        }
    }
    run.reached("downloaded");
    if (FileError e = placeRebuiltFiles(run.folder, run.manifest, run.results, run.targets, run.retryPause);
        e.failed) {
        return e;
    }
    run.reached("placed");
    return {};
}

// Dropped and unknown files removed, the new state written, the journal closed.
FileError closeRun(SyncRun& run) {
    // A path the manifest still lists in another spelling ("Docs/A.txt" for "docs/a.txt",
    // "data//a.pak" for "data/a.pak") names the same file: it is not dropped. The files of an
    // update that did not finish were put here too, and go when the manifest no longer has them.
    FileSystemPaths manifestPaths(run.manifest.files.size());
    for (const ManifestFile& f : run.manifest.files)
        manifestPaths.add(f.path);
    // A recorded path the manifest lists as it stands is not dropped; only the rest is looked
    // up in every spelling.
    removeDroppedFiles(run.folder, droppedFiles(run), manifestPaths);
    if (run.mayPrune) pruneUnknownFiles(run.folder, manifestPaths, run.index);
    run.reached("removed");
    for (const auto& [path, handle] : run.targets.handles())
        FlushFileBuffers(handle.get());
    // A cancellation that came after the last job still leaves no state behind.
    if (cancelRequested.load()) return cancelledFailure();
    // An unchanged install keeps its state file as it is: a re-check writes nothing.
    if (!stateStandsAsIs(run.manifest, run.results, run.state)) {
        const InstallState now = newState(run.folder, run.manifest, run.results, run.targets);
        std::set<std::string> held;
        for (const auto& [path, record] : now.files)
            held.insert(record.sha);
        pruneKeptLists(run.folder, held);
        if (now != run.state) {
            FileError e = replaceFileDurably(joinPath(run.folder, stateFileName), serializeInstallState(now));
            if (e.failed) return e;
        }
    }
    run.reached("state");
    // Only now does every file the journal named hold what the state says.
    if (run.interrupted || run.changes) closeJournal(run.folder, run.unsettled);
    return {};
}

} // namespace

FileError syncFolder(const SessionOptions& options, const Manifest& manifest, SessionStatus& status,
                     RetryPause retryPause, const SyncSteps& steps) {
    SyncRun run(options, manifest, status, retryPause, steps);
    std::vector<LocalReuse> reuses;
    FileError e = openRun(run);
    if (!e.failed) e = planRun(run, reuses);
    if (!e.failed) e = carryOut(run, reuses);
    if (!e.failed) e = closeRun(run);
    if (e.failed) return e;
    std::lock_guard guard(status.lock);
    status.phase = SessionPhase::Ready;
    status.upToDate = !run.changes;
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
    OpenTargets heldOld; // stays empty: nothing is rebuilt
    FileIndex index;
    const std::set<std::string> noneUnsettled;
    CheckContext context{manifest, folder, readOnly, noRecords,    results,
                         status,   index,  heldOld,  noneUnsettled};
    if (FileError e = checkAllFiles(context); e.failed) return e;
    if (cancelRequested.load()) return cancelledFailure();
    for (const FileCheckResult& r : results)
        if (r.failure.failed) return r.failure;
    return {};
}
