// Download progress: the sampler that turns the running byte total into the status's
// bytesDone and a smoothed speed every 250 ms, and the detail line built from them.
#pragma once

#include "base/session_status.h"
#include "store/file_error.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// "512.0 MB / 2.00 GB   -   3.0 MB/s   -   about 9 min left".
std::string formatDownloadDetail(std::int64_t done, std::int64_t total, double bytesPerSecond);

// Exponential smoothing of the speed between samples, four fifths weight on the past. The
// first non-zero rate is taken as it is.
class SpeedSmoother {
public:
    explicit SpeedSmoother(std::int64_t startNs) : previousNs_(startNs) {}
    // The smoothed speed after a sample of count bytes in all at time nowNs.
    double sample(std::int64_t count, std::int64_t nowNs);

private:
    std::int64_t previousNs_;
    std::int64_t previousCount_ = 0;
    double speed_ = 0;
};

// Publishes the running total into the status every period until stopped. Lock order:
// the sampler's own lock, then the status lock.
class ProgressSampler {
public:
    using Clock = std::chrono::steady_clock;

    ProgressSampler(const std::atomic<std::int64_t>& total, SessionStatus& status,
                    Clock::duration period = std::chrono::milliseconds(250));
    ~ProgressSampler(); // stops and joins
    ProgressSampler(const ProgressSampler&) = delete;
    ProgressSampler& operator=(const ProgressSampler&) = delete;

    // Set when the sampling thread could not be started.
    const FileError& startFailure() const { return startFailure_; }
    void stop();

private:
    void run() noexcept;
    void sampleUntilStopped();

    const std::atomic<std::int64_t>& total_;
    SessionStatus& status_;
    const Clock::duration period_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopRequested_ = false;
    std::thread thread_;
    FileError startFailure_;
};
