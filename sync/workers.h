// The download phase: the job list on a pool of workers with retries, while the progress
// sampler publishes the byte count.
#pragma once

#include "base/session_status.h"
#include "net/manifest.h"
#include "store/file_error.h"
#include "sync/check.h"
#include "sync/download.h"
#include "sync/plan.h"

#include <chrono>
#include <string>
#include <vector>

inline constexpr int downloadWorkers = 6;

// Runs the jobs on the workers, each up to downloadAttempts times. The first job to fail for
// good stops the phase; its message gets the path prefix. Files from the chunk store take what
// seeds hold (a run's phases share them), once the old copies of those files are cut into it.
FileError runDownloads(const std::wstring& folder, const Manifest& manifest,
                       const std::vector<DownloadJob>& jobs, const OpenTargets& targets,
                       SessionStatus& status, RetryPause retryPause = defaultRetryPause,
                       ChunkSeeds* seeds = nullptr);
