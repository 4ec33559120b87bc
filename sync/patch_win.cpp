// A file from the store made by a patch from the version the player holds: the patch is
// fetched into the launcher's patch folder (kept there until used, so an interrupted update
// does not fetch it again), applied from the old copy into the part file, and the result
// checked whole. Anything wrong with it leaves the file to its chunks.
#include "sync/download.h"

#include "base/log.h"
#include "base/session_status.h"
#include "net/http.h"
#include "net/patch.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/text.h"
#include "sync/rate_limit.h"
#include "sync/state.h"
#include "sync/write_behind.h"

#include <algorithm>

namespace {

// A patch is taken only when smaller than the chunks it spares, which are at most the file's
// size and a byte a chunk; a longer answer is no patch of ours. It is held whole, so one past
// a bound is left for the chunks.
std::int64_t mostPatchBytes(const ManifestFile& f) {
    return std::min<std::int64_t>(static_cast<std::int64_t>(patchHeaderSize) + f.size + f.size / 64 + 4096,
                                  std::int64_t{256} << 20);
}

bool fetchPatch(const std::string& url, const FetchFrom& from, std::int64_t most, std::string& patch,
                std::string& problem) {
    HttpRequest request;
    const std::wstring headers = from.revalidate ? L"Cache-Control: no-cache\r\nPragma: no-cache\r\n" : L"";
    if (FileError e = request.get(url, headers); e.failed) {
        problem = e.message;
        return false;
    }
    if (request.status != 200) {
        problem = "HTTP " + std::to_string(request.status);
        return false;
    }
    char piece[65536];
    for (;;) {
        std::uint32_t count = 0;
        if (FileError e = request.read(piece, sizeof piece, count); e.failed) {
            problem = e.message;
            return false;
        }
        if (count == 0) return true;
        if (static_cast<std::int64_t>(patch.size() + count) > most || cancelRequested.load()) {
            problem = "the patch is larger than the file";
            return false;
        }
        throttleDownload(count);
        patch.append(piece, count);
    }
}

// Writes the new file into the part file from the old copy; true when it matches its digest.
// What is written is hashed on another thread, and flushed behind, while the next bytes come.
bool apply(const std::string& patch, const ManifestFile& f, HANDLE old, std::int64_t oldSize, HANDLE part,
           const std::wstring& partPath, std::atomic<std::int64_t>& progress, std::int64_t& counted,
           std::string& problem) {
    PatchHeader header;
    if (!readPatchHeader(patch, header) || header.newSha256 != f.sha256 || header.newSize != f.size ||
        header.oldSize != oldSize) {
        problem = "the patch is for other files";
        return false;
    }
    HashBehind digest(f.size);
    BackgroundFlush flush(part);
    std::int64_t at = 0;
    const auto writeBlock = [&] {
        std::vector<char>& block = digest.block();
        if (writeAll(part, block.data(), block.size(), partPath, at) != 0) return false;
        at += std::ssize(block);
        flush.wrote(block.size());
        progress.fetch_add(std::ssize(block));
        counted += std::ssize(block);
        digest.handOver();
        return true;
    };
    // A prefixed patch reads the old copy whole: mapped, never copied, and only when asked for.
    KernelHandle mapping;
    MappedView view;
    const PatchIo io{
        [&](std::int64_t offset, char* data, std::size_t size) { return readAt(old, offset, data, size); },
        [&](const char* data, std::size_t size) {
            if (cancelRequested.load()) return false;
            while (size > 0) {
                std::vector<char>& block = digest.block();
                const std::size_t n = std::min(size, HashBehind::blockSize - block.size());
                block.insert(block.end(), data, data + n);
                data += n;
                size -= n;
                if (block.size() == HashBehind::blockSize && !writeBlock()) return false;
            }
            return true;
        },
        [&](std::string_view& bytes) {
            mapping.reset(CreateFileMappingW(old, nullptr, PAGE_READONLY, 0, 0, nullptr));
            if (mapping) view.reset(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
            if (!view) return false;
            bytes = std::string_view(static_cast<const char*>(view.get()), static_cast<std::size_t>(oldSize));
            return true;
        }};
    if (const PatchResult r = applyPatch(patch, io); r != PatchResult::Ok) {
        problem = patchResultText(r);
        return false;
    }
    if (!digest.block().empty() && !writeBlock()) {
        problem = patchResultText(PatchResult::WriteFailed);
        return false;
    }
    if (digest.finishHex() != f.sha256) {
        problem = "the patched file failed its checksum";
        return false;
    }
    return true;
}

} // namespace

bool hasPatchFromHeld(const DownloadJob& job) {
    const std::vector<std::string>& from = job.file->patches;
    return !job.heldSha.empty() && std::find(from.begin(), from.end(), job.heldSha) != from.end();
}

std::wstring keptPatchPath(const std::wstring& folder, const std::string& oldSha, const std::string& newSha) {
    return joinPath(joinPath(folder, patchFolderName), toWide(oldSha + "-" + newSha));
}

FileError patchFromHeld(const std::wstring& folder, const std::string& store, const FetchFrom& from,
                        const DownloadJob& job, const std::wstring& target, HANDLE part,
                        const std::wstring& partPath, std::atomic<std::int64_t>& progress, bool& applied) {
    applied = false;
    const ManifestFile& f = *job.file;
    const std::string& held = job.heldSha;
    if (!hasPatchFromHeld(job)) return {};
    const std::wstring kept = keptPatchPath(folder, held, f.sha256);
    std::string patch, problem;
    const bool wasKept =
        readWholeFile(kept, patch) && static_cast<std::int64_t>(patch.size()) <= mostPatchBytes(f);
    if (!wasKept) {
        patch.clear();
        if (!fetchPatch(store + "d/" + held + "-" + f.sha256, from, mostPatchBytes(f), patch, problem)) {
            if (cancelRequested.load()) return cancelledFailure();
            appendLog(f.path + ": no patch (" + problem + "); its chunks are fetched");
            return {};
        }
        std::wstring failedDir;
        // Kept for a run that is interrupted before it is used; one that cannot be kept is used all the same.
        if (makeDirs(joinPath(folder, patchFolderName), failedDir) == 0) replaceFileDurably(kept, patch);
    }
    std::int64_t oldSize = -1, counted = 0;
    FileHandle old(CreateFileW(extendedPath(target).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (LARGE_INTEGER size{}; old && GetFileSizeEx(old.get(), &size)) oldSize = size.QuadPart;
    applied = old && apply(patch, f, old.get(), oldSize, part, partPath, progress, counted, problem);
    if (cancelRequested.load()) {
        progress.fetch_sub(counted);
        return cancelledFailure();
    }
    if (!applied) {
        progress.fetch_sub(counted);
        appendLog(f.path + ": the patch from its old copy failed (" +
                  (old ? problem : "the old copy cannot be read") + "); its chunks are fetched");
    }
    removePath(kept);
    return {};
}
