#include "net/patch.h"

#include "net/gzip.h"
#include "store/hex.h"

#include <zstd.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::int64_t readLe64(const char* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(p[i]);
    return static_cast<std::int64_t>(v);
}

// The operations, pulled a byte or a run at a time out of the stored stream: inflated a piece
// at a time, so that what a patch claims never decides how much is held.
class OpStream {
public:
    explicit OpStream(std::string_view stored) : inflater_(-15) {
        if (stored.empty()) return;
        raw_ = stored[0] == 'r';
        ok_ = raw_ || (stored[0] == 'z' && inflater_.ok());
        stored.remove_prefix(1);
        if (raw_) {
            piece_ = stored;
        } else {
            z_stream& z = inflater_.stream();
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stored.data()));
            z.avail_in = static_cast<uInt>(stored.size());
            buffer_.resize(64 << 10);
        }
    }
    bool ok() const { return ok_; }
    // True at the clean end of the stream (and of the patch); false with ok() false when broken.
    bool atEnd() {
        if (!piece_.empty() || !fill()) return false;
        return piece_.empty();
    }
    bool byte(unsigned char& b) {
        if (piece_.empty() && (!fill() || piece_.empty())) return ok_ = false;
        b = static_cast<unsigned char>(piece_.front());
        piece_.remove_prefix(1);
        return true;
    }
    bool varint(std::uint64_t& v) {
        v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            unsigned char b = 0;
            if (!byte(b)) return false;
            v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return true;
        }
        return ok_ = false;
    }
    // Up to want bytes of literal, as they lie in the stream.
    std::string_view run(std::uint64_t want) {
        if (piece_.empty() && (!fill() || piece_.empty())) {
            ok_ = false;
            return {};
        }
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(want, piece_.size()));
        const std::string_view out = piece_.substr(0, n);
        piece_.remove_prefix(n);
        return out;
    }

private:
    // More of the stream, when piece_ is used up; false when the stream is broken.
    bool fill() {
        if (!ok_) return false;
        if (raw_ || ended_) return true;
        z_stream& z = inflater_.stream();
        z.next_out = reinterpret_cast<Bytef*>(buffer_.data());
        z.avail_out = static_cast<uInt>(buffer_.size());
        const int r = inflate(&z, Z_NO_FLUSH);
        if (r == Z_STREAM_END) {
            ended_ = true;
            if (z.avail_in != 0) return ok_ = false; // bytes after the stream
        } else if (r != Z_OK) {
            return ok_ = false;
        }
        piece_ = std::string_view(buffer_.data(), buffer_.size() - z.avail_out);
        // A stream that neither ends nor gives bytes is cut short.
        if (piece_.empty() && !ended_) return ok_ = false;
        return true;
    }

    Inflater inflater_;
    std::vector<char> buffer_;
    std::string_view piece_;
    bool raw_ = false, ended_ = false, ok_ = false;
};

static_assert(std::int64_t{1} << prefixedWindowLog >= 2 * maxPrefixedFile);

PatchResult applyPrefixed(std::string_view frame, const PatchHeader& header, const PatchIo& io) {
    if (header.oldSize > maxPrefixedFile || header.newSize > maxPrefixedFile) return PatchResult::Corrupt;
    // One frame, exactly the body, naming exactly the new size: the decoder then holds no more
    // than that size and writes no more than the frame names.
    if (ZSTD_findFrameCompressedSize(frame.data(), frame.size()) != frame.size()) return PatchResult::Corrupt;
    const unsigned long long named = ZSTD_getFrameContentSize(frame.data(), frame.size());
    if (named == ZSTD_CONTENTSIZE_UNKNOWN || named == ZSTD_CONTENTSIZE_ERROR) return PatchResult::Corrupt;
    if (named != static_cast<unsigned long long>(header.newSize))
        return named > static_cast<unsigned long long>(header.newSize) ? PatchResult::PastSize
                                                                       : PatchResult::ShortOfSize;
    std::string_view old;
    if (!io.wholeOld || !io.wholeOld(old) || std::ssize(old) != header.oldSize)
        return PatchResult::ReadFailed;
    std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
    if (!context ||
        ZSTD_isError(ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, prefixedWindowLog)) ||
        ZSTD_isError(ZSTD_DCtx_refPrefix(context.get(), old.data(), old.size())))
        return PatchResult::Corrupt;
    std::vector<char> piece(static_cast<std::size_t>(std::min<std::int64_t>(header.newSize, 1 << 20)) + 1);
    ZSTD_inBuffer in{frame.data(), frame.size(), 0};
    std::int64_t written = 0;
    for (;;) {
        ZSTD_outBuffer out{piece.data(), piece.size(), 0};
        const std::size_t left = ZSTD_decompressStream(context.get(), &out, &in);
        if (ZSTD_isError(left)) return PatchResult::Corrupt;
        if (static_cast<std::int64_t>(out.pos) > header.newSize - written) return PatchResult::PastSize;
        if (out.pos > 0 && !io.write(piece.data(), out.pos)) return PatchResult::WriteFailed;
        written += static_cast<std::int64_t>(out.pos);
        if (left == 0) break;
        if (in.pos == in.size && out.pos < out.size) return PatchResult::Corrupt; // cut short
    }
    if (in.pos != in.size) return PatchResult::Corrupt;
    return written == header.newSize ? PatchResult::Ok : PatchResult::ShortOfSize;
}

} // namespace

