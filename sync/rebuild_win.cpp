#include "sync/rebuild.h"

#include "app/session_status.h"
#include "app/threads.h"
#include "store/files.h"
#include "store/rolling.h"
#include "store/sha256.h"
#include "sync/plan.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <unordered_map>

namespace {

// Reads exactly size bytes at offset.
bool readAt(HANDLE file, std::int64_t offset, char* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        OVERLAPPED at{};
        const auto where = static_cast<std::uint64_t>(offset) + done;
        at.Offset = static_cast<DWORD>(where);
        at.OffsetHigh = static_cast<DWORD>(where >> 32);
        DWORD got = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(size - done, std::size_t{1} << 30));
        if (!ReadFile(file, data + done, want, &got, &at) || got == 0) return false;
        done += got;
    }
    return true;
}

std::string digestOf(const char* data, std::size_t size) {
    Sha256 hash;
    hash.update(data, size);
    return hash.finishHex();
}

// The part file's written bytes reach the disk while the scan goes on hashing: a thread flushes
// after every flushEvery bytes written, so the flush before the part file replaces the old copy
// finds little left to write, rather than the whole file. Without the thread, that flush does
// it all, as before.
class BackgroundFlush {
public:
    explicit BackgroundFlush(HANDLE file) : file_(file) {
        if (startThread(thread_, [this] { run(); }).failed) thread_ = {};
    }
    ~BackgroundFlush() {
        {
            std::lock_guard guard(lock_);
            stop_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable()) thread_.join();
    }
    void wrote(std::size_t bytes) {
        unflushed_ += bytes;
        if (unflushed_ < flushEvery) return;
        unflushed_ = 0;
        {
            std::lock_guard guard(lock_);
            ++requested_;
        }
        wake_.notify_one();
    }

private:
    static constexpr std::size_t flushEvery = std::size_t{64} << 20;
    void run() {
        std::unique_lock guard(lock_);
        for (int done = 0;;) {
            wake_.wait(guard, [&] { return stop_ || requested_ != done; });
            if (stop_) return;
            done = requested_;
            guard.unlock();
            FlushFileBuffers(file_); // a failure shows in the flush before the replacement
            guard.lock();
        }
    }

    HANDLE file_;
    std::size_t unflushed_ = 0; // the scanning thread's alone
    std::mutex lock_;
    std::condition_variable wake_;
    int requested_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

class ChunkFinder {
public:
    ChunkFinder(HANDLE part, const std::wstring& partPath, const Manifest& m, const ManifestFile& f,
                const std::vector<std::size_t>& needed, bool mayDefer)
        : part_(part), partPath_(partPath), m_(m), f_(f), left_(needed.size()), mayDefer_(mayDefer) {
        for (const std::size_t k : needed)
            wanted_[f.rolling[k]].push_back(k);
    }

    std::size_t left() const { return left_; }
    bool allInPlace() const { return allInPlace_; }

    // The window of length bytes at offset of the old copy, whose rolling sum is rolling:
    // true when it was one or more of the wanted chunks, now written.
    bool take(std::uint64_t rolling, const char* window, std::size_t length, std::int64_t offset,
              FileError& failure) {
        const auto it = wanted_.find(rolling);
        if (it == wanted_.end()) return false;
        std::string digest;
        bool taken = false;
        for (auto k = it->second.begin(); k != it->second.end();) {
            if (chunkLength(m_, f_, *k) != static_cast<std::int64_t>(length)) {
                ++k;
                continue;
            }
            if (digest.empty()) digest = digestOf(window, length);
            if (digest != f_.chunks[*k]) {
                ++k;
                continue;
            }
            const std::int64_t at = static_cast<std::int64_t>(*k) * m_.chunkSize;
            // While every chunk found stands in place, the old copy may yet be mended in place:
            // such a chunk is written only once one is found elsewhere.
            if (mayDefer_ && allInPlace_ && at == offset) {
                deferred_.push_back(*k);
            } else if (const std::uint32_t code = writeAll(part_, window, length, partPath_, at)) {
                failure = pathFailure("write", partPath_, code);
                return false;
            } else {
                flush_.wrote(length);
            }
            allInPlace_ = allInPlace_ && at == offset;
            k = it->second.erase(k);
            --left_;
            taken = true;
        }
        if (it->second.empty()) wanted_.erase(it);
        return taken;
    }

