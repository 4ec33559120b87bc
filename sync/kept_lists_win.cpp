#include "sync/kept_lists.h"

#include "net/chunk_store.h"
#include "net/gzip.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/text.h"
#include "sync/cleanup.h"
#include "sync/state.h"

namespace {

std::wstring listPath(const std::wstring& folder, const std::string& sha) {
    return joinPath(joinPath(folder, chunkListFolderName), toWide(sha));
}

} // namespace

void keepChunkList(const std::wstring& folder, const std::string& sha, std::string_view packedIndex) {
    std::wstring failedDir;
    if (makeDirs(joinPath(folder, chunkListFolderName), failedDir) != 0) return;
    // Not flushed: a list lost to a power cut only means the old copy is cut instead.
    FileHandle file(CreateFileW(extendedPath(listPath(folder, sha)).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && writeAll(file.get(), packedIndex.data(), packedIndex.size(), {}) != 0) {
        file.reset();
        removePath(listPath(folder, sha));
    }
}

bool seedFromKeptList(ChunkSeeds& seeds, const std::wstring& folder, const std::wstring& file,
                      const std::string& sha, std::int64_t size, const Chunking& chunking) {
    std::string packed, text;
    std::vector<StoredChunk> chunks;
    // Every chunk takes a line of under 200 bytes, and a chunk is at least the minimum size.
    const std::int64_t most = 64 + (size / chunking.min + 1) * 200;
    if (!readWholeFile(listPath(folder, sha), packed) || gunzip(packed, most, text) != GunzipResult::Ok ||
        parseIndex(text, size, chunking.max, chunks).failed)
        return false;
    return seeds.list(file, chunks);
}

void pruneKeptLists(const std::wstring& folder, const std::set<std::string>& held) {
    const std::wstring lists = joinPath(folder, chunkListFolderName);
    std::vector<std::wstring> kept;
    listTree(lists, &kept, nullptr);
    for (const std::wstring& path : kept) {
        if (!held.contains(toUtf8(path.substr(path.find_last_of(L"\\/") + 1)))) removePath(path);
    }
}
