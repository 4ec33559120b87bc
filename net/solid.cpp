// zstd's one-shot calls: a solid object is at most maxSolidRaw bytes unpacked, held whole.
#include "net/solid.h"

#include <zstd.h>

#include <memory>

namespace {

constexpr int solidWindowLog = 24; // maxSolidRaw
static_assert(std::int64_t{1} << solidWindowLog == maxSolidRaw);

} // namespace

std::string compressSolid(std::string_view raw, int level) {
    std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> context(ZSTD_createCCtx(), ZSTD_freeCCtx);
    std::string out(ZSTD_compressBound(raw.size()), '\0');
    if (!context || ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, level)) ||
        ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_contentSizeFlag, 1)) ||
        // A window over the whole object: a build repeats itself far apart (a bundle and the
        // bundle it embeds), which a level's own window of a few MiB misses.
        ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_windowLog, solidWindowLog)) ||
        ZSTD_isError(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_checksumFlag, 1)))
        return {};
    const std::size_t n = ZSTD_compress2(context.get(), out.data(), out.size(), raw.data(), raw.size());
    if (ZSTD_isError(n)) return {};
    out.resize(n);
    return out;
}

bool decompressSolid(std::string_view stored, std::int64_t rawSize, std::string& out) {
    if (rawSize < 0 || rawSize > maxSolidRaw) return false;
    // The frame must be exactly the stored bytes and name exactly the listed size: then zstd
    // writes no further than the buffer it is given.
    if (ZSTD_findFrameCompressedSize(stored.data(), stored.size()) != stored.size() ||
        ZSTD_getFrameContentSize(stored.data(), stored.size()) != static_cast<unsigned long long>(rawSize))
        return false;
    std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
    if (!context) return false;
    // A frame may ask for a window of up to 2 GiB; no solid object needs more than its own size.
    ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, solidWindowLog);
    out.assign(static_cast<std::size_t>(rawSize), '\0');
    const std::size_t n =
        ZSTD_decompressDCtx(context.get(), out.data(), out.size(), stored.data(), stored.size());
    return !ZSTD_isError(n) && n == out.size();
}
