#include "sync/chunk_scan.h"

#include "sync/plan.h"

#include <algorithm>
#include <unordered_map>

namespace {

class ChunkFinder {
public:
    ChunkFinder(const ChunkScanIo& io, const Manifest& m, const ManifestFile& f,
                const std::vector<std::size_t>& needed, bool mayDefer)
        : io_(io), m_(m), f_(f), left_(needed.size()), mayDefer_(mayDefer), isWanted_(f.chunks.size()) {
        for (const std::size_t k : needed) {
            wanted_[f.rolling[k]].push_back(k);
            isWanted_[k] = true;
        }
    }

    // A window standing where a wanted chunk belongs, offered before any rolling sum is
    // computed for it: taken when it holds that chunk.
    WindowSeen probe(const char* window, std::int64_t offset) {
        if (offset % m_.chunkSize != 0) return WindowSeen::passed;
        const auto k = static_cast<std::size_t>(offset / m_.chunkSize);
        if (k >= isWanted_.size() || !isWanted_[k] || chunkLength(m_, f_, k) != m_.chunkSize)
            return WindowSeen::passed;
        return take(f_.rolling[k], window, static_cast<std::size_t>(m_.chunkSize), offset);
    }

    std::size_t left() const { return left_; }
    bool allInPlace() const { return allInPlace_; }

    // The window of length bytes at offset of the old copy, whose rolling sum is rolling: taken
    // when it was one or more of the wanted chunks, now found there.
    WindowSeen take(std::uint64_t rolling, const char* window, std::size_t length, std::int64_t offset) {
        const auto it = wanted_.find(rolling);
        if (it == wanted_.end()) return WindowSeen::passed;
        std::string digest;
        std::vector<std::size_t> matched;
        bool ownPlace = false; // the window stands where one of the matched chunks belongs
        for (const std::size_t k : it->second) {
            if (chunkLength(m_, f_, k) != static_cast<std::int64_t>(length)) continue;
            if (digest.empty()) digest = digestAt(window, length, offset);
            if (digest != f_.chunks[k]) continue;
            matched.push_back(k);
            ownPlace = ownPlace || placeOf(k) == offset;
        }
        if (digest.empty()) return WindowSeen::passed;
        if (matched.empty()) return WindowSeen::missed;
        seenAt_.emplace(digest, offset);
        // While the old copy may yet be mended in place, a window standing where one of its
        // chunks belongs is that chunk alone, and a window elsewhere whose chunks all belong
        // further on is nothing yet: a copy of the same bytes (two chunks of zeros, say) is
        // looked for at its own place, and copied from here only if the file is rebuilt after
        // all.
        const bool mayMend = mayDefer_ && allInPlace_;
        if (mayMend && !ownPlace &&
            std::all_of(matched.begin(), matched.end(), [&](std::size_t k) { return placeOf(k) > offset; })) {
            return WindowSeen::missed;
        }
        const bool mending = mayMend && ownPlace;
        for (const std::size_t k : matched) {
            if (mending && placeOf(k) != offset) continue;
            found_.push_back({k, offset});
            allInPlace_ = allInPlace_ && placeOf(k) == offset;
            if (placeOf(k) == offset) inPlace_.emplace(digest, offset);
            std::erase(it->second, k);
            isWanted_[k] = false;
            --left_;
        }
        if (it->second.empty()) wanted_.erase(it);
        return WindowSeen::taken;
    }

    // Once the scan is over: a chunk still wanted whose bytes were seen elsewhere than in a
    // chunk standing in place was moved, and the file is rebuilt with it.
    void settle() {
        for (const auto& [rolling, chunks] : wanted_) {
            for (const std::size_t k : chunks) {
                if (seenAt_.contains(f_.chunks[k]) && !inPlace_.contains(f_.chunks[k])) allInPlace_ = false;
            }
        }
    }

