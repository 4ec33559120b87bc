// Content-defined chunking: cut points chosen by the bytes themselves (a gear hash over the
// last 64 bytes, with the normalised cut of FastCDC), so that data inserted or removed moves
// only the cuts next to it and every other chunk keeps its bytes, wherever it now lies.
// vellumark-publish cuts every file of a build this way for the chunk store; the launcher cuts
// its old copies the same way to find the chunks it already holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The default was measured on real releases (bench/realworld): against 64 KiB, chunks of 16 KiB
// cost a third of the bytes for scattered edits in code and half for assets, while packs keep the
// requests of a fresh install as few.
struct Chunking {
    std::int64_t min = 4 << 10;  // no cut before this many bytes
    std::int64_t avg = 16 << 10; // a power of two: cuts come about this often
    std::int64_t max = 64 << 10;

    bool operator==(const Chunking&) const = default;
};

// Whether a chunking from the manifest can be used: 64 <= min <= avg <= max <= limit, avg a
// power of two.
bool validChunking(const Chunking& c, std::int64_t limit);

// The length of the chunk that starts at data: at most size, which is the rest of the file
// (or as much of it as is at hand, max or more, or the rest).
std::size_t nextCut(const Chunking& c, const unsigned char* data, std::size_t size);

// Cuts a stream fed in pieces of any size; each chunk is handed over whole as soon as its end
// is known.
class ChunkCutter {
public:
    explicit ChunkCutter(const Chunking& c) : chunking_(c) {}
    // Feeds bytes; chunk(bytes, length) is called for each chunk that ends in them.
    template <class OnChunk> void feed(const void* data, std::size_t size, OnChunk&& chunk) {
        pending_.append(static_cast<const char*>(data), size);
        std::size_t at = 0;
        while (pending_.size() - at >= static_cast<std::size_t>(chunking_.max)) {
            const std::size_t n = nextCut(chunking_, bytes() + at, pending_.size() - at);
            chunk(pending_.data() + at, n);
            at += n;
        }
        pending_.erase(0, at);
    }
    // The chunks left once the stream ended.
    template <class OnChunk> void finish(OnChunk&& chunk) {
        std::size_t at = 0;
        while (at < pending_.size()) {
            const std::size_t n = nextCut(chunking_, bytes() + at, pending_.size() - at);
            chunk(pending_.data() + at, n);
            at += n;
        }
        pending_.clear();
    }

private:
    const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(pending_.data()); }
    Chunking chunking_;
    std::string pending_;
};
