#include "sync/rebuild.h"

#include "app/session_status.h"
#include "app/threads.h"
#include "store/files.h"
#include "store/sha256.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace {

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

} // namespace

FileError scanOldCopy(HANDLE old, std::int64_t oldSize, HANDLE part, const std::wstring& partPath,
                      const Manifest& m, const ManifestFile& f, const std::vector<std::size_t>& needed,
                      bool mayMend, OldCopyScan& scan) {
    BackgroundFlush flush(part);
    const ChunkScanIo io{
        [old](std::int64_t at, char* data, std::size_t length) { return readAt(old, at, data, length); },
        digestOf,
        [&](std::int64_t at, const char* bytes, std::size_t length) {
            if (const std::uint32_t code = writeAll(part, bytes, length, partPath, at))
                return pathFailure("write", partPath, code);
            flush.wrote(length);
            return FileError{};
        },
        [] { return !cancelRequested.load(); },
    };
    return scanForChunks(oldSize, m, f, needed, mayMend, io, scan);
}
