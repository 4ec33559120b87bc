#include "sync/seeds.h"

#include "base/session_status.h"
#include "base/threads.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/sha256.h"

#include <algorithm>
#include <atomic>
#include <chrono>
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
    const auto [first, last] = places_.equal_range(k);
    if (std::distance(first, last) >= static_cast<std::ptrdiff_t>(placesKept)) return;
    // Neighbouring pieces of one file both cut what lies where they overlap.
    for (auto it = first; it != last; ++it) {
        if (it->second.source == source && it->second.offset == offset) return;
    }
    places_.emplace(k, Place{source, offset});
}

bool ChunkSeeds::list(const std::wstring& file, const std::vector<StoredChunk>& chunks) {
    std::size_t source;
    {
        std::lock_guard guard(lock_);
        const auto [it, added] = known_.try_emplace(file, sources_.size());
        if (!added) return true;
        sources_.push_back({file});
        source = it->second;
    }
    std::int64_t offset = 0;
    for (const StoredChunk& c : chunks) {
        note(c.sha256, source, offset);
        offset += c.size;
    }
    return true;
}

bool ChunkSeeds::holds(const std::string& sha) const {
    std::lock_guard guard(lock_);
    return places_.contains(key(sha));
}

ChunkSeeds::Claim ChunkSeeds::claim(const std::string& sha) {
    const std::uint64_t k = key(sha);
    std::lock_guard guard(lock_);
    if (places_.contains(k)) return Claim::Held;
    return claimed_.insert(k).second ? Claim::Mine : Claim::Awaited;
}

void ChunkSeeds::release(const std::vector<std::string>& shas) {
    std::size_t ended = 0;
    {
        std::lock_guard guard(lock_);
        for (const std::string& sha : shas)
            ended += claimed_.erase(key(sha));
    }
    if (ended) unclaimed_.notify_all();
}

void ChunkSeeds::await(const std::string& sha) const {
    const std::uint64_t k = key(sha);
    std::unique_lock guard(lock_);
    while (claimed_.contains(k) && !cancelRequested.load())
        unclaimed_.wait_for(guard, std::chrono::milliseconds(100));
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

// Cuts the chunks that start in [begin, end) of one source. A piece after the first starts
// cutting `lead` bytes early, where its cuts come to agree with those of a cut from the start
// (a cut depends only on where the chunk before it ended), and each piece goes on `lead` bytes
// past its end, so the chunks where two pieces meet are those a whole cut finds.
void ChunkSeeds::cutPiece(const Piece& piece, const Chunking& chunking) {
    FileHandle file(openForReading(pathsOf(piece.source).front()));
    if (!file) return;
    const std::int64_t lead = std::min(piece.lead, piece.begin);
    const std::int64_t noteUntil = piece.end + piece.lead;
    // Every chunk that starts before noteUntil ends within max of it, so reading that far lets
    // the cutter hand each of them over from the bytes fed; what finish() hands over after is a
    // chunk only where the file ends.
    const std::int64_t readUntil = std::min(noteUntil + chunking.max, piece.size);
    ChunkCutter cutter(chunking);
    std::int64_t offset = piece.begin - lead;
    const auto take = [&](const char* bytes, std::size_t size) {
        if (offset >= piece.begin && offset < noteUntil) {
            Sha256 digest;
            digest.update(bytes, size);
            note(digest.finishHex(), piece.source, offset);
        }
        offset += static_cast<std::int64_t>(size);
    };
    std::vector<char> buffer(std::size_t{1} << 20);
    std::int64_t at = piece.begin - lead;
    while (at < readUntil) {
        if (cancelRequested.load()) return;
        DWORD got = 0;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        const auto want = static_cast<DWORD>(std::min<std::int64_t>(std::ssize(buffer), readUntil - at));
        // A file that cannot be read further only means more is fetched.
        if (!ReadFile(file.get(), buffer.data(), want, &got, &where) || got == 0) break;
        cutter.feed(buffer.data(), got, take);
        at += got;
    }
    if (at < readUntil || readUntil == piece.size) cutter.finish(take);
}

void ChunkSeeds::cut(const std::vector<std::wstring>& files, const Chunking& chunking) {
    std::vector<std::size_t> sources;
    {
        std::lock_guard guard(lock_);
        for (const std::wstring& path : files) {
            const auto [it, added] = known_.try_emplace(path, sources_.size());
            if (!added) continue;
            sources_.push_back({path});
            sources.push_back(it->second);
        }
    }
    // A large file is cut in pieces on several threads, as several files are.
    std::vector<Piece> todo;
    const std::int64_t lead = 16 * chunking.max;
    for (const std::size_t source : sources) {
        std::int64_t size = 0;
        fileInfo(pathsOf(source).front(), &size);
        for (std::int64_t begin = 0; begin == 0 || begin < size; begin += pieceBytes)
            todo.push_back({source, begin, std::min(begin + pieceBytes, size), lead, size});
    }
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < todo.size();)
            cutPiece(todo[i], chunking);
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
    // Noted first, so that a file woken by the claim's end finds it.
    std::size_t ended = 0;
    {
        std::lock_guard guard(lock_);
        ended = claimed_.erase(key(sha));
    }
    if (ended) unclaimed_.notify_all();
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

bool ChunkSeeds::Reader::locate(const std::string& sha, HANDLE& file, std::int64_t& offset) {
    for (const Place& place : seeds_.placesOf(sha)) {
        file = open(place.source);
        if (file == INVALID_HANDLE_VALUE) continue;
        offset = place.offset;
        return true;
    }
    return false;
}
