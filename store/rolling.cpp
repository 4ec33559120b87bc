#include "store/rolling.h"

#include <algorithm>
#include <array>
#include <bit>
#include <unordered_map>

namespace {

// A fixed table of random-looking words (splitmix64 from a fixed seed): the publisher and
// every launcher must share it, so it is never changed.
constexpr std::array<std::uint64_t, 256> makeTable() {
    std::array<std::uint64_t, 256> table{};
    std::uint64_t state = 0x56656c6c756d6172; // "Vellumar"
    for (std::uint64_t& word : table) {
        state += 0x9e3779b97f4a7c15;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        word = z ^ (z >> 31);
    }
    return table;
}
constexpr std::array<std::uint64_t, 256> table = makeTable();

} // namespace

void RollingHash::extend(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        value_ = std::rotl(value_, 1) ^ table[bytes[i]];
}

void RollingHash::roll(unsigned char out, unsigned char in) {
    value_ = std::rotl(value_, 1) ^ std::rotl(table[out], static_cast<int>(outShift_)) ^ table[in];
}

std::uint64_t rollingSum(std::string_view chunk) {
    RollingHash hash(chunk.size());
    hash.extend(chunk.data(), chunk.size());
    return hash.value();
}

std::string rollingText(const std::vector<std::uint64_t>& sums) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(sums.size() * 8);
    for (const std::uint64_t sum : sums) {
        for (int shift = 60; shift >= 32; shift -= 4)
            text += hex[(sum >> shift) & 0xF];
    }
    return text;
}

bool parseRollingText(std::string_view text, std::size_t count, std::vector<std::uint64_t>& sums) {
    if (text.size() != count * 8) return false;
    std::vector<std::uint64_t> out(count);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return false;
        out[i / 8] |= static_cast<std::uint64_t>(digit) << (60 - 4 * (i % 8));
    }
    sums = std::move(out);
    return true;
}

namespace {

// Keeps the digests of windows that match nothing within a bound, whatever the file holds.
class MissLimit {
public:
    MissLimit(std::int64_t size, std::size_t window) : window_(std::int64_t(window)), budget_(2 * size) {}
    // Whether a window of this sum at offset is worth a digest.
    // A window at a multiple of its length always is: a chunk the file holds in place stands
    // there, even inside a run whose sum missed.
    bool worthHashing(std::uint64_t sum, std::int64_t offset) const {
        if (offset % window_ == 0) return true;
        const auto it = quietUntil_.find(sum);
        return it == quietUntil_.end() || offset >= it->second;
    }
    // False once misses have hashed all they may.
    bool missed(std::uint64_t sum, std::int64_t offset) {
        quietUntil_[sum] = offset + window_;
        return spent();
    }
    // A window hashed for nothing, whatever its sum.
    bool spent() {
        budget_ -= window_;
        return budget_ >= window_;
    }

private:
    const std::int64_t window_;
    std::int64_t budget_; // bytes misses may still hash
    std::unordered_map<std::uint64_t, std::int64_t> quietUntil_;
};

} // namespace

bool rollOver(std::int64_t size, std::size_t window, const SumFilter& filter, const ReadAt& read,
              const TakeWindow& take, const std::function<bool()>& goOn, const ProbeWindow& probe) {
    // Each read holds a window and a step beyond it, so that the window rolls over the step.
    const std::size_t step = std::max<std::size_t>(std::size_t{8} << 20, 2 * window);
    MissLimit limit(size, window);
    std::vector<char> buffer;
    for (std::int64_t pos = 0; pos + std::int64_t(window) <= size && goOn();) {
        const auto length = static_cast<std::size_t>(std::min<std::int64_t>(window + step, size - pos));
        buffer.resize(length);
        if (!read(pos, buffer.data(), length)) return false;
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        RollingHash hash(window);
        std::size_t i = 0;
        bool fresh = true; // the window at i was reached by a read or a jump
        while (i + window <= length) {
            const std::int64_t at = pos + std::int64_t(i);
            if (fresh) {
                // Offered as it is first: the caller may know what it should hold, and a window
                // it takes costs no rolling sum.
                const WindowSeen seen = probe ? probe(buffer.data() + i, at) : WindowSeen::passed;
                if (seen == WindowSeen::missed && (!limit.spent() || !goOn())) return true;
                if (seen == WindowSeen::taken) {
                    i += window;
                    if (!goOn()) return true;
                    continue;
                }
                hash = RollingHash(window);
                hash.extend(bytes + i, window);
                fresh = false;
            }
            const std::uint64_t sum = hash.value();
            if (filter.mayHold(sum) && limit.worthHashing(sum, at)) {
                const WindowSeen seen = take(sum, buffer.data() + i, at);
                if (seen == WindowSeen::taken) {
                    i += window;
                    fresh = true;
                    if (!goOn()) return true;
                    continue;
                }
                if (seen == WindowSeen::missed && (!limit.missed(sum, at) || !goOn())) return true;
            }
            if (i + window == length) {
                ++i;
                break;
            }
            hash.roll(bytes[i], bytes[i + window]);
            ++i;
        }
        pos += std::int64_t(i);
    }
    return true;
}
