#include "net/gzip.h"

#include <zlib.h>

#include <algorithm>

GunzipResult gunzip(std::string_view in, std::int64_t maxBytes, std::string& out) {
    out.clear();
    Inflater inflater(16 + MAX_WBITS); // gzip wrapping only
    if (!inflater.ok()) return GunzipResult::Corrupt;
    z_stream& z = inflater.stream();
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size()); // the body is at most 64 MiB
    char piece[65536];
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(piece);
        z.avail_out = sizeof piece;
        const int result = inflate(&z, Z_NO_FLUSH);
        const std::size_t produced = sizeof piece - z.avail_out;
        // A small body may unpack to any size: the limit holds for what it unpacks to.
        if (static_cast<std::int64_t>(out.size() + produced) > maxBytes) return GunzipResult::TooLarge;
        out.append(piece, produced);
        if (result == Z_STREAM_END) {
            if (z.avail_in == 0) return GunzipResult::Ok;
            // Concatenated members make one body, as gzip itself reads them.
            if (inflateReset(&z) != Z_OK) return GunzipResult::Corrupt;
            continue;
        }
        // Cut short, or not gzip at all.
        if (result != Z_OK || (produced == 0 && z.avail_in == 0)) return GunzipResult::Corrupt;
    }
}

std::string gzipBytes(std::string_view bytes) {
    z_stream z{};
    std::string out;
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return out;
    out.resize(deflateBound(&z, static_cast<uLong>(bytes.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
    out.resize(done ? z.total_out : 0);
    deflateEnd(&z);
    return out;
}
