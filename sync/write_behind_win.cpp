#include "sync/write_behind.h"

#include "base/threads.h"

#include <algorithm>

BackgroundFlush::BackgroundFlush(HANDLE file) : file_(file) {}

BackgroundFlush::~BackgroundFlush() {
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void BackgroundFlush::wrote(std::size_t bytes) {
    unflushed_ += bytes;
    if (unflushed_ < flushEvery) return;
    unflushed_ = 0;
    // Started by the first flush: most files are written whole before one is due.
    if (!started_) {
        started_ = true;
        if (startThread(thread_, [this] { run(); }).failed) thread_ = {};
    }
    if (!thread_.joinable()) return; // the flush before the file is placed does it all
    {
        std::lock_guard guard(lock_);
        ++requested_;
    }
    wake_.notify_one();
}

void BackgroundFlush::run() {
    std::unique_lock guard(lock_);
    for (int done = 0;;) {
        wake_.wait(guard, [&] { return stop_ || requested_ != done; });
        if (stop_) return;
        done = requested_;
        guard.unlock();
        FlushFileBuffers(file_); // a failure shows in the flush before the file is placed
        guard.lock();
    }
}

namespace {
// Two blocks queued while a third is hashed and a fourth fills.
constexpr std::size_t mostInFlight = 3;
} // namespace

HashBehind::HashBehind(std::int64_t size) {
    filling_.reserve(static_cast<std::size_t>(std::clamp<std::int64_t>(size, 0, blockSize)));
}

HashBehind::~HashBehind() {
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void HashBehind::handOver() {
    // Started by the first full block: a file of one block is hashed where it was written.
    if (!started_) {
        started_ = true;
        if (startThread(thread_, [this] { run(); }).failed) thread_ = {};
    }
    if (!thread_.joinable()) {
        digest_.update(filling_.data(), filling_.size());
        filling_.clear();
        return;
    }
    std::unique_lock guard(lock_);
    wake_.wait(guard, [&] { return inFlight_ < mostInFlight; });
    queued_.push_back(std::move(filling_));
    ++inFlight_;
    if (spare_.empty()) {
        filling_ = {};
        filling_.reserve(blockSize);
    } else {
        filling_ = std::move(spare_.front());
        spare_.pop_front();
    }
    guard.unlock();
    wake_.notify_all();
}

std::string HashBehind::finishHex() {
    if (!started_) started_ = true; // what is left is hashed here
    if (!filling_.empty()) handOver();
    {
        std::unique_lock guard(lock_);
        wake_.wait(guard, [&] { return inFlight_ == 0; });
    }
    return digest_.finishHex();
}

void HashBehind::run() {
    std::unique_lock guard(lock_);
    for (;;) {
        wake_.wait(guard, [&] { return stop_ || !queued_.empty(); });
        if (queued_.empty()) return; // stopped, with nothing left to hash
        std::vector<char> block = std::move(queued_.front());
        queued_.pop_front();
        guard.unlock();
        digest_.update(block.data(), block.size());
        block.clear();
        guard.lock();
        spare_.push_back(std::move(block));
        --inFlight_;
        wake_.notify_all();
    }
}
