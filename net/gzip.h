// Manifests served compressed: a file server or a CDN that compresses JSON halves what every
// start of the launcher fetches. The system's HTTP stack does not decompress on every system
// the launcher runs on, so the launcher does it itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <zlib.h>

// An inflate state for a window of windowBits (zlib's: negative for raw deflate, plus 16 for
// gzip), ended on every path.
class Inflater {
public:
    explicit Inflater(int windowBits) { ok_ = inflateInit2(&stream_, windowBits) == Z_OK; }
    ~Inflater() {
        if (ok_) inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    bool ok() const { return ok_; }
    z_stream& stream() { return stream_; }

private:
    z_stream stream_{};
    bool ok_ = false;
};

enum class GunzipResult { Ok, TooLarge, Corrupt };

// Decompresses a gzip body (one or more members) into out, which must stay within maxBytes.
GunzipResult gunzip(std::string_view in, std::int64_t maxBytes, std::string& out);

// A gzip member holding bytes, at deflate's best compression: what vellumark-publish writes for
// objects the launcher reads with gunzip.
std::string gzipBytes(std::string_view bytes);
