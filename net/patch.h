// Binary patches: a file's new bytes made from the bytes of one earlier version of it, published
// beside the chunk store as d/<old sha256>-<new sha256>. A patch is a header and a stream of
// body in one of two codings:
//   "vellumark patch 1\n", the old and the new digest (32 bytes each), the old and the new size
//   (8 bytes each, little-endian), then the body, whose first byte names its coding.
//   'p': one zstd frame of the new bytes whose matches reach back into the old file, given to
//   it whole as the frame's prefix. Finds every short match a code edit leaves; both files are
//   held whole (the old one mapped, the new one as the decoder's window, as many at once as
//   files are fetched), so it is used up to maxPrefixedFile.
//   'z' or 'r': a stream of operations, each copying a run of the old file or adding literal
//   bytes, stored as a chunk is (raw deflate, or as it is). An operation is a varint n: a copy
//   of n >> 1 bytes when n is even, followed by the zigzag varint distance of its start from
//   the end of the last copy; n >> 1 literal bytes when n is odd, followed by those bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

inline constexpr std::string_view patchMagic = "vellumark patch 1\n";
inline constexpr std::size_t patchHeaderSize = 18 + 32 + 32 + 16;
// The largest old or new file a prefixed patch is made for (and applied to).
inline constexpr std::int64_t maxPrefixedFile = std::int64_t{32} << 20;
// The most window such a patch asks for: both files end to end.
inline constexpr int prefixedWindowLog = 26;

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
    // The whole old file at once, for a prefixed patch; false when it cannot be had.
    std::function<bool(std::string_view& old)> wholeOld;
};

enum class PatchResult { Ok, Corrupt, OutsideOld, PastSize, ShortOfSize, ReadFailed, WriteFailed };

// Applies a patch whose header names oldSize and newSize: every copy lies inside the old file,
// and exactly newSize bytes are written, never one more; memory stays bounded whatever the
// body says (a prefixed patch holds at most the new size, and only up to maxPrefixedFile). The
// caller checks the digest of what was written.
PatchResult applyPatch(std::string_view patch, const PatchIo& io);
const char* patchResultText(PatchResult result);

// A patch from old to new (publisher side): the smaller of a prefixed one at zstd's level, when
// both files allow it, and one of copies.
std::string makePatch(std::string_view oldBytes, std::string_view newBytes, const std::string& oldSha256,
                      const std::string& newSha256, int level);
// One zstd frame at level over the whole old file; empty when either file is past
// maxPrefixedFile.
std::string makePrefixedPatch(std::string_view oldBytes, std::string_view newBytes,
                              const std::string& oldSha256, const std::string& newSha256, int level);
// Copies found at every offset of new by a rolling hash over old, continued past scattered
// edits; level is deflate's for the stream. Linear in the files, for files of any size.
std::string makeCopyPatch(std::string_view oldBytes, std::string_view newBytes, const std::string& oldSha256,
                          const std::string& newSha256, int level);
