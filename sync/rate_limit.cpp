#include "sync/rate_limit.h"

#include <algorithm>

TokenBucket::TokenBucket(std::int64_t bytesPerSecond)
    : rate_(static_cast<double>(bytesPerSecond)), capacity_(rate_ / 4), tokens_(capacity_) {}

double TokenBucket::take(std::int64_t bytes, double now) {
    if (rate_ <= 0) return 0;
    if (last_ >= 0) tokens_ = std::min(capacity_, tokens_ + (now - last_) * rate_);
    last_ = now;
    tokens_ -= static_cast<double>(bytes);
    return tokens_ < 0 ? -tokens_ / rate_ : 0;
}
