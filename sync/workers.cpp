#include "app/threads.h"
#include "sync/download.h"
#include "sync/sync.h"
#include "ui/progress.h"

#include <exception>
#include <mutex>
#include <thread>

namespace {

struct DownloadPhase {
    DownloadPhase(const std::wstring& f, const Manifest& m, const std::vector<DownloadJob>& j,
                  const OpenTargets& t, RetryPause p)
        : folder(f), manifest(m), jobs(j), targets(t), retryPause(p) {}

    const std::wstring& folder;
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

FileError runJob(DownloadPhase& phase, const DownloadJob& job) {
    // An exception (a chunk buffer that cannot be allocated, say) fails this attempt only.
    try {
        if (job.whole) return downloadWholeFile(phase.folder, phase.manifest, job, phase.bytes);
        return downloadChunk(phase.folder, phase.manifest, job, phase.targets.find(job.file->path),
                             phase.bytes);
    } catch (const std::exception& e) {
        return plainFailure(std::string("download failed: ") + e.what());
    } catch (...) {
        return plainFailure("download failed: unknown error");
    }
}

void recordFailure(DownloadPhase& phase, const DownloadJob& job, FileError failure) {
    std::lock_guard guard(phase.failureLock);
    if (phase.failureRecorded) return;
    failure.message = job.file->path + ": " + failure.message;
    phase.firstFailure = std::move(failure);
    phase.failureRecorded = true;
    phase.stop.exchange(1);
}

void downloadWorker(DownloadPhase& phase) {
    for (;;) {
        const std::uint64_t index = phase.nextJob.fetch_add(1);
        if (index >= phase.jobs.size()) return;
        if (phase.stop.load()) continue; // drain without work: a failure is already recorded
        const DownloadJob& job = phase.jobs[index];
        // A job skipped for a cancellation is a cancelled job: the phase must not end as a
        // success with files still unwritten.
        FileError outcome = cancelledFailure();
        for (int attempt = 0; attempt < 5 && !cancelRequested.load(); ++attempt) {
            if (attempt > 0 && cancellableSleep(phase.retryPause * (1 << attempt))) {
                outcome = cancelledFailure();
                break;
            }
            outcome = runJob(phase, job);
            if (!outcome.failed) break;
        }
        if (outcome.failed) recordFailure(phase, job, std::move(outcome));
    }
}

} // namespace

FileError runDownloads(const std::wstring& folder, const Manifest& manifest,
                       const std::vector<DownloadJob>& jobs, const OpenTargets& targets,
                       SessionStatus& status, RetryPause retryPause) {
    DownloadPhase phase(folder, manifest, jobs, targets, retryPause);
    FileError startFailure;
    std::thread workers[6];
    for (auto& w : workers) {
        startFailure = startThread(w, [&phase] { downloadWorker(phase); });
        if (startFailure.failed) break;
    }
    {
        ProgressSampler sampler(phase.bytes, status);
        if (!startFailure.failed) startFailure = sampler.startFailure();
        // Without all its threads the phase stops: the workers that run take no new job.
        if (startFailure.failed) phase.stop.exchange(1);
        for (auto& w : workers) {
            if (w.joinable()) w.join();
        }
    }
    // The sampler has ended, so this is the last word on the byte count.
    {
        std::lock_guard guard(status.lock);
        status.bytesDone = phase.bytes.load();
    }
    if (startFailure.failed) return startFailure;
    return phase.failureRecorded ? phase.firstFailure : FileError{};
}
