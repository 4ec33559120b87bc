// What a player of the previous build downloads to reach the new one, as the launcher's reuse
// of the player's own files makes it.
#include "tools/publish/publish.h"

#include "store/rolling.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {

// The chunks of the new version of a file (read from the build) whose bytes its previous
// version holds at some offset, where the launcher's rolling search finds them. The previous
// version's chunks are looked for in the new file; a run of them found back to back covers
// the previous version's bytes in between, so every new chunk inside a run is held. A lower
// bound: a new chunk that straddles a changed chunk's unchanged part counts as fetched.
std::vector<bool> heldElsewhere(const fs::path& file, const ManifestFile& f, const ManifestFile& before,
                                std::int64_t chunkSize) {
    std::vector<bool> held(f.chunks.size());
    const auto window = static_cast<std::size_t>(chunkSize);
    // The last chunk of the previous version, when shorter, is never looked for.
    const std::size_t whole = static_cast<std::size_t>(before.size / chunkSize);
    if (before.rolling.size() != before.chunks.size() || whole == 0) return held;
    std::multimap<std::uint64_t, std::size_t> wanted;
    for (std::size_t j = 0; j < whole; ++j)
        wanted.emplace(before.rolling[j], j);
    std::vector<std::int64_t> foundAt(whole, -1);
    std::ifstream in(file, std::ios::binary);
    if (!in) return held;
    rollOver(
        f.size, window,
        SumFilter(std::vector<std::uint64_t>(before.rolling.begin(), before.rolling.begin() + whole)),
        [&](std::int64_t at, char* data, std::size_t length) {
            in.seekg(at);
            return static_cast<bool>(in.read(data, static_cast<std::streamsize>(length)));
        },
        [&](std::uint64_t sum, const char* bytes, std::int64_t at) {
            std::string digest;
            for (auto [it, end] = wanted.equal_range(sum); it != end; ++it) {
                if (digest.empty()) {
                    const std::unique_ptr<Hasher> hash = newHasher();
                    hash->update(bytes, window);
                    digest = hash->finishHex();
                }
                if (digest == before.chunks[it->second]) {
                    foundAt[it->second] = at;
                    wanted.erase(it);
                    return WindowSeen::taken;
                }
            }
            return digest.empty() ? WindowSeen::passed : WindowSeen::missed;
        },
        [] { return true; });
    for (std::size_t j = 0; j < whole;) {
        std::size_t k = j; // the run of chunks j..k found back to back
        while (foundAt[j] >= 0 && k + 1 < whole && foundAt[k + 1] == foundAt[k] + chunkSize)
            ++k;
        if (foundAt[j] >= 0) {
            const std::int64_t start = foundAt[j], end = foundAt[k] + chunkSize;
            for (std::size_t i = 0; i < held.size(); ++i) {
                const std::int64_t at = static_cast<std::int64_t>(i) * chunkSize;
                if (at >= start && at + std::min(chunkSize, f.size - at) <= end) held[i] = true;
            }
        }
        j = k + 1;
    }
    return held;
}

} // namespace

DownloadEstimate estimateDownload(const Manifest& previous, const Manifest& next, const fs::path& build) {
    std::map<std::string, const ManifestFile*> old;
    std::set<std::string> held; // the digests a player of the previous build has on disk
    for (const ManifestFile& f : previous.files) {
        old[f.path] = &f;
        held.insert(f.sha256);
    }
    DownloadEstimate e;
    for (const ManifestFile& f : next.files) {
        const auto it = old.find(f.path);
        const ManifestFile* before = it == old.end() ? nullptr : it->second;
        if (before && before->sha256 == f.sha256 && before->size == f.size) continue;
        ++e.files;
        // A file fetched whole, or missing, that the player holds elsewhere is copied instead.
        const bool reused = (f.chunks.empty() || !before) && held.contains(f.sha256);
        if (f.chunks.empty()) {
            e.bytes += f.size;
            e.bytesWithReuse += reused ? 0 : f.size;
            continue;
        }
        // The player's copy is checked chunk by chunk: only the chunks that differ come.
        const bool comparable = before && !before->chunks.empty() && previous.chunkSize == next.chunkSize;
        for (std::size_t i = 0; i < f.chunks.size(); ++i) {
            if (comparable && i < before->chunks.size() && before->chunks[i] == f.chunks[i]) continue;
            ++e.chunks;
            e.bytes += std::min(next.chunkSize, f.size - static_cast<std::int64_t>(i) * next.chunkSize);
        }
        if (reused) continue;
        // Chunks whose bytes moved inside the file come from the player's old copy too.
        const std::vector<bool> shifted =
            comparable && !build.empty()
                ? heldElsewhere(build / fs::path(std::u8string(f.path.begin(), f.path.end())), f, *before,
                                next.chunkSize)
                : std::vector<bool>();
        for (std::size_t i = 0; i < f.chunks.size(); ++i) {
            if (comparable && i < before->chunks.size() && before->chunks[i] == f.chunks[i]) continue;
            if (i < shifted.size() && shifted[i]) continue;
            e.bytesWithReuse +=
                std::min(next.chunkSize, f.size - static_cast<std::int64_t>(i) * next.chunkSize);
        }
    }
    return e;
}
