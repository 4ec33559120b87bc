#include "app/session_status.h"
#include "net/http.h"
#include "store/files.h"
#include "store/sha256.h"
#include "sync/download.h"

#include <cwchar>
#include <vector>

FileError downloadChunk(const std::wstring& folder, const Manifest& manifest, const DownloadJob& job,
                        HANDLE target, std::atomic<std::int64_t>& byteCounter) {
    const ManifestFile& file = *job.file;
    const std::int64_t offset = static_cast<std::int64_t>(job.chunkIndex) * manifest.chunkSize;
    const std::int64_t length = job.length;
    wchar_t range[96];
    std::swprintf(range, 96, L"Range: bytes=%lld-%lld\r\n", static_cast<long long>(offset),
                  static_cast<long long>(offset + length - 1));

    HttpRequest request;
    if (FileError e = request.get(fileUrl(manifest.baseUrl, file.path), range); e.failed) return e;
    // A server that ignores the range would send the whole file: its body is never read.
    if (request.status != 206) {
        return plainFailure("server did not honour range request (HTTP " + std::to_string(request.status) +
                            ")");
    }

    // The whole chunk is held and checked in memory, so a bad transfer never touches the disk.
    std::vector<char> buffer(static_cast<std::size_t>(length));
    std::int64_t received = 0;
    while (received < length) {
        if (cancelRequested.load()) return cancelledFailure();
        const auto want = static_cast<std::uint32_t>(std::min<std::int64_t>(65536, length - received));
        std::uint32_t count = 0;
        if (FileError e = request.read(buffer.data() + received, want, count); e.failed) return e;
        if (count == 0) return plainFailure("unexpected EOF");
        received += count;
    }
    Sha256 digest;
    digest.update(buffer.data(), buffer.size());
    if (digest.finishHex() != file.chunks[static_cast<std::size_t>(job.chunkIndex)]) {
        return plainFailure("chunk failed its checksum");
    }

    // Chunks are written at explicit offsets, so workers share the handle and its file
    // pointer is never used.
    std::wstring path;
    resolveManifestPath(folder, file.path, path);
    if (const std::uint32_t code = writeAll(target, buffer.data(), buffer.size(), path, offset))
        return pathFailure("write", path, code);
    byteCounter.fetch_add(length);
    return {};
}
