#include "sync/rate_limit.h"

#include "base/session_status.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace {

std::mutex lock;
TokenBucket bucket;
// Read before the lock, so that unlimited downloads never queue on it.
std::atomic<bool> limited{false};

double secondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

void setDownloadRateLimit(std::int64_t bytesPerSecond) {
    std::lock_guard guard(lock);
    bucket = TokenBucket(bytesPerSecond);
    limited = bytesPerSecond > 0;
}

void throttleDownload(std::int64_t bytes) {
    if (!limited.load(std::memory_order_relaxed)) return;
    double wait = 0;
    {
        std::lock_guard guard(lock);
        wait = bucket.take(bytes, secondsNow());
    }
    if (wait > 0) cancellableSleep(std::chrono::milliseconds(static_cast<std::int64_t>(wait * 1000 + 0.5)));
}
