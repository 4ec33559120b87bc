#include "sync/workers.h"

#include "app/threads.h"
#include "sync/download.h"
#include "sync/folder_guard.h"
#include "ui/progress.h"

#include <exception>
#include <mutex>
#include <thread>

namespace {

// The shared record of one download phase; it outlives every thread of the phase.
struct DownloadRun {
    DownloadRun(const std::wstring& f, const Manifest& m, const std::vector<DownloadJob>& j,
                const OpenTargets& t, RetryPause p)
        : folder(f), folders(resolvedFolder(f)), manifest(m), jobs(j), targets(t), retryPause(p) {}

    const std::wstring& folder;
    WriteFolders folders; // the game folder, which no file is written outside of
    const Manifest& manifest;
    const std::vector<DownloadJob>& jobs;
    const OpenTargets& targets;
    RetryPause retryPause;
    std::atomic<std::uint64_t> nextJob{0};
    std::atomic<std::int32_t> stop{0};
    std::mutex failureLock;
    bool failureRecorded = false;
    FileError firstFailure;
    std::atomic<std::int64_t> bytes{0};
};

FileError runJob(DownloadRun& run, const DownloadJob& job, TransferBuffer& buffer, std::int32_t& done) {
    // An exception (a chunk buffer that cannot be allocated, say) fails this attempt only.
    try {
        if (job.whole)
            return downloadWholeFile(run.folder, run.manifest, job, run.bytes, buffer, run.folders);
        return downloadChunk(run.folder, run.manifest, job, run.targets.find(job.file->path), run.bytes,
                             buffer, done);
    } catch (const std::exception& e) {
        return plainFailure(std::string("download failed: ") + e.what());
    } catch (...) {
        return plainFailure("download failed: unknown error");
    }
}

void recordFailure(DownloadRun& run, const DownloadJob& job, FileError failure) {
    std::lock_guard guard(run.failureLock);
    if (run.failureRecorded) return;
    failure.message = job.file->path + ": " + failure.message;
    run.firstFailure = std::move(failure);
    run.failureRecorded = true;
    run.stop.exchange(1);
}

void downloadWorker(DownloadRun& run) {
    TransferBuffer buffer; // kept from job to job
    for (;;) {
        const std::uint64_t index = run.nextJob.fetch_add(1);
        if (index >= run.jobs.size()) return;
        if (run.stop.load()) continue; // drain without work: a failure is already recorded
        const DownloadJob& job = run.jobs[index];
        // A job skipped for a cancellation is a cancelled job: the phase must not end as a
        // success with files still unwritten.
        FileError outcome;
        std::int32_t done = 0; // chunks of the job written: a retry goes on after them
        for (int attempt = 0; attempt < downloadAttempts; ++attempt) {
            if (cancelRequested.load() ||
                (attempt > 0 && cancellableSleep(run.retryPause * (1 << attempt)))) {
                outcome = cancelledFailure();
                break;
            }
            outcome = runJob(run, job, buffer, done);
            if (!outcome.failed) break;
        }
        if (outcome.failed) recordFailure(run, job, std::move(outcome));
    }
}

} // namespace

FileError runDownloads(const std::wstring& folder, const Manifest& manifest,
                       const std::vector<DownloadJob>& jobs, const OpenTargets& targets,
                       SessionStatus& status, RetryPause retryPause) {
    DownloadRun run(folder, manifest, jobs, targets, retryPause);
    FileError startFailure;
    std::thread workers[downloadWorkers];
    for (auto& w : workers) {
        startFailure = startThread(w, [&run] { downloadWorker(run); });
        if (startFailure.failed) break;
    }
    {
        ProgressSampler sampler(run.bytes, status);
        if (!startFailure.failed) startFailure = sampler.startFailure();
        // Without all its threads the phase stops: the workers that run take no new job.
        if (startFailure.failed) run.stop.exchange(1);
        for (auto& w : workers) {
            if (w.joinable()) w.join();
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
