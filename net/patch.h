// Binary patches: a file's new bytes made from the bytes of one earlier version of it, published
// beside the chunk store as d/<old sha256>-<new sha256>. A patch is a header and a stream of
// operations, each copying a run of the old file or adding literal bytes, stored as a chunk is
// ('z' raw deflate or 'r' as it is):
//   "vellumark patch 1\n", the old and the new digest (32 bytes each), the old and the new size
//   (8 bytes each, little-endian), then the stored stream. An operation is a varint n: a copy
//   of n >> 1 bytes when n is even, followed by the zigzag varint distance of its start from
//   the end of the last copy; n >> 1 literal bytes when n is odd, followed by those bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

inline constexpr std::string_view patchMagic = "vellumark patch 1\n";
inline constexpr std::size_t patchHeaderSize = 18 + 32 + 32 + 16;

struct PatchHeader {
    std::string oldSha256, newSha256; // lowercase hex
    std::int64_t oldSize = 0, newSize = 0;
};

// The header of a patch; false when the bytes do not start with one.
bool readPatchHeader(std::string_view patch, PatchHeader& header);

// Where an applied patch reads the old file and writes the new one, in order from its start.
struct PatchIo {
    std::function<bool(std::int64_t offset, char* data, std::size_t size)> readOld;
    std::function<bool(const char* data, std::size_t size)> write;
};

enum class PatchResult { Ok, Corrupt, OutsideOld, PastSize, ShortOfSize, ReadFailed, WriteFailed };

// Applies a patch whose header names oldSize and newSize: every copy lies inside the old file,
// and exactly newSize bytes are written, never one more; memory stays bounded whatever the
// stream says. The caller checks the digest of what was written.
PatchResult applyPatch(std::string_view patch, const PatchIo& io);
const char* patchResultText(PatchResult result);

// A patch from old to new (publisher side): copies found at every offset of new by a rolling
// hash over old, continued past scattered edits; level is deflate's for the stream.
std::string makePatch(std::string_view oldBytes, std::string_view newBytes, const std::string& oldSha256,
                      const std::string& newSha256, int level);
