#include "app/threads.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/sha256.h"
#include "sync/check.h"
#include "sync/rebuild.h"

#include <algorithm>
#include <exception>
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

void countFile(CheckContext& c) {
    const std::uint64_t done = c.filesDone.fetch_add(1) + 1;
    // The count is shown, not used: taking the status lock for every file of a large up-to-date
    // install only makes the threads wait on each other.
    if (done % 64 != 0 && done != c.manifest.files.size()) return;
    std::lock_guard guard(c.status.lock);
    c.status.filesChecked = std::max(c.status.filesChecked, static_cast<std::int32_t>(done));
}

bool matchesRecord(const CheckContext& c, const ManifestFile& f, std::int64_t size, std::int64_t mtime) {
    if (c.options.repair || c.unsettled.contains(f.path)) return false;
    const auto it = c.state.files.find(f.path);
    if (it == c.state.files.end()) return false;
    const InstallRecord& r = it->second;
    return r.sha == f.sha256 && r.size == f.size && r.mtime == mtime && size == f.size;
}

std::vector<DownloadJob> chunkJobs(const Manifest& m, const ManifestFile& f,
                                   const std::vector<std::size_t>& chunks) {
    std::vector<DownloadJob> jobs;
    for (const std::size_t i : chunks)
        jobs.push_back({&f, false, static_cast<std::int32_t>(i), chunkLength(m, f, i)});
    return jobs;
}

FileError outside(const ManifestFile& f) {
    FileError e = outsideFailure();
    e.message = f.path + ": " + e.message;
    return e;
}

// Copies chunks within the open old copy, each from where a chunk in place holds its bytes,
// checked again as read; a chunk whose source no longer matches is fetched instead.
FileError copyWithin(HANDLE file, const std::wstring& path, const Manifest& m, const ManifestFile& f,
                     const std::vector<std::pair<std::size_t, std::int64_t>>& copies,
                     std::vector<std::size_t>& fetch) {
    std::vector<char> buffer;
    for (const auto& [k, from] : copies) {
        const auto length = static_cast<std::size_t>(chunkLength(m, f, k));
        buffer.resize(length);
        Sha256 digest;
        if (readAt(file, from, buffer.data(), length)) digest.update(buffer.data(), length);
        if (digest.finishHex() != f.chunks[k]) {
            fetch.push_back(k);
            continue;
        }
        const std::int64_t at = static_cast<std::int64_t>(k) * m.chunkSize;
        if (const std::uint32_t code = writeAll(file, buffer.data(), length, path, at))
            return pathFailure("write", path, code);
    }
    std::sort(fetch.begin(), fetch.end());
    return {};
}

// Opens the old copy to have chunks written into it in place, at its new size, and makes the
// copies within it.
bool mendInPlace(CheckContext& c, const ManifestFile& f, const std::wstring& path, FileCheckResult& result,
                 const std::vector<std::pair<std::size_t, std::int64_t>>& copies = {},
                 std::vector<std::size_t>* fetch = nullptr) {
    if (!c.folders.inside(parentFolder(path))) {
        result.failure = outside(f);
        return false;
    }
    makeWritable(path);
    FileHandle handle = openTarget(path, false);
    if (!handle) {
        result.failure = pathFailure("open", path, lastErrorCode());
        return false;
    }
    if (!c.folders.holds(handle.get(), path)) {
        result.failure = outside(f);
        return false;
    }
    // Short files are extended and long ones cut, so that chunks land at their offsets and
    // nothing follows the last one.
    if (FileError e = setFileSize(handle.get(), path, f.size); e.failed) {
        result.failure = std::move(e);
        return false;
    }
    if (fetch) {
        if (FileError e = copyWithin(handle.get(), path, c.manifest, f, copies, *fetch); e.failed) {
            result.failure = std::move(e);
            return false;
        }
    }
    c.targets.insert(f.path, std::move(handle));
    return true;
}

