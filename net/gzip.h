// Manifests served compressed: a file server or a CDN that compresses JSON halves what every
// start of the launcher fetches. The system's HTTP stack does not decompress on every system
// the launcher runs on, so the launcher does it itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class GunzipResult { Ok, TooLarge, Corrupt };

// Decompresses a gzip body (one or more members) into out, which must stay within maxBytes.
GunzipResult gunzip(std::string_view in, std::int64_t maxBytes, std::string& out);

// A gzip member holding bytes, at deflate's best compression: what vellumark-publish writes for
// objects the launcher reads with gunzip.
std::string gzipBytes(std::string_view bytes);
