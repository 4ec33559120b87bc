#include "sync/seeds.h"

#include "base/session_status.h"
#include "base/threads.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/sha256.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// More places of one chunk add nothing once a few are known.
constexpr std::size_t placesKept = 3;
constexpr unsigned cutThreads = 4;

HANDLE openForReading(const std::wstring& path) {
    return CreateFileW(extendedPath(path).c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

} // namespace

std::uint64_t ChunkSeeds::key(const std::string& sha) {
    std::uint64_t k = 0;
    for (std::size_t i = 0; i < 16 && i < sha.size(); ++i) {
        const char c = sha[i];
        k = k << 4 | static_cast<std::uint64_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return k;
}

void ChunkSeeds::note(const std::string& sha, std::size_t source, std::int64_t offset) {
    const std::uint64_t k = key(sha);
    std::lock_guard guard(lock_);
    if (places_.count(k) < placesKept) places_.emplace(k, Place{source, offset});
}

std::vector<ChunkSeeds::Place> ChunkSeeds::placesOf(const std::string& sha) const {
    std::lock_guard guard(lock_);
    std::vector<Place> found;
    const auto [first, last] = places_.equal_range(key(sha));
    for (auto it = first; it != last; ++it)
        found.push_back(it->second);
    return found;
}

std::vector<std::wstring> ChunkSeeds::pathsOf(std::size_t source) const {
    std::lock_guard guard(lock_);
    return sources_[source];
}

void ChunkSeeds::cutOne(std::size_t source, const Chunking& chunking) {
    FileHandle file(openForReading(pathsOf(source).front()));
    if (!file) return;
    ChunkCutter cutter(chunking);
    std::int64_t offset = 0;
    const auto take = [&](const char* bytes, std::size_t size) {
        Sha256 digest;
        digest.update(bytes, size);
        note(digest.finishHex(), source, offset);
        offset += static_cast<std::int64_t>(size);
    };
    std::vector<char> buffer(std::size_t{1} << 20);
    for (std::int64_t at = 0;;) {
        if (cancelRequested.load()) return;
        DWORD got = 0;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        // A file that cannot be read further only means more is fetched.
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, &where) || got == 0)
            break;
        cutter.feed(buffer.data(), got, take);
        at += got;
    }
    cutter.finish(take);
}

void ChunkSeeds::cut(const std::vector<std::wstring>& files, const Chunking& chunking) {
    std::vector<std::size_t> todo;
    {
        std::lock_guard guard(lock_);
        for (const std::wstring& path : files) {
            const auto [it, added] = known_.try_emplace(path, sources_.size());
            if (!added) continue;
            sources_.push_back({path});
            todo.push_back(it->second);
        }
    }
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < todo.size();)
            cutOne(todo[i], chunking);
    };
    std::thread threads[cutThreads];
    const std::size_t count = std::min<std::size_t>(cutThreads, todo.size());
    // A thread the system refuses leaves its share to the others, or to this one.
    for (std::size_t i = 1; i < count; ++i)
        (void)startThread(threads[i], work);
    work();
    for (std::thread& t : threads) {
        if (t.joinable()) t.join();
    }
}

void ChunkSeeds::fetched(const std::string& sha, const std::wstring& partPath, const std::wstring& target,
                         std::int64_t offset) {
    std::size_t source;
    {
        std::lock_guard guard(lock_);
        const auto [it, added] = known_.try_emplace(partPath, sources_.size());
        if (added) sources_.push_back({partPath, target});
        source = it->second;
    }
    note(sha, source, offset);
}

HANDLE ChunkSeeds::Reader::open(std::size_t source) {
    auto it = open_.find(source);
    if (it != open_.end()) return it->second.get();
    FileHandle file;
    for (const std::wstring& path : seeds_.pathsOf(source)) {
        file.reset(openForReading(path));
        if (file) break;
    }
    return open_.emplace(source, std::move(file)).first->second.get();
}

bool ChunkSeeds::Reader::read(const std::string& sha, std::int64_t size, std::string& bytes) {
    for (const Place& place : seeds_.placesOf(sha)) {
        const HANDLE file = open(place.source);
        if (file == INVALID_HANDLE_VALUE) continue;
        bytes.resize(static_cast<std::size_t>(size));
        if (!readAt(file, place.offset, bytes.data(), bytes.size())) continue;
        Sha256 digest;
        digest.update(bytes.data(), bytes.size());
        if (digest.finishHex() == sha) return true;
    }
    return false;
}
