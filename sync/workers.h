// The download phase: the job list on a pool of workers with retries, while the progress
// sampler publishes the byte count.
#pragma once

#include "app/session_status.h"
#include "net/manifest.h"
#include "store/file_error.h"
#include "sync/check.h"
#include "sync/plan.h"

#include <chrono>
#include <string>
#include <vector>

inline constexpr int downloadWorkers = 6;
inline constexpr int downloadAttempts = 5;

// The unit of the pauses between download attempts: attempt n (1 to 4) waits unit * 2^n.
// Tests shorten it; the product always waits 2, 4, 8 and 16 seconds.
using RetryPause = std::chrono::milliseconds;
inline constexpr RetryPause defaultRetryPause{1000};

// Runs the jobs on the workers, each up to downloadAttempts times. The first job to fail for
// good stops the phase; its message gets the path prefix.
FileError runDownloads(const std::wstring& folder, const Manifest& manifest,
                       const std::vector<DownloadJob>& jobs, const OpenTargets& targets,
                       SessionStatus& status, RetryPause retryPause = defaultRetryPause);
