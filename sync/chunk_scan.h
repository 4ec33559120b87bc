// The search of a changed chunked file's old copy for the chunks of its new version: every
// chunk the old copy holds, at any offset (data inserted, removed or moved), is copied from it;
// only the rest is fetched. Neutral of any system: the caller reads, hashes and writes.
#pragma once

#include "net/manifest.h"
#include "store/file_error.h"
#include "store/rolling.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// A chunk of the new version and the offset of the old copy that holds its bytes.
struct ChunkCopy {
    std::size_t chunk = 0;
    std::int64_t from = 0;
    bool operator==(const ChunkCopy&) const = default;
};

// What a scan of the old copy found.
struct OldCopyScan {
    std::vector<std::size_t> missing; // chunks the old copy does not hold, ascending
    bool allInPlace = true;           // every chunk found stood at its own offset
    // Where the new version takes chunks from the old copy. When the old copy is mended (it
    // could be and every chunk found stood in place): only the chunks whose bytes a chunk in
    // place holds (two chunks of zeros), which mending never overwrites. Otherwise every chunk
    // found, in place or not, to be copied into the new version.
    std::vector<ChunkCopy> copies;
    bool mended(bool mayMend) const { return mayMend && allInPlace; }
};

// How a scan reaches the old copy and the new version.
struct ChunkScanIo {
    ReadAt read; // exactly length bytes of the old copy at offset
    std::function<std::string(const char* bytes, std::size_t length)> digest; // as the manifest lists it
    std::function<bool()> goOn;
};

// Finds every chunk of needed that the old copy (oldSize bytes) holds anywhere, each checked by
// its digest; writes nothing. The old copy is read once, in order; the rolling checksum decides
// where a digest is worth computing. When mayMend (the old copy could be mended in place), a
// copy of a chunk's bytes is looked for at the chunk's own place first, so that an old copy
// changed in place is mended without a rebuild. A read failure only leaves the rest missing.
FileError scanForChunks(std::int64_t oldSize, const Manifest& manifest, const ManifestFile& file,
                        const std::vector<std::size_t>& needed, bool mayMend, const ChunkScanIo& io,
                        OldCopyScan& scan);
