// A whole file assembled in its part file from the build's chunk store: the chunks the part
// file holds already (an interrupted run) are kept, those no seed holds are fetched, each once,
// neighbours in one range request, and then one pass in order takes the rest from the seeds
// (the old copy, the other files the update replaces or drops, chunks fetched for other files)
// while it hashes the whole file. Every chunk is checked before it is written and the file once
// complete.
#include "base/session_status.h"
#include "net/chunk_store.h"
#include "net/gzip.h"
#include "net/http.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/sha256.h"
#include "sync/download.h"
#include "sync/kept_lists.h"
#include "sync/rate_limit.h"
#include "sync/seeds.h"
#include "sync/write_behind.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

namespace {

// A store answer's body is held whole: an index lists at most a file's chunks, and a range
// request asks for at most this many stored bytes (or one chunk, when that is larger).
constexpr std::int64_t maxRangeStored = std::int64_t{8} << 20;

FileError staleChunk(std::string text) {
    FileError e = plainFailure(std::move(text));
    e.stale = true; // asked for again past caches, then from another server
    return e;
}

// One distinct chunk the file needs, with every offset it goes to.
struct Wanted {
    StoredChunk chunk;
    std::vector<std::int64_t> offsets;
    bool written = false; // at every offset, checked
    bool seeded = false;  // to be taken from a seed as the file is written in order
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

std::wstring headersFor(const FetchFrom& from, const std::string& range) {
    std::wstring headers(range.begin(), range.end());
    if (from.revalidate) headers += L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
    return headers;
}

// GET url; the body when the status is the one expected, at most maxBytes of it: a longer one
// is a stale answer, as a shorter one is.
FileError getBody(const std::string& url, const std::wstring& headers, std::int32_t status,
                  std::int64_t maxBytes, std::string& body, std::int64_t exactBytes = -1) {
    HttpRequest request;
    if (FileError e = request.get(url, headers); e.failed) return e;
    if (request.status != status)
        return plainFailure("HTTP " + std::to_string(request.status) + " for " + url);
    body.clear();
    char piece[65536];
    for (;;) {
        if (cancelRequested.load()) return cancelledFailure();
        std::uint32_t count = 0;
        if (FileError e = request.read(piece, sizeof piece, count); e.failed) return e;
        if (count == 0) break;
        if (static_cast<std::int64_t>(body.size() + count) > maxBytes)
            return staleChunk("store object larger than listed: " + url);
        throttleDownload(count);
        body.append(piece, count);
    }
    if (exactBytes >= 0 && static_cast<std::int64_t>(body.size()) != exactBytes)
        return staleChunk("store object cut short: " + url);
    return {};
}

FileError writeChunk(Assembly& a, Wanted& w, const std::string& bytes) {
    for (const std::int64_t at : w.offsets) {
        if (const std::uint32_t code = writeAll(a.part, bytes.data(), bytes.size(), a.partPath, at))
            return pathFailure("write", a.partPath, code);
    }
    w.written = true;
    a.done(w);
    return {};
}

// A chunk held by the part file at every offset it goes to is not fetched again.
void takeHeld(Assembly& a, std::int64_t held) {
    for (Wanted& w : a.wanted) {
        w.written = std::all_of(w.offsets.begin(), w.offsets.end(), [&](std::int64_t at) {
            return at + w.chunk.size <= held && verifyRange(a.part, at, w.chunk.size, w.chunk.sha256);
        });
        if (w.written) a.done(w);
    }
}

// Decodes and checks each chunk of one stored run and writes it wherever it goes.
FileError useStored(Assembly& a, const std::vector<std::size_t>& run, std::string_view stored,
                    std::int64_t start) {
    std::string bytes;
    for (const std::size_t k : run) {
        Wanted& w = a.wanted[k];
        // An index may name any place: one outside what came is a bad answer, not a read past it.
        const std::int64_t at = w.chunk.offset - start;
        if (at < 0 || at + w.chunk.length > static_cast<std::int64_t>(stored.size()))
            return staleChunk("store chunk " + w.chunk.sha256 + " lies outside its object");
        const std::string_view form =
            stored.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(w.chunk.length));
        if (!decodeChunk(form, w.chunk.size, bytes))
            return staleChunk("store chunk " + w.chunk.sha256 + " is corrupt");
        Sha256 digest;
        digest.update(bytes.data(), bytes.size());
        if (digest.finishHex() != w.chunk.sha256)
            return staleChunk("store chunk " + w.chunk.sha256 + " failed its checksum");
        if (FileError e = writeChunk(a, w, bytes); e.failed) return e;
        a.seeds.fetched(w.chunk.sha256, a.partPath, a.target, w.offsets.front());
    }
    return {};
}

// Fetches every chunk not written yet: a chunk of its own whole, chunks of a pack by ranges
// that take neighbours together.
FileError fetchMissing(Assembly& a, const std::string& store, const FetchFrom& from) {
    std::map<std::string, std::vector<std::size_t>> byObject;
    for (std::size_t k = 0; k < a.wanted.size(); ++k) {
        if (!a.wanted[k].written && !a.wanted[k].seeded) byObject[a.wanted[k].chunk.object].push_back(k);
    }
    std::string body;
    for (auto& [object, chunks] : byObject) {
        std::sort(chunks.begin(), chunks.end(), [&](std::size_t x, std::size_t y) {
            return a.wanted[x].chunk.offset < a.wanted[y].chunk.offset;
        });
        for (std::size_t first = 0; first < chunks.size();) {
            const StoredChunk& head = a.wanted[chunks[first]].chunk;
            std::size_t last = first;
            std::int64_t end = head.offset + head.length;
            const bool single = object.starts_with("c/"); // one chunk, the whole object
            while (!single && last + 1 < chunks.size()) {
                const StoredChunk& next = a.wanted[chunks[last + 1]].chunk;
                if (next.offset != end || next.offset + next.length - head.offset > maxRangeStored) break;
                end = next.offset + next.length;
                ++last;
            }
            const std::vector<std::size_t> run(chunks.begin() + static_cast<std::ptrdiff_t>(first),
                                               chunks.begin() + static_cast<std::ptrdiff_t>(last) + 1);
            char range[80] = "";
            if (!single)
                std::snprintf(range, sizeof range, "Range: bytes=%lld-%lld\r\n",
                              static_cast<long long>(head.offset), static_cast<long long>(end - 1));
            // A chunk object is as long as its stored form, which is at most its size and a byte.
            const std::int64_t most = single ? head.size + 1 : end - head.offset;
            if (FileError e = getBody(store + object, headersFor(from, range), single ? 200 : 206, most, body,
                                      single ? -1 : most);
                e.failed) {
                return e;
            }
            if (single) {
                a.wanted[chunks[first]].chunk.length = static_cast<std::int64_t>(body.size());
            }
            if (FileError e = useStored(a, run, body, head.offset); e.failed) return e;
            first = last + 1;
        }
    }
    return {};
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

// One pass over the file in order: each chunk a seed holds is written where it goes, and every
// byte, written now or before, is hashed on another thread as it passes, so that the file is
// made and checked whole in one read. Neighbours that lie side by side where they come from
// too are read with one call and written with another. Seeds are read unchecked here, as the
// whole file is checked: whole is false when the pass did not make the file the manifest lists
// (a seed replaced since it was cut, or unreadable), and the seeded chunks are then checked one
// by one.
FileError writeInOrder(Assembly& a, std::int64_t& unchecked, bool& whole) {
    std::vector<std::pair<std::int64_t, std::size_t>> order;
    for (std::size_t k = 0; k < a.wanted.size(); ++k) {
        for (const std::int64_t at : a.wanted[k].offsets)
            order.emplace_back(at, k);
    }
    std::sort(order.begin(), order.end());
    ChunkSeeds::Reader reader(a.seeds);
    HashBehind digest(a.file.size);
    BackgroundFlush flush(a.part);
    whole = true;
    struct Run {
        HANDLE from = nullptr;
        std::int64_t source = 0, at = 0;
        std::size_t start = 0, size = 0; // where its bytes lie in the block
        bool writes = false;             // from a seed, so written to the part file
    } run;
    const auto endRun = [&]() -> FileError {
        if (run.size == 0) return {};
        char* const bytes = digest.block().data() + run.start;
        const std::size_t size = std::exchange(run.size, 0);
        if (!readAt(run.from, run.source, bytes, size)) {
            whole = false; // a seed's chunks not written are checked, and fetched, after
            return {};
        }
        if (!run.writes) return {};
        if (const std::uint32_t code = writeAll(a.part, bytes, size, a.partPath, run.at))
            return pathFailure("write", a.partPath, code);
        flush.wrote(size);
        a.progress.fetch_add(static_cast<std::int64_t>(size));
        a.counted += static_cast<std::int64_t>(size);
        unchecked += static_cast<std::int64_t>(size);
        return {};
    };
    for (const auto& [at, k] : order) {
        if (cancelRequested.load()) return cancelledFailure();
        Wanted& w = a.wanted[k];
        const auto size = static_cast<std::size_t>(w.chunk.size);
        HANDLE from = a.part;
        std::int64_t source = at;
        if (!w.written && (!w.seeded || !reader.locate(w.chunk.sha256, from, source))) {
            w.seeded = false; // fetched after all
            whole = false;
            continue;
        }
        if (!digest.block().empty() && digest.block().size() + size > HashBehind::blockSize) {
            if (FileError e = endRun(); e.failed) return e;
            digest.handOver();
        }
        const bool writes = !w.written;
        if (run.size > 0 && (from != run.from || writes != run.writes ||
                             source != run.source + static_cast<std::int64_t>(run.size) ||
                             at != run.at + static_cast<std::int64_t>(run.size))) {
            if (FileError e = endRun(); e.failed) return e;
        }
        std::vector<char>& block = digest.block();
        if (run.size == 0) run = {from, source, at, block.size(), 0, writes};
        block.resize(block.size() + size);
        run.size += size;
    }
    if (FileError e = endRun(); e.failed) return e;
    whole = digest.finishHex() == a.file.sha256 && whole;
    return {};
}

// After a pass that did not make the file: each chunk a seed wrote is kept where it checks,
// and fetched where it does not.
void checkSeeded(Assembly& a, std::int64_t unchecked) {
    a.progress.fetch_sub(unchecked);
    a.counted -= unchecked;
    for (Wanted& w : a.wanted) {
        if (w.written || !w.seeded) continue;
        w.seeded = false;
        w.written = std::all_of(w.offsets.begin(), w.offsets.end(), [&](std::int64_t at) {
            return verifyRange(a.part, at, w.chunk.size, w.chunk.sha256);
        });
        if (w.written) a.done(w);
    }
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
    for (Wanted& w : a.wanted)
        w.seeded = !w.written && seeds.holds(w.chunk.sha256);
    // What no seed holds comes first, so that one pass in order then writes the rest and checks
    // the whole file.
    FileError failure = fetchMissing(a, store, from);
    std::int64_t unchecked = 0;
    bool whole = false;
    if (!failure.failed) failure = writeInOrder(a, unchecked, whole);
    if (!failure.failed && !whole) {
        // A chunk a seed failed to give is fetched, or the index did not describe the file.
        checkSeeded(a, unchecked);
        if (failure = fetchMissing(a, store, from);
            !failure.failed && !hashWhole(part.get(), f.size, f.sha256, buffer)) {
            part.reset();
            removePath(partPath); // every chunk passed, so the index itself was wrong
            failure = staleChunk("assembled file failed its checksum");
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
