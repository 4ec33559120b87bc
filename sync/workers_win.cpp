#include "sync/workers.h"

#include "base/log.h"
#include "base/threads.h"
#include "net/manifest_path.h"
#include "sync/download.h"
#include "sync/folder_guard.h"
#include "sync/kept_lists.h"
#include "sync/progress.h"
#include "sync/seeds.h"
#include "sync/sources.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <iterator>
#include <mutex>
#include <optional>
#include <thread>

namespace {

// Threads that flush received files and move them in, so that a download worker goes on to its
// next file while the system writes the last one to the disk; flushes that wait together are
// written together (a journal commits them at once), where one after another each waits alone.
constexpr int placeWorkers = 4;
// Received files waiting for a placer, each with its part file open; a worker that finds the
// queue full waits.
constexpr std::size_t placeQueue = 32;

struct Received {
    const DownloadJob* job = nullptr;
    ReceivedFile file;
};

// The shared record of one download phase; it outlives every thread of the phase.
struct DownloadRun {
    DownloadRun(const std::wstring& f, const Manifest& m, const std::vector<DownloadJob>& j,
                const OpenTargets& t, RetryPause p, ChunkSeeds& s)
        : folder(f), folders(f), manifest(m), sources(m.baseUrl, m.mirrors), jobs(j), targets(t),
          retryPause(p), seeds(s) {}

    const std::wstring& folder;
    WriteFolders folders; // the game folder, which no file is written outside of
    const Manifest& manifest;
    Sources sources;
    const std::vector<DownloadJob>& jobs;
    const OpenTargets& targets;
    RetryPause retryPause;
    ChunkSeeds& seeds;
    std::atomic<std::uint64_t> nextJob{0};
    std::atomic<std::int32_t> stop{0};
    std::mutex failureLock;
    bool failureRecorded = false;
    FileError firstFailure;
    std::atomic<std::int64_t> bytes{0};

    // The system's own lock and condition: waiting on them costs no round trip to a server
    // where the library's would.
    SRWLOCK placeLock = SRWLOCK_INIT;
    CONDITION_VARIABLE placeReady = CONDITION_VARIABLE_INIT; // a file to place, or the end
    CONDITION_VARIABLE placeRoom = CONDITION_VARIABLE_INIT;  // room in the queue
    std::deque<Received> received;
    bool downloadsEnded = false;
};

void recordFailure(DownloadRun& run, const DownloadJob& job, FileError failure) {
    std::lock_guard guard(run.failureLock);
    if (run.failureRecorded) return;
    failure.message = job.file->path + ": " + failure.message;
    run.firstFailure = std::move(failure);
    run.failureRecorded = true;
    run.stop.exchange(1);
}

void addReceived(DownloadRun& run, Received r) {
    AcquireSRWLockExclusive(&run.placeLock);
    while (run.received.size() >= placeQueue)
        SleepConditionVariableSRW(&run.placeRoom, &run.placeLock, INFINITE, 0);
    run.received.push_back(std::move(r));
    ReleaseSRWLockExclusive(&run.placeLock);
    WakeConditionVariable(&run.placeReady);
}

// Files received before a failure or a cancellation are placed all the same: they are checked.
void placer(DownloadRun& run) {
    for (;;) {
        Received r;
        AcquireSRWLockExclusive(&run.placeLock);
        while (run.received.empty() && !run.downloadsEnded)
            SleepConditionVariableSRW(&run.placeReady, &run.placeLock, INFINITE, 0);
        const bool ended = run.received.empty();
        if (!ended) {
            r = std::move(run.received.front());
            run.received.pop_front();
        }
        ReleaseSRWLockExclusive(&run.placeLock);
        if (ended) return;
        WakeConditionVariable(&run.placeRoom);
        FileError e;
        // As in a download worker, an exception (memory for a path, say) fails this file only.
        try {
            e = placeFile(r.file, run.folders, run.retryPause);
        } catch (const std::exception& x) {
            e = plainFailure(std::string("download failed: ") + x.what());
        }
        if (e.failed) {
            recordFailure(run, *r.job, std::move(e));
        } else {
            // Counted once the file is in place, as a failed move would otherwise count twice; a
            // file from the store counted its chunks as they were written.
            if (!r.job->fromStore) run.bytes.fetch_add(r.file.size);
        }
    }
}

void endDownloads(DownloadRun& run) {
    AcquireSRWLockExclusive(&run.placeLock);
    run.downloadsEnded = true;
    ReleaseSRWLockExclusive(&run.placeLock);
    WakeAllConditionVariable(&run.placeReady);
}

FileError runJob(DownloadRun& run, const DownloadJob& job, const FetchFrom& from, TransferBuffer& buffer,
                 std::int32_t& done) {
    // An exception (a chunk buffer that cannot be allocated, say) fails this attempt only.
    try {
        if (job.whole) {
            Received r{&job, {}};
            FileError e = job.fromStore
                              ? assembleFromStore(run.folder, run.manifest, from, job, buffer, run.folders,
                                                  run.bytes, run.seeds, r.file)
                              : downloadWholeFile(run.folder, from, job, buffer, run.folders, r.file);
            if (e.failed) return e;
            addReceived(run, std::move(r));
            return {};
        }
        return downloadChunk(run.folder, run.manifest, from, job, run.targets.find(job.file->path), run.bytes,
                             buffer, done);
    } catch (const std::exception& e) {
        return plainFailure(std::string("download failed: ") + e.what());
    } catch (...) {
        return plainFailure("download failed: unknown error");
    }
}

void downloadWorker(DownloadRun& run, std::size_t index) {
    TransferBuffer buffer; // kept from job to job
    // Workers start spread over the servers; each stays with the last one that served it.
    std::size_t source = index % run.sources.count();
    for (;;) {
        const std::uint64_t next = run.nextJob.fetch_add(1);
        if (next >= run.jobs.size()) return;
        if (run.stop.load()) continue; // drain without work: a failure is already recorded
        const DownloadJob& job = run.jobs[next];
        // A job skipped for a cancellation is a cancelled job: the phase must not end as a
        // success with files still unwritten.
        FileError outcome;
        std::int32_t done = 0; // chunks of the job written: a retry goes on after them
        bool revalidate = false;
        std::vector<bool> tried(run.sources.count(), false);
        const int attempts = std::max(downloadAttempts, static_cast<int>(run.sources.count()));
        for (int attempt = 0; attempt < attempts; ++attempt) {
            const std::size_t at = run.sources.pick(source);
            // Another server is asked at once; the same one again only after a pause.
            if (cancelRequested.load() ||
                (tried[at] && cancellableSleep(run.retryPause * (1 << std::min(attempt, 4))))) {
                outcome = cancelledFailure();
                break;
            }
            tried[at] = true;
            outcome = runJob(run, job, FetchFrom{run.sources.url(at), revalidate}, buffer, done);
            if (!outcome.failed) {
                run.sources.succeeded(at);
                source = at;
                break;
            }
            // A failure of this disk is no failure of the server.
            if (outcome.cancelled || outcome.detailed) continue;
            if (std::optional<std::string> line = run.sources.failed(at, outcome.message)) appendLog(*line);
            revalidate = revalidate || outcome.stale;
            source = at + 1;
        }
        if (outcome.failed) recordFailure(run, job, std::move(outcome));
    }
}

} // namespace

