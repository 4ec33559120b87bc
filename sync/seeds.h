// The chunks a player holds already, run-wide: those of every file an update replaces or
// drops, found by cutting each once the way the publisher cuts, and those fetched into a part
// file this run. A file assembled from the store takes its chunks from here before fetching,
// whichever file of the install holds them.
#pragma once

#include "net/chunk_store.h"
#include "store/cdc.h"
#include "store/handle.h"

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class ChunkSeeds {
public:
    // Cuts every file not cut before, on a few threads, and notes where each chunk lies. A file
    // that is missing or cannot be read only adds less.
    void cut(const std::vector<std::wstring>& files, const Chunking& chunking);
    // A chunk written to a part file this run, for the files assembled after it: it is read from
    // the part file, or from the target once that is in place.
    void fetched(const std::string& sha, const std::wstring& partPath, const std::wstring& target,
                 std::int64_t offset);
    // Notes the chunks of file from a list of them in order (sizes and digests), as a cut would
    // find them, without reading it; cut() then passes it by.
    bool list(const std::wstring& file, const std::vector<StoredChunk>& chunks);
    // Whether a seed may hold the chunk (a place is known; its read may still fail).
    bool holds(const std::string& sha) const;

    // A chunk no seed holds is fetched by one file at a time: the first to ask claims it, and a
    // file that asks while it is claimed waits for it (after fetching its own) rather than
    // fetching it again. A claim ends when the chunk is noted as fetched, or released.
    enum class Claim { Held, Mine, Awaited };
    Claim claim(const std::string& sha);
    void release(const std::vector<std::string>& shas);
    // Until the chunk is no longer claimed (or the run is cancelled).
    void await(const std::string& sha) const;

    // Reads what the seeds hold of one assembly's chunks, each handle open only as long as the
    // reader: a file waiting to be replaced is held no longer than one file's assembly.
    class Reader {
    public:
        explicit Reader(const ChunkSeeds& seeds) : seeds_(seeds) {}
        // Where a seed holds the chunk, for a read whose result the caller checks: the first of
        // its places whose file opens; false when there is none.
        bool locate(const std::string& sha, HANDLE& file, std::int64_t& offset);

    private:
        HANDLE open(std::size_t source);
        const ChunkSeeds& seeds_;
        std::map<std::size_t, FileHandle> open_;
    };

private:
    struct Place {
        std::size_t source;
        std::int64_t offset;
    };
    // Files are cut in pieces of this size, each from a little before it to a little after.
    static constexpr std::int64_t pieceBytes = std::int64_t{64} << 20;
    struct Piece {
        std::size_t source;
        std::int64_t begin, end, lead, size; // the file's size when listed
    };
    static std::uint64_t key(const std::string& sha);
    void cutPiece(const Piece& piece, const Chunking& chunking);
    void note(const std::string& sha, std::size_t source, std::int64_t offset);
    std::vector<Place> placesOf(const std::string& sha) const;
    std::vector<std::wstring> pathsOf(std::size_t source) const;

    mutable std::mutex lock_;
    std::vector<std::vector<std::wstring>> sources_; // the names to try, in turn, for each source
    std::map<std::wstring, std::size_t> known_;
    // A chunk at a few places at most: one that fails its check (a file replaced since) may
    // still be held elsewhere. Keyed by the digest's first 64 bits; every read is checked whole.
    std::unordered_multimap<std::uint64_t, Place> places_;
    std::unordered_set<std::uint64_t> claimed_;
    mutable std::condition_variable unclaimed_;
};
