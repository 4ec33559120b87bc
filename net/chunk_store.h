// The chunk store: every file of a build cut into content-defined chunks, each stored
// compressed under the SHA-256 of its bytes, beside the manifest on any static file server.
//   c/<sha256>  one chunk, a file of a single chunk (its digest is the file's)
//   p/<sha256>  a pack: chunks end to end, named by the digest of the pack itself
//   i/<sha256>  the index of a file of several chunks, named by the file's digest (gzip)
// No object ever changes once published, so edges may keep them for ever and a chunk an
// earlier build published keeps its URL.
#pragma once

#include "store/file_error.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Where one chunk lies and what it holds. A stored chunk is one byte naming its coding ('z' raw
// deflate, 'r' the bytes as they are) and the coded bytes.
struct StoredChunk {
    std::string sha256;      // of its bytes, 64 lowercase hex digits
    std::int64_t size = 0;   // its bytes, at least 1
    std::string object;      // "c/<sha256>" or "p/<sha256>"
    std::int64_t offset = 0; // where its stored form starts in the object
    std::int64_t length = 0; // its stored form's bytes: at most size + 1

    bool operator==(const StoredChunk&) const = default;
};

// The chunk of a file whose digest is its single chunk's: the whole c/ object.
StoredChunk singleChunk(const std::string& sha256, std::int64_t size);

// An index object: "vellumark index 1" and a line for each chunk in file order,
// "<sha256> <size> <object> <offset> <length>".
std::string serializeIndex(const std::vector<StoredChunk>& chunks);
std::string storedChunkLine(const StoredChunk& chunk);
// One such line, without its line feed; false for anything else.
bool parseStoredChunkLine(std::string_view line, std::int64_t maxChunk, StoredChunk& chunk);
// Refuses anything but such lines with sizes that add up to fileSize, each chunk of at most
// maxChunk bytes and stored in at most its size + 1, objects named as above.
FileError parseIndex(std::string_view text, std::int64_t fileSize, std::int64_t maxChunk,
                     std::vector<StoredChunk>& chunks);

// The stored form of bytes: deflated at level when that is smaller, else as they are.
std::string encodeChunk(std::string_view bytes, int level);
// The bytes of a stored chunk into out, sized to exactly size: false when the stored form is
// not one, or does not unpack to exactly size bytes (never unpacking more).
bool decodeChunk(std::string_view stored, std::int64_t size, std::string& out);
// The same without copying a chunk stored as it is: out views stored, or scratch when unpacked.
bool decodeChunk(std::string_view stored, std::int64_t size, std::string& scratch, std::string_view& out);
