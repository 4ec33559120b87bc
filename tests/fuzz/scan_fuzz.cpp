// libFuzzer target over the search of a player's old copy for the chunks of a new version:
// whatever the old copy holds, the chunks found and those fetched make the new version, and
// the bytes hashed stay within about three times the old copy.
#include "sync/chunk_scan.h"
#include "sync/plan.h"
#include "tests/fuzz/require.h"

#include <string>
#include <string_view>

// Input: one byte choosing the chunk size (a multiple of 64, where runs of repeating bytes all
// share one sum), two bytes giving the old copy's length, the old copy, then the new version.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t window = 64 * (1 + data[0] % 4);
    const std::size_t oldLength = std::min<std::size_t>(data[1] | data[2] << 8, size - 3);
    const std::string_view old(reinterpret_cast<const char*>(data) + 3, oldLength);
    const std::string_view next(old.data() + oldLength, size - 3 - oldLength);
    if (next.empty()) return 0;

    Manifest m;
    m.chunkSize = std::int64_t(window);
    ManifestFile f{"pack.pak", std::int64_t(next.size()), "", {}};
    std::vector<std::size_t> needed;
    for (std::size_t at = 0; at < next.size(); at += window) {
        // The chunk's bytes stand for its digest: equal digests are equal bytes.
        f.chunks.emplace_back(next.substr(at, window));
        f.rolling.push_back(rollingSum(next.substr(at, window)));
        needed.push_back(needed.size());
    }
    std::size_t hashed = 0;
    const ChunkScanIo io{
        [&](std::int64_t at, char* out, std::size_t length) {
            require(at >= 0 && std::size_t(at) + length <= old.size()); // reads only the old copy
            old.copy(out, length, std::size_t(at));
            return true;
        },
        [&](const char* bytes, std::size_t length) {
            hashed += length;
            return std::string(bytes, length);
        },
        [] { return true; },
    };
    OldCopyScan scan;
    const bool mayMend = old.size() == next.size();
    require(!scanForChunks(std::int64_t(old.size()), m, f, needed, mayMend, io, scan).failed);

    // What the launcher then holds: the old copy mended in place, or the part file, each with
    // the missing chunks fetched.
    const bool mended = scan.mended(mayMend);
    std::string result = mended ? std::string(old) : std::string(next.size(), '\0');
    for (const auto& [k, from] : scan.copies) {
        // A mended copy takes bytes only from a chunk in place, which mending never writes.
        require(!mended || from % std::int64_t(window) == 0);
        require(from >= 0 && std::size_t(from) + f.chunks[k].size() <= old.size());
        result.replace(k * window, f.chunks[k].size(), old.substr(std::size_t(from), f.chunks[k].size()));
    }
    for (const std::size_t k : scan.missing)
        result.replace(k * window, f.chunks[k].size(), f.chunks[k]);
    require(result == next);
    require(hashed <= 3 * old.size() + 3 * window);
    return 0;
}