    // The chunks still wanted whose bytes were seen, each with where, from now on not wanted:
    // for a mended copy, the place of a chunk in place, which the mending never writes.
    std::vector<ChunkCopy> takeCopies(bool fromPlaces) {
        const auto& from = fromPlaces ? inPlace_ : seenAt_;
        std::vector<ChunkCopy> copies;
        for (auto it = wanted_.begin(); it != wanted_.end();) {
            std::erase_if(it->second, [&](std::size_t k) {
                const auto seen = from.find(f_.chunks[k]);
                if (seen == from.end()) return false;
                copies.push_back({k, seen->second});
                isWanted_[k] = false;
                --left_;
                return true;
            });
            it = it->second.empty() ? wanted_.erase(it) : std::next(it);
        }
        return copies;
    }

    // Once the file is rebuilt rather than mended: every chunk found, and every chunk still
    // wanted whose bytes were seen elsewhere.
    std::vector<ChunkCopy> rebuildCopies() {
        std::vector<ChunkCopy> copies = takeCopies(false);
        copies.insert(copies.end(), found_.begin(), found_.end());
        std::sort(copies.begin(), copies.end(),
                  [](const ChunkCopy& a, const ChunkCopy& b) { return a.from < b.from; });
        return copies;
    }

    std::vector<std::size_t> missing() const {
        std::vector<std::size_t> out;
        for (const auto& [rolling, chunks] : wanted_)
            out.insert(out.end(), chunks.begin(), chunks.end());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::int64_t placeOf(std::size_t k) const { return static_cast<std::int64_t>(k) * m_.chunkSize; }

    // The digest of a window; a window probed and then offered again with a rolling sum is
    // hashed once.
    std::string digestAt(const char* window, std::size_t length, std::int64_t offset) {
        if (offset != lastAt_ || length != lastLength_) {
            lastDigest_ = io_.digest(window, length);
            lastAt_ = offset;
            lastLength_ = length;
        }
        return lastDigest_;
    }

    const ChunkScanIo& io_;
    const Manifest& m_;
    const ManifestFile& f_;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> wanted_;
    std::size_t left_;
    bool mayDefer_;
    bool allInPlace_ = true;
    std::vector<ChunkCopy> found_;                          // taken, where
    std::unordered_map<std::string, std::int64_t> seenAt_;  // where a wanted digest was seen
    std::unordered_map<std::string, std::int64_t> inPlace_; // digests of chunks found in place
    std::vector<bool> isWanted_;                            // by chunk
    std::int64_t lastAt_ = -1;
    std::size_t lastLength_ = 0;
    std::string lastDigest_;
};

} // namespace

FileError scanForChunks(std::int64_t oldSize, const Manifest& m, const ManifestFile& f,
                        const std::vector<std::size_t>& needed, bool mayMend, const ChunkScanIo& io,
                        OldCopyScan& scan) {
    ChunkFinder finder(io, m, f, needed, mayMend);
    // A last chunk shorter than the rest is looked for where it stands, and where the old copy
    // ends.
    if (!needed.empty() && chunkLength(m, f, needed.back()) < m.chunkSize) {
        const std::size_t k = needed.back();
        const auto length = static_cast<std::size_t>(chunkLength(m, f, k));
        std::vector<char> tail(length);
        for (const std::int64_t at :
             {static_cast<std::int64_t>(k) * m.chunkSize, oldSize - std::int64_t(length)}) {
            if (at >= 0 && at + std::int64_t(length) <= oldSize && io.read(at, tail.data(), length) &&
                finder.take(f.rolling[k], tail.data(), length, at) == WindowSeen::taken) {
                break;
            }
        }
    }
    std::vector<std::uint64_t> sums;
    for (const std::size_t k : needed)
        sums.push_back(f.rolling[k]);
    // A read failure only ends the scan: what was not found is fetched.
    rollOver(
        oldSize, static_cast<std::size_t>(m.chunkSize), SumFilter(sums), io.read,
        [&](std::uint64_t sum, const char* window, std::int64_t at) {
            return finder.take(sum, window, static_cast<std::size_t>(m.chunkSize), at);
        },
        [&] { return finder.left() > 0 && io.goOn(); },
        [&](const char* window, std::int64_t at) { return finder.probe(window, at); });
    if (!io.goOn()) return cancelledFailure();
    finder.settle();
    scan.allInPlace = finder.allInPlace();
    scan.copies = scan.mended(mayMend) ? finder.takeCopies(true) : finder.rebuildCopies();
    scan.missing = finder.missing();
    return {};
}
