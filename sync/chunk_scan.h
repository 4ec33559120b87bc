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

// What a scan of the old copy found.
struct OldCopyScan {
    std::vector<std::size_t> missing; // chunks the old copy does not hold, ascending
    bool allInPlace = true;           // every chunk found stood at its own offset
    // When all stood in place: chunks whose bytes a chunk in place holds (two chunks of zeros),
    // each with the offset of the old copy to copy it from when the copy is mended.
    std::vector<std::pair<std::size_t, std::int64_t>> copies;
};

// How a scan reaches the old copy and the new version.
struct ChunkScanIo {
    ReadAt read; // exactly length bytes of the old copy at offset
    std::function<std::string(const char* bytes, std::size_t length)> digest; // as the manifest lists it
    std::function<FileError(std::int64_t offset, const char* bytes, std::size_t length)> write; // new version
    std::function<bool()> goOn;
};

// Writes into the new version every chunk of needed that the old copy (oldSize bytes) holds
// anywhere, each checked by its digest before it is written. The old copy is read once, in
// order; the rolling checksum decides where a digest is worth computing. When mayMend (the
// old copy could be mended in place), chunks found in place are written only once a chunk is
// found out of place: an old copy changed in place costs no write at all. A write failure is
// returned; a read failure only leaves the rest missing.
FileError scanForChunks(std::int64_t oldSize, const Manifest& manifest, const ManifestFile& file,
                        const std::vector<std::size_t>& needed, bool mayMend, const ChunkScanIo& io,
                        OldCopyScan& scan);
