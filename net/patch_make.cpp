// The publisher's side of binary patches: the new file as copies from the old one and literal
// bytes. Kept apart from the applier so that the launcher carries none of it.
#include "net/chunk_store.h"
#include "net/patch.h"
#include "store/hex.h"

#include <zstd.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A copy is looked for by the hash of this many bytes at every offset of the new file, among
// the old file's offsets that are a multiple of the step.
constexpr std::size_t block = 32;
constexpr std::uint64_t multiplier = 0x100000001B3ull;
// The table stays under 128 MiB whatever the old file's size: the step grows instead.
constexpr std::size_t maxEntries = std::size_t{8} << 20;
// After a copy the old file is first tried at the same distance: a run this long there is
// taken, as the bytes after a scattered edit usually are.
constexpr std::size_t continued = 8;

std::uint64_t hashOf(const unsigned char* p) {
    std::uint64_t h = 0;
    for (std::size_t i = 0; i < block; ++i)
        h = h * multiplier + p[i];
    return h;
}

void putVarint(std::string& out, std::uint64_t v) {
    while (v >= 0x80) {
        out += static_cast<char>(v | 0x80);
        v >>= 7;
    }
    out += static_cast<char>(v);
}

void putLe64(std::string& out, std::int64_t v) {
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>(static_cast<std::uint64_t>(v) >> (8 * i));
}

class Differ {
public:
    Differ(std::string_view o, std::string_view n)
        : old_(reinterpret_cast<const unsigned char*>(o.data())), oldSize_(o.size()),
          new_(reinterpret_cast<const unsigned char*>(n.data())), newSize_(n.size()) {}

    std::string ops() {
        if (oldSize_ >= block) index();
        std::size_t p = 0, literal = 0;
        std::int64_t distance = 0; // where the old file continues, from the new offset
        std::uint64_t h = newSize_ >= block ? hashOf(new_) : 0;
        while (p + block <= newSize_) {
            std::size_t from = 0, length = 0;
            if (const std::int64_t c = static_cast<std::int64_t>(p) + distance;
                c >= 0 && static_cast<std::size_t>(c) + continued <= oldSize_) {
                const std::size_t n = forward(static_cast<std::size_t>(c), p);
                if (n >= continued) from = static_cast<std::size_t>(c), length = n;
            }
            if (length < block && !table_.empty()) {
                if (const std::uint64_t e = table_[slot(h)]; e != 0) {
                    const std::size_t n = forward(e - 1, p);
                    if (n >= block && n > length) from = e - 1, length = n;
                }
            }
            if (length == 0) {
                if (p + block < newSize_) h = (h - power_ * new_[p]) * multiplier + new_[p + block];
                ++p;
                continue;
            }
            while (p > literal && from > 0 && old_[from - 1] == new_[p - 1])
                --p, --from, ++length;
            emitLiteral(literal, p);
            emitCopy(from, length);
            p += length;
            literal = p;
            distance = static_cast<std::int64_t>(from + length) - static_cast<std::int64_t>(p);
            if (p + block <= newSize_) h = hashOf(new_ + p);
        }
        emitLiteral(literal, newSize_);
        return std::move(out_);
    }

private:
    void index() {
        step_ = std::max<std::size_t>(16, (oldSize_ / maxEntries) + 1);
        const std::size_t entries = oldSize_ / step_ + 1;
        bits_ = std::bit_width(entries * 2);
        table_.assign(std::size_t{1} << bits_, 0);
        for (std::size_t i = 0; i + block <= oldSize_; i += step_) {
            std::uint64_t& e = table_[slot(hashOf(old_ + i))];
            if (e == 0) e = i + 1;
        }
        power_ = 1;
        for (std::size_t i = 1; i < block; ++i)
            power_ *= multiplier;
    }
    std::size_t slot(std::uint64_t h) const {
        return table_.empty() ? 0 : static_cast<std::size_t>((h * 0x9E3779B97F4A7C15ull) >> (64 - bits_));
    }
    std::size_t forward(std::size_t o, std::size_t n) const {
        const std::size_t most = std::min(oldSize_ - o, newSize_ - n);
        std::size_t k = 0;
        // Long copies are the rule: compared a block at a time until the block that differs.
        while (k + 64 <= most && std::memcmp(old_ + o + k, new_ + n + k, 64) == 0)
            k += 64;
        while (k < most && old_[o + k] == new_[n + k])
            ++k;
        return k;
    }
    void emitLiteral(std::size_t from, std::size_t to) {
        if (to <= from) return;
        putVarint(out_, (to - from) << 1 | 1);
        out_.append(reinterpret_cast<const char*>(new_ + from), to - from);
    }
    void emitCopy(std::size_t from, std::size_t length) {
        putVarint(out_, static_cast<std::uint64_t>(length) << 1);
        const std::int64_t d = static_cast<std::int64_t>(from) - static_cast<std::int64_t>(lastEnd_);
        putVarint(out_, static_cast<std::uint64_t>(d) << 1 ^ static_cast<std::uint64_t>(d >> 63));
        lastEnd_ = from + length;
    }