bool readPatchHeader(std::string_view patch, PatchHeader& header) {
    if (patch.size() < patchHeaderSize || !patch.starts_with(patchMagic)) return false;
    const char* at = patch.data() + patchMagic.size();
    header.oldSha256 = hexText(reinterpret_cast<const std::uint8_t*>(at), 32);
    header.newSha256 = hexText(reinterpret_cast<const std::uint8_t*>(at + 32), 32);
    header.oldSize = readLe64(at + 64);
    header.newSize = readLe64(at + 72);
    return header.oldSize >= 0 && header.newSize >= 0;
}

PatchResult applyPatch(std::string_view patch, const PatchIo& io) {
    PatchHeader header;
    if (!readPatchHeader(patch, header)) return PatchResult::Corrupt;
    if (patch.size() > patchHeaderSize && patch[patchHeaderSize] == 'p')
        return applyPrefixed(patch.substr(patchHeaderSize + 1), header, io);
    OpStream ops(patch.substr(patchHeaderSize));
    if (!ops.ok()) return PatchResult::Corrupt;
    std::vector<char> copy;
    std::int64_t written = 0, lastEnd = 0;
    while (!ops.atEnd()) {
        std::uint64_t op = 0;
        if (!ops.varint(op)) return PatchResult::Corrupt;
        const std::uint64_t length = op >> 1;
        if (length == 0) return PatchResult::Corrupt;
        if (length > static_cast<std::uint64_t>(header.newSize - written)) return PatchResult::PastSize;
        if (op & 1) {
            for (std::uint64_t left = length; left > 0;) {
                const std::string_view bytes = ops.run(left);
                if (bytes.empty()) return PatchResult::Corrupt;
                if (!io.write(bytes.data(), bytes.size())) return PatchResult::WriteFailed;
                left -= bytes.size();
            }
        } else {
            std::uint64_t zigzag = 0;
            if (!ops.varint(zigzag)) return PatchResult::Corrupt;
            const std::int64_t distance =
                static_cast<std::int64_t>(zigzag >> 1) ^ -static_cast<std::int64_t>(zigzag & 1);
            // Every term is within the old file's size or the distance's, so nothing overflows.
            if (distance < -lastEnd || distance > header.oldSize - lastEnd) return PatchResult::OutsideOld;
            const std::int64_t from = lastEnd + distance;
            if (static_cast<std::int64_t>(length) > header.oldSize - from) return PatchResult::OutsideOld;
            copy.resize(static_cast<std::size_t>(std::min<std::uint64_t>(length, 1 << 20)));
            for (std::int64_t at = from, end = from + static_cast<std::int64_t>(length); at < end;) {
                const auto n = static_cast<std::size_t>(std::min<std::int64_t>(end - at, std::ssize(copy)));
                if (!io.readOld(at, copy.data(), n)) return PatchResult::ReadFailed;
                if (!io.write(copy.data(), n)) return PatchResult::WriteFailed;
                at += static_cast<std::int64_t>(n);
            }
            lastEnd = from + static_cast<std::int64_t>(length);
        }
        written += static_cast<std::int64_t>(length);
    }
    if (!ops.ok()) return PatchResult::Corrupt;
    return written == header.newSize ? PatchResult::Ok : PatchResult::ShortOfSize;
}

const char* patchResultText(PatchResult result) {
    switch (result) {
    case PatchResult::Ok:
        return "applied";
    case PatchResult::Corrupt:
        return "the patch is corrupt";
    case PatchResult::OutsideOld:
        return "the patch copies from outside the old file";
    case PatchResult::PastSize:
        return "the patch writes past the file's size";
    case PatchResult::ShortOfSize:
        return "the patch ends short of the file's size";
    case PatchResult::ReadFailed:
        return "the old file could not be read";
    case PatchResult::WriteFailed:
        return "the part file could not be written";
    }
    return "unknown";
}
