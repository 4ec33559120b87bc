#include "sync/progress.h"

#include "base/threads.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string amount(std::int64_t n) {
    char text[64];
    if (n < (std::int64_t{1} << 30)) {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(n) / 1048576.0);
    } else {
        std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(n) / 1073741824.0);
    }
    return text;
}

std::int64_t nanosOf(ProgressSampler::Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

} // namespace

std::string formatDownloadDetail(std::int64_t done, std::int64_t total, double bytesPerSecond) {
    std::string text = amount(done) + " / " + amount(total);
    if (bytesPerSecond > 1024) {
        char more[96];
        std::snprintf(more, sizeof more, "   -   %.1f MB/s", bytesPerSecond / 1048576.0);
        text += more;
        // Never a negative time, whatever the counts say.
        const double left = std::max(0.0, static_cast<double>(total - done) / bytesPerSecond);
        if (left < 60) {
            std::snprintf(more, sizeof more, "   -   %d sec left", static_cast<int>(left) + 1);
        } else {
            std::snprintf(more, sizeof more, "   -   about %d min left", static_cast<int>(left / 60) + 1);
        }
        text += more;
    }
    return text;
}

double SpeedSmoother::sample(std::int64_t count, std::int64_t nowNs) {
    // The real time between samples, not the nominal period.
    const double seconds = static_cast<double>(nowNs - previousNs_) / 1e9;
    const double raw = seconds > 0 ? static_cast<double>(count - previousCount_) / seconds : 0;
    speed_ = speed_ == 0 ? raw : 0.2 * raw + 0.8 * speed_;
    previousNs_ = nowNs;
    previousCount_ = count;
    return speed_;
}

ProgressSampler::ProgressSampler(const std::atomic<std::int64_t>& total, SessionStatus& status,
                                 Clock::duration period)
    : total_(total), status_(status), period_(period) {
    startFailure_ = startThread(thread_, [this] { run(); });
}

ProgressSampler::~ProgressSampler() {
    stop();
}

void ProgressSampler::stop() {
    {
        std::lock_guard guard(lock_);
        stopRequested_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void ProgressSampler::run() noexcept {
    // A failure here (a lock that cannot be taken) ends the sampling, never the process:
    // the download stage still writes the final byte count itself.
    try {
        sampleUntilStopped();
    } catch (...) {
    }
}

void ProgressSampler::sampleUntilStopped() {
    SpeedSmoother smoother(nanosOf(Clock::now()));
    std::unique_lock guard(lock_);
    for (;;) {
        const auto deadline = Clock::now() + period_;
        // Early wake-ups without a stop wait again for the same deadline.
        if (wake_.wait_until(guard, deadline, [this] { return stopRequested_; })) return;
        const std::int64_t count = total_.load();
        const double speed = smoother.sample(count, nanosOf(Clock::now()));
        std::lock_guard statusGuard(status_.lock);
        status_.bytesDone = count;
        status_.bytesPerSecond = speed;
    }
}
