// libFuzzer target over the gzip reader of compressed manifests: any bytes stay within the
// limit, and what zlib compresses reads back as it was.
#include "net/gzip.h"
#include "tests/fuzz/require.h"

#include <zlib.h>

#include <string>
#include <string_view>

namespace {

std::string gzipOf(std::string_view bytes) {
    z_stream z{};
    require(deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK);
    std::string out(deflateBound(&z, bytes.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    require(deflate(&z, Z_FINISH) == Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const std::int64_t limit : {std::int64_t{0}, std::int64_t{100}, std::int64_t{1} << 20}) {
        std::string out;
        const GunzipResult r = gunzip(bytes, limit, out);
        require(std::int64_t(out.size()) <= limit || r != GunzipResult::Ok);
    }
    const std::string packed = gzipOf(bytes);
    std::string out;
    require(gunzip(packed, std::int64_t(size), out) == GunzipResult::Ok && out == bytes);
    // Two members read as their bytes one after the other; one byte short is too large.
    require(gunzip(packed + packed, 2 * std::int64_t(size), out) == GunzipResult::Ok &&
            out.size() == 2 * size);
    if (size > 0) require(gunzip(packed, std::int64_t(size) - 1, out) == GunzipResult::TooLarge);
    return 0;
}
