#include "app/session_status.h"
#include "net/http.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/sha256.h"
#include "sync/download.h"

#include <vector>

namespace {

bool move(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(extendedPath(from).c_str(), extendedPath(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// Streams the body into the open part file; the digest sees every byte written.
FileError receiveInto(HttpRequest& request, HANDLE part, const std::wstring& partPath, Sha256& digest,
                      std::int64_t& received) {
    std::vector<char> buffer(65536);
    while (!cancelRequested.load()) {
        std::uint32_t count = 0;
        if (FileError e = request.read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), count);
            e.failed) {
            return e;
        }
        if (count == 0) return {};
        DWORD written = 0;
        if (!WriteFile(part, buffer.data(), count, &written, nullptr) || written != count) {
            return pathFailure("write", partPath, lastErrorCode());
        }
        digest.update(buffer.data(), count);
        received += count;
    }
    return cancelledFailure();
}

// A running program cannot be overwritten but can be renamed: the old executable moves
// aside to ".old", where the next start of the launcher removes it.
FileError replaceLauncher(const std::wstring& target, const std::wstring& part) {
    const std::wstring old = target + L".old";
    removePath(old);
    if (!move(target, old)) {
        const DWORD code = lastErrorCode();
        removePath(part);
        return twoPathFailure("rename", target, old, code);
    }
    if (!move(part, target)) {
        const DWORD code = lastErrorCode();
        move(old, target);
        return twoPathFailure("rename", part, target, code);
    }
    launcherReplaced.exchange(1);
    return {};
}

} // namespace

FileError downloadWholeFile(const std::wstring& folder, const Manifest& manifest, const DownloadJob& job,
                            std::atomic<std::int64_t>& byteCounter) {
    std::wstring target;
    if (FileError e = resolveManifestPath(folder, job.file->path, target); e.failed) return e;
    std::wstring failedDir;
    if (const std::uint32_t code = makeDirs(parentFolder(target), failedDir)) {
        return pathFailure("mkdir", failedDir, code);
    }

    HttpRequest request;
    if (FileError e = request.get(fileUrl(manifest.baseUrl, job.file->path)); e.failed) return e;
    if (request.status != 200) return plainFailure("HTTP " + std::to_string(request.status));

    const std::wstring part = target + L".part";
    FileHandle file(CreateFileW(extendedPath(part).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return pathFailure("open", part, lastErrorCode());

    Sha256 digest;
    std::int64_t received = 0;
    FileError failure = receiveInto(request, file.get(), part, digest, received);
    if (!CloseHandle(file.release()) && !failure.failed)
        failure = pathFailure("close", part, lastErrorCode());
    if (!failure.failed && digest.finishHex() != job.file->sha256) {
        failure = plainFailure("downloaded file failed its checksum");
    }
    if (failure.failed) {
        removePath(part);
        return failure;
    }
    byteCounter.fetch_add(received);

    if (isLauncherPath(target)) return replaceLauncher(target, part);
    if (!move(part, target)) return twoPathFailure("rename", part, target, lastErrorCode());
    return {};
}