    const unsigned char* old_;
    std::size_t oldSize_;
    const unsigned char* new_;
    std::size_t newSize_;
    std::vector<std::uint64_t> table_; // an old offset + 1 by hash, 0 for none
    std::size_t step_ = 16;
    int bits_ = 0;
    std::uint64_t power_ = 1; // multiplier ^ (block - 1), which takes a byte out of the hash
    std::size_t lastEnd_ = 0;
    std::string out_;
};

void putDigest(std::string& out, const std::string& sha) {
    std::vector<std::uint8_t> bytes;
    if (!parseHex(sha, bytes) || bytes.size() != 32) bytes.assign(32, 0);
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string header(std::string_view oldBytes, std::string_view newBytes, const std::string& oldSha256,
                   const std::string& newSha256) {
    std::string patch(patchMagic);
    putDigest(patch, oldSha256);
    putDigest(patch, newSha256);
    putLe64(patch, static_cast<std::int64_t>(oldBytes.size()));
    putLe64(patch, static_cast<std::int64_t>(newBytes.size()));
    return patch;
}

// The new file as one frame whose window reaches over the whole old file, given as its prefix;
// empty when zstd fails.
std::string prefixedFrame(std::string_view oldBytes, std::string_view newBytes, int level) {
    std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> context(ZSTD_createCCtx(), ZSTD_freeCCtx);
    const std::size_t both = oldBytes.size() + newBytes.size();
    const int windowLog = std::clamp<int>(both > 1 ? std::bit_width(both - 1) : 0, 10, prefixedWindowLog);
    std::string out(ZSTD_compressBound(newBytes.size()) + 1, '\0');
    out[0] = 'p';
    if (!context || ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, level)) ||
        ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_contentSizeFlag, 1)) ||
        ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_windowLog, windowLog)) ||
        // Long matches are found by their own table: a level's hash chains lose them in text that
        // repeats itself, where every offset has many short candidates.
        ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_enableLongDistanceMatching, 1)) ||
        ZSTD_isError(ZSTD_CCtx_refPrefix(context.get(), oldBytes.data(), oldBytes.size())))
        return {};
    const std::size_t n =
        ZSTD_compress2(context.get(), out.data() + 1, out.size() - 1, newBytes.data(), newBytes.size());
    if (ZSTD_isError(n)) return {};
    out.resize(n + 1);
    return out;
}

} // namespace

std::string makeCopyPatch(std::string_view oldBytes, std::string_view newBytes, const std::string& oldSha256,
                          const std::string& newSha256, int level) {
    return header(oldBytes, newBytes, oldSha256, newSha256) +
           encodeChunk(Differ(oldBytes, newBytes).ops(), level);
}

std::string makePrefixedPatch(std::string_view oldBytes, std::string_view newBytes,
                              const std::string& oldSha256, const std::string& newSha256, int level) {
    if (std::ssize(oldBytes) > maxPrefixedFile || std::ssize(newBytes) > maxPrefixedFile) return {};
    std::string frame = prefixedFrame(oldBytes, newBytes, level);
    return frame.empty() ? frame : header(oldBytes, newBytes, oldSha256, newSha256) + frame;
}

std::string makePatch(std::string_view oldBytes, std::string_view newBytes, const std::string& oldSha256,
                      const std::string& newSha256, int level) {
    // Each wins somewhere: a frame finds the short matches of code edited all over, copies cost
    // less for a few edits in a large file (a frame pays for every block it spans).
    std::string copies = makeCopyPatch(oldBytes, newBytes, oldSha256, newSha256, 9);
    std::string prefixed = makePrefixedPatch(oldBytes, newBytes, oldSha256, newSha256, level);
    return !prefixed.empty() && prefixed.size() < copies.size() ? prefixed : copies;
}
