// Files taken from the player's own disk: a held file whose digest is the new file's is
// copied, and checked while it is copied, instead of fetched.
#include "sync/reuse.h"

#include "sync/folder_guard.h"

#include "base/session_status.h"
#include "store/files.h"
#include "store/handle.h"
#include "store/paths.h"
#include "store/sha256.h"

#include <algorithm>

namespace {

// Reads and writes in pieces of this size, as whole-file downloads write.
constexpr std::size_t copyPiece = std::size_t{1} << 20;

FileError heldCopyDiffers() {
    return plainFailure("the held copy differs");
}

// Reads from the start of from to its end, hashing, and writes what it read to to unless to is
// null. A source holding more than limit bytes fails before its excess is written.
FileError copyHashing(HANDLE from, const std::wstring& fromPath, HANDLE to, const std::wstring& toPath,
                      std::int64_t limit, Sha256& digest, TransferBuffer& transfer) {
    char* const buffer = transfer.reserve(copyPiece);
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(from, start, nullptr, FILE_BEGIN))
        return pathFailure("read", fromPath, lastErrorCode());
    for (std::int64_t copied = 0;;) {
        if (cancelRequested.load()) return cancelledFailure();
        DWORD count = 0;
        if (!ReadFile(from, buffer, static_cast<DWORD>(copyPiece), &count, nullptr))
            return pathFailure("read", fromPath, lastErrorCode());
        if (count == 0) return copied == limit ? FileError{} : heldCopyDiffers();
        copied += count;
        if (copied > limit) return heldCopyDiffers();
        digest.update(buffer, count);
        if (!to) continue;
        if (const std::uint32_t code = writeAll(to, buffer, count, toPath))
            return pathFailure("write", toPath, code);
    }
}

} // namespace

FileError copyHeldFile(const std::wstring& folder, const ManifestFile& f, const std::wstring& source,
                       WriteFolders& folders, TransferBuffer& buffer, std::wstring& target) {
    if (FileError e = wholeFileTarget(folder, f, folders, target); e.failed) return e;
    FileHandle from(CreateFileW(extendedPath(source).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!from) return pathFailure("open", source, lastErrorCode());
    // The record that named the source may be stale: only the bytes themselves count.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(from.get(), &size)) return pathFailure("read", source, lastErrorCode());
    if (size.QuadPart != f.size) return heldCopyDiffers();
    const std::wstring part = partPathOf(target);
    // A part file holding an interrupted download is given up only for a copy known to be
    // right: the held copy is read through once before anything is replaced.
    std::int64_t held = 0;
    if (fileInfo(part, &held) && held > 0) {
        Sha256 digest;
        if (FileError e = copyHashing(from.get(), source, nullptr, part, f.size, digest, buffer); e.failed)
            return e;
        if (digest.finishHex() != f.sha256) return heldCopyDiffers();
    }
    FileHandle to(CreateFileW(extendedPath(part).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!to) return pathFailure("open", part, lastErrorCode());
    if (!folders.holds(to.get(), part)) return outsideFailure();
    Sha256 digest;
    FileError failure = cutPart(to.get(), part, 0);
    if (!failure.failed) failure = copyHashing(from.get(), source, to.get(), part, f.size, digest, buffer);
    if (!failure.failed && !FlushFileBuffers(to.get())) failure = pathFailure("write", part, lastErrorCode());
    if (!CloseHandle(to.release()) && !failure.failed) failure = pathFailure("close", part, lastErrorCode());
    if (!failure.failed && digest.finishHex() != f.sha256) failure = heldCopyDiffers();
    if (failure.failed) removePath(part);
    return failure;
}

std::set<const ManifestFile*> reuseHeldFiles(const std::wstring& folder,
                                             const std::vector<LocalReuse>& reuses, RetryPause pause) {
    std::set<const ManifestFile*> reused;
    if (reuses.empty()) return reused;
    WriteFolders folders(folder);
    TransferBuffer buffer;
    std::vector<std::pair<const ManifestFile*, std::wstring>> copied;
    for (const LocalReuse& r : reuses) {
        if (cancelRequested.load()) break;
        std::wstring source, target;
        if (resolveManifestPath(folder, r.source, source).failed) continue;
        if (!copyHeldFile(folder, *r.file, source, folders, buffer, target).failed)
            copied.emplace_back(r.file, std::move(target));
    }
    for (const auto& [file, target] : copied) {
        ReceivedFile copy{{}, partPathOf(target), target, file->size}; // flushed and closed
        if (!placeFile(copy, folders, pause).failed) reused.insert(file);
    }
    return reused;
}
