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
#include "sync/assembly.h"
#include "sync/download.h"
#include "sync/kept_lists.h"
#include "sync/rate_limit.h"

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

// A checked chunk, wherever it goes: through the pass when that has reached it, else straight
// into the part file (to be read back when the pass gets there).
FileError placeChunk(Assembly& a, OrderedPass* pass, Wanted& w, const std::string& bytes) {
    for (const std::int64_t at : w.offsets) {
        if (pass && at == pass->next()) {
            if (FileError e = pass->add(bytes.size(), bytes.data()); e.failed) return e;
        } else if (const std::uint32_t code = writeAll(a.part, bytes.data(), bytes.size(), a.partPath, at)) {
            return pathFailure("write", a.partPath, code);
        }
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

// Decodes and checks each chunk of one stored run and places it wherever it goes. Once the run's
// bytes are on disk, other files may take its chunks from there.
FileError useStored(Assembly& a, OrderedPass* pass, const std::vector<std::size_t>& run,
                    std::string_view stored, std::int64_t start) {
    std::string bytes;
    std::vector<const Wanted*> arrived;
    FileError failure;
    for (const std::size_t k : run) {
        Wanted& w = a.wanted[k];
        // An index may name any place: one outside what came is a bad answer, not a read past it.
        const std::int64_t at = w.chunk.offset - start;
        if (at < 0 || at + w.chunk.length > static_cast<std::int64_t>(stored.size())) {
            failure = staleChunk("store chunk " + w.chunk.sha256 + " lies outside its object");
            break;
        }
        const std::string_view form =
            stored.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(w.chunk.length));
        if (!decodeChunk(form, w.chunk.size, bytes)) {
            failure = staleChunk("store chunk " + w.chunk.sha256 + " is corrupt");
            break;
        }
        Sha256 digest;
        digest.update(bytes.data(), bytes.size());
        if (digest.finishHex() != w.chunk.sha256) {
            failure = staleChunk("store chunk " + w.chunk.sha256 + " failed its checksum");
            break;
        }
        if (failure = placeChunk(a, pass, w, bytes); failure.failed) break;
        arrived.push_back(&w);
    }
    if (FileError e = pass ? pass->end() : FileError{}; e.failed) return e;
    for (const Wanted* w : arrived)
        a.seeds.fetched(w->chunk.sha256, a.partPath, a.target, w->offsets.front());
    return failure;
}

// Fetches every chunk not written yet: a chunk of its own whole, chunks of a pack by ranges
// that take neighbours together.
FileError fetchMissing(Assembly& a, const std::string& store, const FetchFrom& from, OrderedPass* pass) {
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
            if (FileError e = useStored(a, pass, run, body, head.offset); e.failed) return e;
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
    FileError failure;
    {
        // A file fetched in order is made and hashed as it comes: nothing is read back.
        OrderedPass pass(a);
        bool whole = false;
        failure = fetchMissing(a, store, from, &pass);
        if (!failure.failed) failure = writeInOrder(a, pass, whole);
        if (!failure.failed && !whole) {
            // A chunk a seed failed to give is fetched, or the index did not describe the file.
            checkSeeded(a, pass.unchecked());
            if (failure = fetchMissing(a, store, from, nullptr);
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