// A changed chunked file with rolling sums: the new version is built in its part file from
// whatever the old copy holds at any offset, read once; only the rest is fetched into it. When
// every chunk found already stood at its own offset, the old copy is mended in place instead,
// as a file without rolling sums is, and the part file goes. False, with nothing done, when the
// volume has no room for the new version beside the old one: the old copy is then mended in
// place, which costs more downloads but no room.
bool rebuildChunkedFile(CheckContext& c, const ManifestFile& f, const std::wstring& path, std::int64_t size,
                        FileCheckResult& result) {
    const std::wstring partPath = partPathOf(path);
    if (!c.folders.inside(parentFolder(path))) {
        result.failure = outside(f);
        return true;
    }
    FileHandle part(CreateFileW(extendedPath(partPath).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!part) {
        result.failure = pathFailure("open", partPath, lastErrorCode());
        return true;
    }
    if (!c.folders.holds(part.get(), partPath)) {
        result.failure = outside(f);
        return true;
    }
    // An interrupted rebuild's chunks stay where they stand, checked.
    LARGE_INTEGER held{};
    GetFileSizeEx(part.get(), &held);
    const std::int64_t room = freeSpace(parentFolder(path));
    if (room >= 0 && room < f.size - held.QuadPart) {
        part.reset();
        if (held.QuadPart == 0) removePath(partPath);
        return false;
    }
    std::vector<std::size_t> needed;
    for (std::size_t i = 0; i < f.chunks.size(); ++i) {
        if (cancelRequested.load()) return true;
        const std::int64_t start = static_cast<std::int64_t>(i) * c.manifest.chunkSize;
        const std::int64_t length = chunkLength(c.manifest, f, i);
        if (start + length > held.QuadPart || !verifyRange(part.get(), start, length, f.chunks[i]))
            needed.push_back(i);
    }
    result.rebuiltBytes = std::max<std::int64_t>(0, f.size - held.QuadPart);
    if (FileError e = setFileSize(part.get(), partPath, f.size); e.failed) {
        result.failure = std::move(e);
        return true;
    }
    OldCopyScan scan;
    {
        // Without write sharing nobody changes the old copy between the scan and the copy of
        // the chunks it found in place; a program writing it already leaves sharing on.
        const auto openOld = [&](DWORD share) {
            return FileHandle(CreateFileW(extendedPath(path).c_str(), GENERIC_READ, share, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        };
        FileHandle old = openOld(FILE_SHARE_READ);
        // Only an old copy of the new size, with no rebuild begun, can be mended in place.
        const bool mayMend = old.valid() && held.QuadPart == 0 && size == f.size;
        if (!old) old = openOld(FILE_SHARE_READ | FILE_SHARE_WRITE);
        if (!old) {
            result.failure = pathFailure("open", path, lastErrorCode());
            return true;
        }
        if (FileError e =
                scanOldCopy(old.get(), size, part.get(), partPath, c.manifest, f, needed, mayMend, scan);
            e.failed) {
            result.failure = std::move(e);
            return true;
        }
    }
    if (held.QuadPart == 0 && scan.allInPlace && size == f.size) {
        part.reset();
        removePath(partPath);
        result.rebuiltBytes = 0;
        if ((!scan.missing.empty() || !scan.copies.empty()) &&
            !mendInPlace(c, f, path, result, scan.copies, &scan.missing)) {
            return true;
        }
        result.jobs = chunkJobs(c.manifest, f, scan.missing);
    } else {
        result.rebuilt = true;
        result.jobs = chunkJobs(c.manifest, f, scan.missing);
        c.targets.insert(f.path, std::move(part));
    }
    countFile(c);
    return true;
}

void checkChunkedFile(CheckContext& c, const ManifestFile& f, const std::wstring& path, std::int64_t size,
                      FileCheckResult& result) {
    if (!c.options.verifyOnly && !f.rolling.empty() && rebuildChunkedFile(c, f, path, size, result)) return;
    // Chunks are verified through a handle that only reads: a file that needs no writing is
    // neither opened for writing nor has its attributes changed (a running game may share it
    // for reading only; the player may have made it read-only).
    {
        FileHandle reader(CreateFileW(extendedPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!reader) {
            result.failure = pathFailure("open", path, lastErrorCode());
            return;
        }
        for (std::size_t i = 0; i < f.chunks.size(); ++i) {
            if (cancelRequested.load()) return;
            const std::int64_t length = chunkLength(c.manifest, f, i);
            if (!verifyRange(reader.get(), static_cast<std::int64_t>(i) * c.manifest.chunkSize, length,
                             f.chunks[i])) {
                result.jobs.push_back({&f, false, static_cast<std::int32_t>(i), length});
            }
        }
    }
    if ((size == f.size && result.jobs.empty()) || c.options.verifyOnly) {
        countFile(c);
        return;
    }
    if (!mendInPlace(c, f, path, result)) {
        result.jobs.clear();
        return;
    }
    countFile(c);
}

// A whole-file job, resumed from the ".part" file an earlier download left.
void fetchWhole(CheckContext& c, const ManifestFile& f, const std::wstring& path, FileCheckResult& result) {
    result.jobs = allJobsFor(c.manifest, f, true);
    std::int64_t partSize = 0, mtime = 0;
    if (c.index.find(partPathOf(path), &partSize, &mtime)) result.partSize = partSize;
}

// What the listing alone settles: a missing file, or one its record vouches for. True when the
// file's contents must be read.
bool lookUpFile(CheckContext& c, std::size_t index, std::wstring& path) {
    const ManifestFile& f = c.manifest.files[index];
    FileCheckResult& result = c.results[index];
    if (FileError e = resolveManifestPath(c.folder, f.path, path); e.failed) {
        result.failure = std::move(e);
        countFile(c);
        return false;
    }
    std::int64_t size = 0, mtime = 0;
    if (!c.index.find(path, &size, &mtime)) {
        // The running launcher's executable cannot be written in place: it is always replaced
        // whole, through its ".part" file, even when the manifest divides it into chunks.
        if (f.chunks.empty() || isLauncherPath(path)) {
            fetchWhole(c, f, path, result);
        } else {
            result.jobs = allJobsFor(c.manifest, f, false);
        }
        countFile(c);
        return false;
    }
    result.found = true;
    result.size = size;
    result.mtime = mtime;
    if (!matchesRecord(c, f, size, mtime)) return true;
    countFile(c);
    return false;
}

void readFile(CheckContext& c, std::size_t index) {
    if (cancelRequested.load()) return;
    const ManifestFile& f = c.manifest.files[index];
    FileCheckResult& result = c.results[index];
    std::wstring path;
    if (FileError e = resolveManifestPath(c.folder, f.path, path); e.failed) {
        result.failure = std::move(e);
        countFile(c);
        return;
    }
    if (!f.chunks.empty() && !isLauncherPath(path)) {
        checkChunkedFile(c, f, path, result.size, result);
        return;
    }
    std::string digest;
    if (!hashFile(path, digest) || digest != f.sha256) fetchWhole(c, f, path, result);
    countFile(c);
}

} // namespace

FileError checkAllFiles(CheckContext& c) {
    // The folders are listed and the records matched on this thread alone: the file system
    // serves one listing at a time anyway, and threads doing such small steps would only wait
    // on each other. Threads read only the files that must be read.
    std::vector<std::size_t> toRead;
    std::wstring path;
    for (std::size_t i = 0; i < c.manifest.files.size() && !cancelRequested.load(); ++i) {
        try {
            if (lookUpFile(c, i, path)) toRead.push_back(i);
        } catch (const std::exception& e) {
            c.results[i].failure = plainFailure(std::string("check failed: ") + e.what());
        } catch (...) {
            c.results[i].failure = plainFailure("check failed: unknown error");
        }
    }
    const auto worker = [&c, &toRead] {
        for (;;) {
            const std::uint64_t next = c.nextIndex.fetch_add(1);
            if (next >= toRead.size()) return;
            const std::size_t index = toRead[next];
            // An exception (a failed allocation, say) fails this file, not the process.
            try {
                readFile(c, index);
            } catch (const std::exception& e) {
                c.results[index].failure = plainFailure(std::string("check failed: ") + e.what());
            } catch (...) {
                c.results[index].failure = plainFailure("check failed: unknown error");
            }
        }
    };
    FileError startFailure;
    std::thread threads[checkThreads];
    for (auto& t : threads) {
        if (toRead.empty()) break;
        startFailure = startThread(t, worker);
        if (startFailure.failed) {
            c.nextIndex.store(toRead.size()); // the threads running take no new file
            break;
        }
    }
    for (auto& t : threads) {
        if (t.joinable()) t.join();
    }
    return startFailure;
}
