// The two kinds of download job: a whole file through its ".part" file, and one chunk
// written in place.
#include "sync/download.h"
#include "sync/rate_limit.h"

#include "base/session_status.h"
#include "net/http.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/sha256.h"
#include "sync/folder_guard.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <vector>

namespace {

// A body that is not the listed bytes: the next attempt asks caches on the way to revalidate.
FileError staleFailure(std::string text) {
    FileError e = plainFailure(std::move(text));
    e.stale = true;
    return e;
}

// Whole files are written in pieces of this size: fewer, larger writes than the reads.
constexpr std::size_t writePiece = std::size_t{1} << 20;

// Streams the body into the open part file; the digest sees every byte as it arrives, while
// it is still in the cache. A body longer than the manifest's size ends at the first byte too
// many: a server must not fill the disk.
FileError receiveInto(HttpRequest& request, HANDLE part, const std::wstring& partPath, std::int64_t size,
                      Sha256& digest, std::int64_t& received, TransferBuffer& transfer) {
    char* const buffer = transfer.reserve(writePiece);
    std::size_t held = 0; // received, not yet written
    const auto flush = [&]() -> FileError {
        if (const std::uint32_t code = writeAll(part, buffer, held, partPath))
            return pathFailure("write", partPath, code);
        held = 0;
        return {};
    };
    while (!cancelRequested.load()) {
        std::uint32_t count = 0;
        const auto room =
            static_cast<std::uint32_t>(std::min<std::size_t>(transferBufferBytes, writePiece - held));
        // What came before a lost connection is written all the same: the next attempt resumes
        // after it.
        if (FileError e = request.read(buffer + held, room, count); e.failed) {
            flush();
            return e;
        }
        if (count == 0) return flush();
        if (count > size - received) return staleFailure("downloaded file is larger than its listed size");
        throttleDownload(count);
        digest.update(buffer + held, count);
        held += count;
        received += count;
        if (held == writePiece) {
            if (FileError e = flush(); e.failed) return e;
        }
    }
    flush();
    return cancelledFailure();
}

// The request's headers: the range, and the revalidation a suspected stale copy calls for.
std::wstring requestHeaders(const FetchFrom& from, const wchar_t* range) {
    std::wstring headers = range;
    if (from.revalidate) headers += L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
    return headers;
}

// The length of the part file, -1 when unknown.
std::int64_t partLength(HANDLE part) {
    LARGE_INTEGER length{};
    return GetFileSizeEx(part, &length) ? length.QuadPart : -1;
}

// The length of the part file to resume from: 0 when it is longer than the file, which no
// download of it could leave.
std::int64_t heldLength(HANDLE part, const ManifestFile& f) {
    const std::int64_t length = partLength(part);
    return length > f.size ? 0 : std::max<std::int64_t>(length, 0);
}

// Feeds the first held bytes of the part file to the digest, read at explicit offsets.
bool hashHeld(HANDLE part, std::int64_t held, Sha256& digest, TransferBuffer& transfer) {
    char* const buffer = transfer.reserve(writePiece);
    for (std::int64_t at = 0; at < held;) {
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD count = 0;
        const auto want = static_cast<DWORD>(std::min<std::int64_t>(writePiece, held - at));
        if (!ReadFile(part, buffer, want, &count, &where) || count == 0) return false;
        digest.update(buffer, count);
        at += count;
    }
    return true;
}

} // namespace

FileError cutPart(HANDLE part, const std::wstring& path, std::int64_t length) {
    LARGE_INTEGER at{};
    at.QuadPart = length;
    if (!SetFilePointerEx(part, at, nullptr, FILE_BEGIN) || !SetEndOfFile(part))
        return pathFailure("truncate", path, lastErrorCode());
    return {};
}

namespace {

// Fetches the file from byte held on, with a range request when the part file holds the
// first bytes already. A server that answers with the whole file starts the part file again.
FileError fetchRest(const FetchFrom& from, const ManifestFile& f, HANDLE part, const std::wstring& partPath,
                    std::int64_t held, Sha256& digest, std::int64_t& received, TransferBuffer& buffer,
                    bool& keepPart) {
    wchar_t range[64] = L"";
    if (held > 0)
        std::swprintf(range, std::size(range), L"Range: bytes=%lld-\r\n", static_cast<long long>(held));
    HttpRequest request;
    keepPart = true;
    if (FileError e = request.get(fileUrl(from.baseUrl, f.path), requestHeaders(from, range)); e.failed)
        return e;
    if (held > 0 && request.status == 206) {
        if (!hashHeld(part, held, digest, buffer)) {
            keepPart = false;
            return pathFailure("read", partPath, lastErrorCode());
        }
    } else if (request.status == 200) {
        held = 0;
    } else {
        keepPart = request.status != 416; // 416: the part file does not fit the server's file
        return plainFailure("HTTP " + std::to_string(request.status));
    }
    keepPart = false;
    // A part file just made is empty, with its file pointer at the start: nothing to cut.
    if (held > 0 || partLength(part) > 0) {
        if (FileError e = cutPart(part, partPath, held); e.failed) return e;
    }
    received = held;
    FileError e = receiveInto(request, part, partPath, f.size, digest, received, buffer);
    // Bytes that did not come are no reason to doubt those that did.
    keepPart = e.cancelled || e.network;
    return e;
}

} // namespace

