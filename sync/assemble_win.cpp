// A whole file assembled in its part file from the build's chunk store: the chunks the part
// file holds already (an interrupted run) are kept, those no seed holds are fetched, each once,
// neighbours in one range request, and then one pass in order takes the rest from the seeds
// (the old copy, the other files the update replaces or drops, chunks fetched for other files)
// while it hashes the whole file. The file is checked whole before it is placed; a chunk that
// pass takes (fetched in order, or from a seed) is checked by that alone, and one by one only
// when the file fails, so that each byte is hashed once. Other chunks are checked as they come.
#include "base/session_status.h"
#include "net/chunk_store.h"
#include "net/gzip.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/sha256.h"
#include "sync/assembly.h"
#include "sync/download.h"
#include "sync/kept_lists.h"

#include <algorithm>
#include <utility>

namespace {

// A chunk held by the part file at every offset it goes to is not fetched again.
void takeHeld(Assembly& a, std::int64_t held) {
    for (Wanted& w : a.wanted) {
        w.written = std::all_of(w.offsets.begin(), w.offsets.end(), [&](std::int64_t at) {
            return at + w.chunk.size <= held && verifyRange(a.part, at, w.chunk.size, w.chunk.sha256);
        });
        if (w.written) a.done(w);
    }
}

// The file's chunks; packed is its index as it came, for a file of more than one.
FileError listChunks(const Manifest& manifest, const ManifestFile& f, const std::string& store,
                     const FetchFrom& from, std::vector<StoredChunk>& chunks, std::string& packed) {
    if (f.size == 0) return {};
    if (!f.indexed) {
        chunks = {singleChunk(f.sha256, f.size)};
        return {};
    }
    // Every chunk takes a line of under 200 bytes, and a chunk is at least the minimum size.
    const std::int64_t most = 64 + (f.size / manifest.chunking.min + 1) * 200;
    std::string text;
    if (FileError e = getBody(store + "i/" + f.sha256, headersFor(from, ""), 200, most, packed); e.failed)
        return e;
    if (gunzip(packed, most, text) != GunzipResult::Ok) return staleChunk("chunk index is not valid");
    if (FileError e = parseIndex(text, f.size, manifest.chunking.max, chunks); e.failed) {
        e.stale = true;
        return e;
    }
    return {};
}

bool hashWhole(HANDLE part, std::int64_t size, const std::string& expected, TransferBuffer& transfer) {
    char* const buffer = transfer.reserve(std::size_t{1} << 20);
    Sha256 digest;
    for (std::int64_t at = 0; at < size;) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(std::int64_t{1} << 20, size - at));
        if (!readAt(part, at, buffer, want)) return false;
        digest.update(buffer, want);
        at += static_cast<std::int64_t>(want);
    }
    return digest.finishHex() == expected;
}

} // namespace

FileError assembleFromStore(const std::wstring& folder, const Manifest& manifest, const FetchFrom& from,
                            const DownloadJob& job, TransferBuffer& buffer, WriteFolders& folders,
                            std::atomic<std::int64_t>& progress, ChunkSeeds& seeds, ReceivedFile& out) {
    const ManifestFile& f = *job.file;
    std::wstring target;
    if (FileError e = wholeFileTarget(folder, f, folders, target); e.failed) return e;
    const std::string store = storeUrlFor(manifest, from.baseUrl);
    const std::wstring partPath = partPathOf(target);
    FileHandle part;
    if (FileError e = openPartFile(folders, partPath, part); e.failed) return e;
    std::int64_t held = 0;
    fileInfo(partPath, &held);
    if (FileError e = cutPart(part.get(), partPath, f.size); e.failed) return e;
    bool patched = false;
    if (FileError e =
            patchFromHeld(folder, store, from, job, target, part.get(), partPath, progress, patched);
        e.failed)
        return e;
    if (patched) {
        out = ReceivedFile{std::move(part), partPath, std::move(target), f.size};
        return {};
    }
    if (hasPatchFromHeld(job)) seeds.cut({target}, manifest.chunking); // left for the patch until now
    std::vector<StoredChunk> chunks;
    std::string index;
    if (FileError e = listChunks(manifest, f, store, from, chunks, index); e.failed) return e;

    Assembly a{f, part.get(), partPath, progress, seeds, target, {}, {}};
    std::int64_t at = 0;
    for (StoredChunk& c : chunks) {
        auto [it, added] = a.bySha.try_emplace(c.sha256, a.wanted.size());
        if (added) a.wanted.push_back({c, {}, false});
        a.wanted[it->second].offsets.push_back(at);
        at += c.size;
    }
    takeHeld(a, std::min(held, f.size));
    // A chunk this file fetches is claimed until it arrives, so that another file that needs it
    // waits for it instead of fetching it too.
    struct Claims {
        ChunkSeeds& seeds;
        std::vector<std::string> shas;
        ~Claims() { seeds.release(shas); }
    } claims{seeds, {}};
    for (Wanted& w : a.wanted) {
        if (w.written) continue;
        switch (seeds.claim(w.chunk.sha256)) {
        case ChunkSeeds::Claim::Held:
            w.seeded = true;
            break;
        case ChunkSeeds::Claim::Awaited:
            w.seeded = w.awaited = true;
            break;
        case ChunkSeeds::Claim::Mine:
            claims.shas.push_back(w.chunk.sha256);
            break;
        }
    }
    // What no seed holds comes first, so that one pass in order then writes the rest and checks
    // the whole file.
    FileError failure;
    {
        // A file fetched in order is made and hashed as it comes: nothing is read back.
        OrderedPass pass(a);
        bool whole = false;
        // A file of one chunk is checked whole by the chunk's own check.
        const bool oneChunk =
            a.wanted.size() == 1 && a.wanted[0].offsets.size() == 1 && a.wanted[0].chunk.sha256 == f.sha256;
        failure = fetchMissing(a, store, from, oneChunk ? nullptr : &pass);
        // Released before this file waits for any chunk of another's, so that none waits in turn.
        seeds.release(std::exchange(claims.shas, {}));
        if (!failure.failed && oneChunk && a.wanted[0].written) {
            whole = true;
        } else if (!failure.failed) {
            failure = writeInOrder(a, pass, whole);
        }
        if (!failure.failed && !whole) {
            // A chunk a seed failed to give is fetched, or the index did not describe the file.
            if (!checkUnchecked(a, pass.unchecked())) {
                failure = staleChunk("a store chunk failed its checksum");
            } else if (failure = fetchMissing(a, store, from, nullptr);
                       !failure.failed && !hashWhole(part.get(), f.size, f.sha256, buffer)) {
                part.reset();
                removePath(partPath); // every chunk passed, so the index itself was wrong
                failure = staleChunk("assembled file failed its checksum");
            }
        }
    }
    // The next attempt counts again what it finds written.
    if (failure.failed) {
        progress.fetch_sub(a.counted);
        return failure;
    }
    if (!index.empty()) keepChunkList(folder, f.sha256, index);
    out = ReceivedFile{std::move(part), partPath, std::move(target), f.size};
    return {};
}
