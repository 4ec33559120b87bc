// The download rate limit (-maxrate, VELLUMARK_MAXRATE): one token bucket that all workers
// draw from, so that together they stay under the rate.
#pragma once

#include <cstdint>

class TokenBucket {
public:
    // bytesPerSecond 0: no limit. The bucket holds a quarter of a second of the rate, so a
    // burst after a pause stays short.
    explicit TokenBucket(std::int64_t bytesPerSecond = 0);

    // Draws bytes at time now (seconds on any steady clock): how long, in seconds, the taker
    // must wait before using them. Bytes taken beyond the tokens left are owed, so takers
    // queue behind one another.
    double take(std::int64_t bytes, double now);

private:
    double rate_, capacity_, tokens_;
    double last_ = -1;
};

// Sets the launcher's download rate limit; 0 removes it.
void setDownloadRateLimit(std::int64_t bytesPerSecond);

// Called by the workers for the bytes each read returned: waits while they are over the
// limit. A cancellation ends the wait at once.
void throttleDownload(std::int64_t bytes);