    // Copies the chunks found in place into the part file, from the old copy, which nobody
    // could write since they were checked (it is open without write sharing).
    FileError writeDeferred(HANDLE old, std::vector<char>& buffer) {
        for (const std::size_t k : deferred_) {
            const std::int64_t at = static_cast<std::int64_t>(k) * m_.chunkSize;
            const auto length = static_cast<std::size_t>(chunkLength(m_, f_, k));
            buffer.resize(std::max(buffer.size(), length));
            if (!readAt(old, at, buffer.data(), length))
                return plainFailure("the old copy could not be read");
            if (const std::uint32_t code = writeAll(part_, buffer.data(), length, partPath_, at))
                return pathFailure("write", partPath_, code);
            flush_.wrote(length);
        }
        deferred_.clear();
        return {};
    }

    std::vector<std::size_t> missing() const {
        std::vector<std::size_t> out;
        for (const auto& [rolling, chunks] : wanted_)
            out.insert(out.end(), chunks.begin(), chunks.end());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    HANDLE part_;
    const std::wstring& partPath_;
    const Manifest& m_;
    const ManifestFile& f_;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> wanted_;
    std::size_t left_;
    bool mayDefer_;
    bool allInPlace_ = true;
    std::vector<std::size_t> deferred_; // found in place, not written yet
    BackgroundFlush flush_{part_};
};

} // namespace

FileError scanOldCopy(HANDLE old, std::int64_t oldSize, HANDLE part, const std::wstring& partPath,
                      const Manifest& m, const ManifestFile& f, const std::vector<std::size_t>& needed,
                      bool mayMend, OldCopyScan& scan) {
    ChunkFinder finder(part, partPath, m, f, needed, mayMend);
    FileError failure;
    // A last chunk shorter than the rest is looked for where it stands, and where the old copy
    // ends.
    if (!needed.empty() && chunkLength(m, f, needed.back()) < m.chunkSize) {
        const std::size_t k = needed.back();
        const auto length = static_cast<std::size_t>(chunkLength(m, f, k));
        std::vector<char> tail(length);
        for (const std::int64_t at :
             {static_cast<std::int64_t>(k) * m.chunkSize, oldSize - std::int64_t(length)}) {
            if (at >= 0 && at + std::int64_t(length) <= oldSize && readAt(old, at, tail.data(), length) &&
                finder.take(f.rolling[k], tail.data(), length, at, failure)) {
                break;
            }
        }
    }
    std::vector<std::uint64_t> sums;
    for (const std::size_t k : needed)
        sums.push_back(f.rolling[k]);
    // A read failure only ends the scan: what was not found is fetched.
    rollOver(
        oldSize, static_cast<std::size_t>(m.chunkSize), SumFilter(sums),
        [&](std::int64_t at, char* data, std::size_t length) { return readAt(old, at, data, length); },
        [&](std::uint64_t sum, const char* window, std::int64_t at) {
            return finder.take(sum, window, static_cast<std::size_t>(m.chunkSize), at, failure);
        },
        [&] { return !failure.failed && finder.left() > 0 && !cancelRequested.load(); });
    if (cancelRequested.load()) return cancelledFailure();
    std::vector<char> buffer;
    if (!failure.failed && !finder.allInPlace()) failure = finder.writeDeferred(old, buffer);
    scan.missing = finder.missing();
    scan.allInPlace = finder.allInPlace();
    return failure;
}
