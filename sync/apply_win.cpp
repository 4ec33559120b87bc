#include "sync/apply.h"

#include "base/session_status.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/sha256.h"
#include "sync/folder_guard.h"
#include "sync/write_behind.h"

#include <algorithm>
#include <thread>

void OpenTargets::insert(const std::string& path, FileHandle handle) {
    std::lock_guard guard(lock_);
    handles_[path] = std::move(handle);
}

FileHandle OpenTargets::release(const std::string& path) {
    std::lock_guard guard(lock_);
    FileHandle handle;
    if (const auto it = handles_.find(path); it != handles_.end()) {
        handle = std::move(it->second);
        handles_.erase(it);
    }
    return handle;
}

HANDLE OpenTargets::find(const std::string& path) const {
    const auto it = handles_.find(path);
    return it == handles_.end() ? INVALID_HANDLE_VALUE : it->second.get();
}

FileHandle openTarget(const std::wstring& path, bool create) {
    return FileHandle(CreateFileW(extendedPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileError setFileSize(HANDLE file, const std::wstring& path, std::int64_t size) {
    DWORD code = 0;
    for (int attempt = 1; attempt <= setFileSizeAttempts; ++attempt) {
        LARGE_INTEGER zero{}, at{}, target{};
        target.QuadPart = size;
        bool ok = SetFilePointerEx(file, zero, &at, FILE_CURRENT);
        ok = ok && SetFilePointerEx(file, target, nullptr, FILE_BEGIN) && SetEndOfFile(file);
        if (!ok) code = lastErrorCode();
        // The position goes back whatever happened; a failure here counts as the attempt's.
        if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ok) {
            ok = false;
            code = lastErrorCode();
        }
        if (ok) return {};
        std::this_thread::sleep_for(setFileSizePause * attempt);
    }
    return pathFailure("truncate", path, code);
}

namespace {

// Copies chunks from the old copy into the file being written (the same file when mended),
// each from where the plan found its bytes. Unless trusted (the old copy was held without
// write sharing since the scan checked it), each is checked again as read; a chunk whose source
// no longer matches becomes a job.
FileError copyChunks(HANDLE from, HANDLE to, const std::wstring& toPath, const Manifest& m,
                     const ManifestFile& f, const FileCheckResult& row, bool trusted,
                     std::vector<std::size_t>& refetch) {
    BackgroundFlush flush(to);
    std::vector<char> buffer;
    for (const ChunkCopy& copy : row.copies) {
        if (cancelRequested.load()) return cancelledFailure();
        const auto length = static_cast<std::size_t>(chunkLength(m, f, copy.chunk));
        buffer.resize(length);
        bool good = readAt(from, copy.from, buffer.data(), length);
        if (good && !trusted) {
            Sha256 digest;
            digest.update(buffer.data(), length);
            good = digest.finishHex() == f.chunks[copy.chunk];
        }
        if (!good) {
            refetch.push_back(copy.chunk);
            continue;
        }
        const std::int64_t at = static_cast<std::int64_t>(copy.chunk) * m.chunkSize;
        if (const std::uint32_t code = writeAll(to, buffer.data(), length, toPath, at))
            return pathFailure("write", toPath, code);
        flush.wrote(length);
    }
    return {};
}

// The file a row writes, opened and checked to lie inside the game folder, at its new size.
FileError openWritten(const std::wstring& path, const FileCheckResult& row, WriteFolders& folders,
                      FileHandle& handle) {
    if (FileError e = folders.prepare(parentFolder(path)); e.failed) return e;
    if (row.action == FileAction::mend) makeWritable(path);
    const bool create = row.action != FileAction::mend;
    handle = FileHandle(CreateFileW(extendedPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    create ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return pathFailure("open", path, lastErrorCode());
    if (!folders.holds(handle.get(), path)) return outsideFailure();
    return {};
}

FileError writeWithinFile(const std::wstring& target, const Manifest& m, const ManifestFile& f,
                          FileCheckResult& row, WriteFolders& folders, OpenTargets& heldOld,
                          OpenTargets& targets) {
    const std::wstring path = row.action == FileAction::rebuild ? partPathOf(target) : target;
    // The old copy of a rebuild stays shut to writers until its chunks are copied; a mended
    // copy is itself the file written, and its copies are checked as read.
    FileHandle old = heldOld.release(f.path);
    const bool trusted = old.valid();
    if (row.action == FileAction::rebuild && !old) {
        old = FileHandle(CreateFileW(extendedPath(target).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!old && !row.copies.empty()) return pathFailure("open", target, lastErrorCode());
    }
    FileHandle file;
    if (FileError e = openWritten(path, row, folders, file); e.failed) return e;
    // Short files are extended and long ones cut, so that chunks land at their offsets and
    // nothing follows the last one.
    if (FileError e = setFileSize(file.get(), path, f.size); e.failed) return e;
    std::vector<std::size_t> refetch;
    if (!row.copies.empty()) {
        const HANDLE from = row.action == FileAction::rebuild ? old.get() : file.get();
        const bool trust = trusted && row.action == FileAction::rebuild;
        if (FileError e = copyChunks(from, file.get(), path, m, f, row, trust, refetch); e.failed) return e;
    }
    for (const std::size_t k : refetch)
        row.jobs.push_back({&f, false, static_cast<std::int32_t>(k), chunkLength(m, f, k)});
    std::sort(row.jobs.begin(), row.jobs.end(),
              [](const DownloadJob& a, const DownloadJob& b) { return a.chunkIndex < b.chunkIndex; });
    targets.insert(f.path, std::move(file));
    return {};
}

} // namespace

FileError writeWithinFiles(const std::wstring& folder, const Manifest& manifest,
                           std::vector<FileCheckResult>& results, OpenTargets& heldOld,
                           OpenTargets& targets) {
    WriteFolders folders(folder);
    for (std::size_t i = 0; i < results.size(); ++i) {
        FileCheckResult& row = results[i];
        if (row.action != FileAction::mend && row.action != FileAction::rebuild &&
            row.action != FileAction::create)
            continue;
        const ManifestFile& f = manifest.files[i];
        std::wstring path;
        FileError e = resolveManifestPath(folder, f.path, path);
        if (!e.failed) e = writeWithinFile(path, manifest, f, row, folders, heldOld, targets);
        if (e.failed) {
            if (!e.cancelled && !e.detailed) e.message = f.path + ": " + e.message;
            return e;
        }
    }
    return {};
}