FileError runDownloads(const std::wstring& folder, const Manifest& manifest,
                       const std::vector<DownloadJob>& jobs, const OpenTargets& targets,
                       SessionStatus& status, RetryPause retryPause, ChunkSeeds* seeds) {
    ChunkSeeds own;
    DownloadRun run(folder, manifest, jobs, targets, retryPause, seeds ? *seeds : own);
    // Every old copy is cut before the first file is assembled, so that any file may take
    // chunks from any other.
    std::vector<std::wstring> oldCopies;
    for (const DownloadJob& job : jobs) {
        std::wstring target;
        // An old copy a patch leads from is cut only if the patch fails; one whose chunk list
        // was kept is not cut at all.
        if (job.fromStore && !hasPatchFromHeld(job) &&
            !resolveManifestPath(folder, job.file->path, target).failed &&
            (job.heldSha.empty() ||
             !seedFromKeptList(run.seeds, folder, target, job.heldSha, job.heldSize, manifest.chunking)))
            oldCopies.push_back(std::move(target));
    }
    if (!oldCopies.empty()) run.seeds.cut(oldCopies, manifest.chunking);
    FileError startFailure;
    std::thread placers[placeWorkers];
    std::thread workers[downloadWorkers];
    for (auto& p : placers) {
        startFailure = startThread(p, [&run] { placer(run); });
        if (startFailure.failed) break;
    }
    // Without a placer, a worker would wait for one forever.
    for (std::size_t i = 0; i < std::size(workers) && !startFailure.failed; ++i)
        startFailure = startThread(workers[i], [&run, i] { downloadWorker(run, i); });
    {
        ProgressSampler sampler(run.bytes, status);
        if (!startFailure.failed) startFailure = sampler.startFailure();
        // Without all its threads the phase stops: the workers that run take no new job.
        if (startFailure.failed) run.stop.exchange(1);
        for (auto& w : workers) {
            if (w.joinable()) w.join();
        }
        endDownloads(run);
        for (auto& p : placers) {
            if (p.joinable()) p.join();
        }
    }
    // The sampler has ended, so this is the last word on the byte count.
    {
        std::lock_guard guard(status.lock);
        status.bytesDone = run.bytes.load();
    }
    if (startFailure.failed) return startFailure;
    return run.failureRecorded ? run.firstFailure : FileError{};
}