FileError openPartFile(WriteFolders& folders, const std::wstring& path, FileHandle& part) {
    part.reset(CreateFileW(extendedPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
    if (!part) return pathFailure("open", path, lastErrorCode());
    if (!folders.holds(part.get(), path)) { // a link in the part file's name
        part.reset();
        return outsideFailure();
    }
    return {};
}

FileError wholeFileTarget(const std::wstring& folder, const ManifestFile& f, WriteFolders& folders,
                          std::wstring& target) {
    if (FileError e = resolveManifestPath(folder, f.path, target); e.failed) return e;
    return folders.prepare(parentFolder(target));
}

FileError downloadWholeFile(const std::wstring& folder, const FetchFrom& from, const DownloadJob& job,
                            TransferBuffer& buffer, WriteFolders& folders, ReceivedFile& out) {
    const ManifestFile& f = *job.file;
    std::wstring target;
    if (FileError e = wholeFileTarget(folder, f, folders, target); e.failed) return e;

    // An earlier download of this file may have left part of it: that much is not fetched again.
    const std::wstring part = partPathOf(target);
    FileHandle file;
    if (FileError e = openPartFile(folders, part, file); e.failed) return e;
    std::int64_t held = heldLength(file.get(), f);
    Sha256 digest;
    std::int64_t received = 0;
    FileError failure;
    bool keepPart = false;
    if (held < f.size || held == 0) {
        failure = fetchRest(from, f, file.get(), part, held, digest, received, buffer, keepPart);
    } else if (!hashHeld(file.get(), held, digest, buffer)) {
        failure = pathFailure("read", part, lastErrorCode());
    } else {
        received = held;
    }
    if (!failure.failed && digest.finishHex() != f.sha256) {
        failure = staleFailure("downloaded file failed its checksum");
    }
    // The digest alone would let a file shorter than its listed size pass, and every later
    // check would then disagree with the state.
    if (!failure.failed && received != f.size) {
        failure = staleFailure("downloaded file is smaller than its listed size");
        keepPart = true; // a body cut short, as a lost connection leaves it under Wine
    }
    if (failure.failed) {
        file.reset();
        // A download that stopped keeps what it received for the next attempt; bytes that
        // proved wrong go.
        std::int64_t length = 0;
        if (!keepPart || !fileInfo(part, &length) || length == 0) removePath(part);
        return failure;
    }
    out = ReceivedFile{std::move(file), part, std::move(target), received};
    return {};
}

FileError downloadChunk(const std::wstring& folder, const Manifest& manifest, const FetchFrom& from,
                        const DownloadJob& job, HANDLE target, std::atomic<std::int64_t>& byteCounter,
                        TransferBuffer& transfer, std::int32_t& done) {
    const ManifestFile& file = *job.file;
    // One request for the chunks of the job not written yet; each is checked and written alone.
    const std::int32_t first = job.chunkIndex + done, last = job.chunkIndex + job.chunkCount - 1;
    const std::int64_t offset = static_cast<std::int64_t>(first) * manifest.chunkSize;
    const std::int64_t end = static_cast<std::int64_t>(last) * manifest.chunkSize +
                             chunkLength(manifest, file, static_cast<std::size_t>(last));
    wchar_t range[96];
    std::swprintf(range, std::size(range), L"Range: bytes=%lld-%lld\r\n", static_cast<long long>(offset),
                  static_cast<long long>(end - 1));

    HttpRequest request;
    if (FileError e = request.get(fileUrl(from.baseUrl, file.path), requestHeaders(from, range)); e.failed)
        return e;
    // A server that ignores the range would send the whole file: its body is never read.
    if (request.status != 206) {
        return plainFailure("server did not honour range request (HTTP " + std::to_string(request.status) +
                            ")");
    }
    std::wstring path;
    resolveManifestPath(folder, file.path, path);
    for (std::int32_t k = first; k <= last; ++k) {
        // The whole chunk is held and checked in memory, so a bad transfer never touches the
        // disk. It is hashed as it arrives, while each piece is still in the cache.
        const std::int64_t length = chunkLength(manifest, file, static_cast<std::size_t>(k));
        char* const buffer = transfer.reserve(static_cast<std::size_t>(length));
        Sha256 digest;
        std::int64_t received = 0;
        while (received < length) {
            if (cancelRequested.load()) return cancelledFailure();
            const auto want =
                static_cast<std::uint32_t>(std::min<std::int64_t>(transferBufferBytes, length - received));
            std::uint32_t count = 0;
            if (FileError e = request.read(buffer + received, want, count); e.failed) return e;
            if (count == 0) return staleFailure("unexpected EOF");
            throttleDownload(count);
            digest.update(buffer + received, count);
            received += count;
        }
        if (digest.finishHex() != file.chunks[static_cast<std::size_t>(k)]) {
            return staleFailure("chunk failed its checksum");
        }
        // Chunks are written at explicit offsets, so workers share the handle and its file
        // pointer is never used.
        const std::int64_t at = static_cast<std::int64_t>(k) * manifest.chunkSize;
        if (const std::uint32_t code = writeAll(target, buffer, static_cast<std::size_t>(length), path, at))
            return pathFailure("write", path, code);
        byteCounter.fetch_add(length);
        ++done;
    }
    return {};
}
