// Work that can follow a file being written on a thread of its own, so that writing the next
// bytes overlaps it: flushing what was written, hashing what was written. Each thread starts
// only once the file is large enough to need it; without one (the system refused it), the work
// is done where it was asked.
#pragma once

#include "store/sha256.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The file's written bytes reach the disk while writing goes on: a flush after every
// flushEvery bytes written, so the flush before the file is placed finds little left to write,
// rather than the whole file.
class BackgroundFlush {
public:
    explicit BackgroundFlush(HANDLE file);
    ~BackgroundFlush();
    BackgroundFlush(const BackgroundFlush&) = delete;
    BackgroundFlush& operator=(const BackgroundFlush&) = delete;
    void wrote(std::size_t bytes);

private:
    static constexpr std::size_t flushEvery = std::size_t{64} << 20;
    void run();

    HANDLE file_;
    std::size_t unflushed_ = 0; // the writing thread's alone
    std::mutex lock_;
    std::condition_variable wake_;
    int requested_ = 0;
    bool stop_ = false;
    bool started_ = false;
    std::thread thread_;
};

// A file written in order and hashed as written: the caller fills block(), and hands it over
// when full; it is hashed on the thread while the next one fills. At most a few blocks are in
// flight, so hashing sets the pace and memory stays bounded.
class HashBehind {
public:
    static constexpr std::size_t blockSize = std::size_t{4} << 20;
    // size: the file's, so that a small one holds no more than itself.
    explicit HashBehind(std::int64_t size);
    ~HashBehind();
    HashBehind(const HashBehind&) = delete;
    HashBehind& operator=(const HashBehind&) = delete;
    // The block to fill next, empty, with room for blockSize bytes.
    std::vector<char>& block() { return filling_; }
    // Queues the filled block for hashing and starts an empty one.
    void handOver();
    // Every block handed over hashed: the digest's text.
    std::string finishHex();

private:
    void run();

    Sha256 digest_;
    std::vector<char> filling_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::vector<char>> queued_, spare_;
    std::size_t inFlight_ = 0; // queued or being hashed
    bool stop_ = false;
    bool started_ = false; // the thread asked for, or no longer wanted
    std::thread thread_;
};
