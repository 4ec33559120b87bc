// Solid objects of the chunk store: runs of a build's distinct chunks, in the order the build
// first uses them, compressed together as one zstd frame. A chunk compressed alone loses the
// context of its neighbours, and small files lose most of it: a fresh install fetches these
// instead, and takes the chunks from them as from any other file it holds.
//   s/<sha256>  one solid object, named by the digest of its stored bytes
//   l/<sha256>  the list of a build's solid objects (gzip), named in the manifest
// Chunks that do not compress are left out: they are fetched from the store as before.
#pragma once

#include "net/chunk_store.h"
#include "net/manifest.h"
#include "store/file_error.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SolidObject {
    std::string object;              // "s/<sha256>"
    std::int64_t length = 0;         // its stored bytes
    std::vector<StoredChunk> chunks; // sha256 and size of each, end to end (no object or offset)
    // For each chunk, the place in the manifest of the file it is the whole of, or -1: such a
    // chunk is listed by that place alone, as its digest and size are the file's.
    std::vector<std::int64_t> files;

    std::int64_t rawSize() const;
    bool operator==(const SolidObject&) const = default;
};

// The largest run of chunks one object holds, and so what a launcher unpacks at once.
inline constexpr std::int64_t maxSolidRaw = std::int64_t{16} << 20;

// "vellumark solid 1", then for each object the line "<object> <length> <chunks>" and a line
// for each of its chunks: "<sha256> <size>", or "+<gap>" for the whole of a file, the gap from
// the last such file's place in the manifest (from -1), so that a build of many small files
// costs a few bytes a file beside its manifest.
std::string serializeSolidList(const std::vector<SolidObject>& objects);
// Refuses anything else: objects not named as above, stored in more than their raw size allows,
// holding more than maxSolidRaw or a chunk of more than maxChunk bytes, files not among files in
// the manifest's order.
FileError parseSolidList(std::string_view text, std::int64_t maxChunk, const std::vector<ManifestFile>& files,
                         std::vector<SolidObject>& objects);

// One zstd frame of raw at level, naming its size.
std::string compressSolid(std::string_view raw, int level);
// The frame unpacked into out, sized to exactly rawSize: false for anything but one frame of
// exactly that many bytes (never unpacking more).
bool decompressSolid(std::string_view stored, std::int64_t rawSize, std::string& out);
