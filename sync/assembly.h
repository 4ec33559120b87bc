// The pieces of a file's assembly from the chunk store that its two halves share: fetching what
// no seed holds (assemble_win.cpp), and the pass in file order that makes and hashes the rest
// (ordered_pass_win.cpp).
#pragma once

#include "net/chunk_store.h"
#include "net/manifest.h"
#include "store/file_error.h"
#include "sync/download.h"
#include "sync/seeds.h"
#include "sync/write_behind.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One distinct chunk the file needs, with every offset it goes to.
struct Wanted {
    StoredChunk chunk;
    std::vector<std::int64_t> offsets;
    bool written = false;   // at every offset, checked unless unchecked
    bool unchecked = false; // fetched into the pass, checked by the whole file's digest alone
    bool seeded = false;    // to be taken from a seed as the file is written in order
    bool awaited = false;   // seeded once another file has fetched it
};

struct Assembly {
    const ManifestFile& file;
    HANDLE part;
    const std::wstring& partPath;
    std::atomic<std::int64_t>& progress; // the phase's bytes done, which each chunk written adds to
    ChunkSeeds& seeds;
    const std::wstring& target;
    std::vector<Wanted> wanted; // in the order of first use
    std::map<std::string, std::size_t> bySha;
    std::int64_t counted = 0; // what this attempt added to progress

    void done(const Wanted& w) {
        const auto bytes = w.chunk.size * static_cast<std::int64_t>(w.offsets.size());
        progress.fetch_add(bytes);
        counted += bytes;
    }
};

// The file made in order from its first byte while it is hashed on another thread. Bytes for
// the place the pass has reached go into the block being hashed and are written from there,
// neighbours with one call: chunks fetched in file order as they arrive, then what the seeds hold,
// read side by side where they lie side by side. Bytes written elsewhere before are read back.
class OrderedPass {
public:
    explicit OrderedPass(Assembly& a) : a_(a), digest_(a.file.size), flush_(a.part) {}
    // Where the next bytes go.
    std::int64_t next() const { return next_; }
    // size bytes at next(): given, checked already, and written; or read from a seed at source
    // (written) or from the part file itself (not written again).
    FileError add(std::size_t size, const char* given, HANDLE from = nullptr, std::int64_t source = 0);
    // A chunk no seed gave after all: the pass goes on, but cannot make the file.
    FileError skip(std::size_t size);
    // Reads and writes what is gathered; false from ok() after a seed's read failed.
    FileError end();
    bool ok() const { return ok_; }
    // Seed bytes written unchecked, which count as done only once the file checks.
    std::int64_t unchecked() const { return unchecked_; }
    // Ends the pass: whether it made the file whole, as its digest.
    FileError finish(bool& whole);

private:
    struct Run {
        HANDLE from = nullptr; // nullptr: the bytes are in the block already
        std::int64_t source = 0, at = 0;
        std::size_t start = 0, size = 0; // where its bytes lie in the block
    };
    Assembly& a_;
    HashBehind digest_;
    BackgroundFlush flush_;
    Run run_;
    std::int64_t next_ = 0, unchecked_ = 0;
    bool ok_ = true;
};

// A store answer's body is held whole: an index lists at most a file's chunks, and a range
// request asks for at most this many stored bytes (or one chunk, when that is larger).
inline constexpr std::int64_t maxRangeStored = std::int64_t{8} << 20;

// A bad answer of the store, asked for again past caches, then from another server.
FileError staleChunk(std::string text);
std::wstring headersFor(const FetchFrom& from, const std::string& range);
// GET url; the body when the status is the one expected, at most maxBytes of it (exactBytes,
// when not negative): a longer or a shorter one is a stale answer.
FileError getBody(const std::string& url, const std::wstring& headers, std::int32_t status,
                  std::int64_t maxBytes, std::string& body, std::int64_t exactBytes = -1);
// Fetches every chunk not written and not left to a seed, each placed through the pass (when
// given) or where it goes.
FileError fetchMissing(Assembly& a, const std::string& store, const FetchFrom& from, OrderedPass* pass);

// Goes on with the pass from where the fetched chunks left it to the end of the file.
FileError writeInOrder(Assembly& a, OrderedPass& pass, bool& whole);
// After a pass that did not make the file: each chunk a seed wrote is kept where it checks, and
// left to be fetched where it does not. False when a chunk fetched unchecked fails: the store's
// answer was bad, and is asked for again past caches, then from another server.
bool checkUnchecked(Assembly& a, std::int64_t unchecked);
