#include "net/gzip.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

// text as one gzip member.
std::string gzipped(const std::string& text) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, text.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

TEST(Gunzip, EveryOutcome) {
    const std::string manifest = R"({"version":"7","files":[]})";
    const std::string big(1 << 20, ' ');
    const struct {
        std::string body;
        std::int64_t limit;
        GunzipResult result;
        std::string text;
    } cases[] = {
        {gzipped(manifest), 1000, GunzipResult::Ok, manifest},
        {gzipped("{\"a\":") + gzipped("1}"), 1000, GunzipResult::Ok, "{\"a\":1}"}, // two members
        {gzipped(big), std::int64_t{1} << 20, GunzipResult::Ok, big},              // exactly the limit
        {gzipped(big), (std::int64_t{1} << 20) - 1, GunzipResult::TooLarge, ""},
        {gzipped(manifest).substr(0, 20), 1000, GunzipResult::Corrupt, ""}, // cut short
        {manifest, 1000, GunzipResult::Corrupt, ""},                        // never compressed
        {"", 1000, GunzipResult::Corrupt, ""},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(gunzip(c.body, c.limit, out), c.result) << c.text.size();
        if (c.result == GunzipResult::Ok) {
            EXPECT_TRUE(out == c.text);
        }
    }
}

} // namespace
