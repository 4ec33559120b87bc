#include "base/threads.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/sha256.h"
#include "sync/check.h"

#include <algorithm>
#include <exception>
#include <thread>

namespace {

void countFile(CheckContext& c) {
    const std::uint64_t done = c.filesDone.fetch_add(1) + 1;
    // The count is shown, not used: taking the status lock for every file of a large up-to-date
    // install only makes the threads wait on each other.
    if (done % 64 != 0 && done != c.manifest.files.size()) return;
    std::lock_guard guard(c.status.lock);
    c.status.filesChecked = std::max(c.status.filesChecked, static_cast<std::int32_t>(done));
}

// The scan of the old copy for the chunks it holds, reading only.
FileError scanOldCopy(HANDLE old, std::int64_t oldSize, const Manifest& m, const ManifestFile& f,
                      const std::vector<std::size_t>& needed, bool mayMend, OldCopyScan& scan) {
    const ChunkScanIo io{
        [old](std::int64_t at, char* data, std::size_t length) { return readAt(old, at, data, length); },
        [](const char* data, std::size_t size) {
            Sha256 hash;
            hash.update(data, size);
            return hash.finishHex();
        },
        [] { return !cancelRequested.load(); },
    };
    return scanForChunks(oldSize, m, f, needed, mayMend, io, scan);
}

// The chunks a rebuild begun earlier holds in its part file stay where they stand, checked:
// the chunks not there yet.
std::vector<std::size_t> chunksNotInPart(CheckContext& c, const ManifestFile& f, const std::wstring& partPath,
                                         std::int64_t& held) {
    std::vector<std::size_t> needed;
    FileHandle part;
    if (std::int64_t mtime = 0; c.index.find(partPath, &held, &mtime) && held > 0) {
        part = FileHandle(CreateFileW(extendedPath(partPath).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!part) held = 0;
    for (std::size_t i = 0; i < f.chunks.size(); ++i) {
        const std::int64_t start = static_cast<std::int64_t>(i) * c.manifest.chunkSize;
        const std::int64_t length = chunkLength(c.manifest, f, i);
        if (start + length > held || !verifyRange(part.get(), start, length, f.chunks[i]))
            needed.push_back(i);
    }
    return needed;
}

// A changed chunked file with rolling sums: the plan takes whatever the old copy holds at any
// offset, read once, and fetches only the rest. When every chunk found already stands at its own
// offset, the old copy is mended in place, as a file without rolling sums is; otherwise the new
// version is rebuilt in its part file. False when the volume has no room for the new version
// beside the old one: the old copy is then mended, which costs more downloads but no room.
bool scanChunkedFile(CheckContext& c, const ManifestFile& f, const std::wstring& path,
                     FileCheckResult& result) {
    std::int64_t held = 0;
    const std::vector<std::size_t> needed = chunksNotInPart(c, f, partPathOf(path), held);
    const std::int64_t room = freeSpace(parentFolder(path));
    if (room >= 0 && room < f.size - held) return false;
    if (cancelRequested.load()) return true;
    // Without write sharing nobody changes the old copy between the scan and the copy of the
    // chunks it found; a program writing it already leaves sharing on.
    const auto openOld = [&](DWORD share) {
        return FileHandle(CreateFileW(extendedPath(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    };
    FileHandle old = openOld(FILE_SHARE_READ);
    const bool exclusive = old.valid();
    if (!old) old = openOld(FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!old) {
        result.failure = pathFailure("open", path, lastErrorCode());
        return true;
    }
    // Only an old copy of the new size, with no rebuild begun, can be mended in place.
    const bool mayMend = exclusive && held == 0 && result.size == f.size;
    OldCopyScan scan;
    if (FileError e = scanOldCopy(old.get(), result.size, c.manifest, f, needed, mayMend, scan); e.failed) {
        result.failure = std::move(e);
        return true;
    }
    planChunkedFile(c.manifest, f, held, mayMend, std::move(scan), result);
    if (result.action == FileAction::rebuild && exclusive) c.heldOld.insert(f.path, std::move(old));
    countFile(c);
    return true;
}

void checkChunkedFile(CheckContext& c, const ManifestFile& f, const std::wstring& path,
                      FileCheckResult& result) {
    if (!c.options.verifyOnly && !f.rolling.empty() && scanChunkedFile(c, f, path, result)) return;
    // Chunks are verified in place through a handle that only reads: a file that needs no
    // writing is neither opened for writing nor has its attributes changed (a running game may
    // share it for reading only; the player may have made it read-only).
    FileHandle reader(CreateFileW(extendedPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!reader) {
        result.failure = pathFailure("open", path, lastErrorCode());
        return;
    }
    OldCopyScan inPlace;
    for (std::size_t i = 0; i < f.chunks.size(); ++i) {
        if (cancelRequested.load()) return;
        const std::int64_t length = chunkLength(c.manifest, f, i);
        if (!verifyRange(reader.get(), static_cast<std::int64_t>(i) * c.manifest.chunkSize, length,
                         f.chunks[i]))
            inPlace.missing.push_back(i);
    }
    planChunkedFile(c.manifest, f, 0, true, std::move(inPlace), result);
    countFile(c);
}

// What a whole download of the file left in its part file.
std::int64_t partSizeOf(CheckContext& c, const std::wstring& path) {
    std::int64_t size = 0, mtime = 0;
    return c.index.find(partPathOf(path), &size, &mtime) ? size : 0;
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
    FileSeen seen;
    seen.found = c.index.find(path, &seen.size, &seen.mtime);
    seen.launcher = isLauncherPath(path);
    seen.distrusted = c.options.repair || c.unsettled.contains(f.path);
    if (const auto it = c.state.files.find(f.path); it != c.state.files.end()) seen.record = &it->second;
    seen.partSize = partSizeOf(c, path);
    if (planFromListing(c.manifest, f, seen, result)) return true;
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
    // A build with a chunk store finds what the old copy holds as it assembles the file.
    if (!f.chunks.empty() && !isLauncherPath(path) && c.manifest.store.empty()) {
        checkChunkedFile(c, f, path, result);
        return;
    }
    std::string digest;
    const bool matches = hashFile(path, digest) && digest == f.sha256;
    planWholeFile(c.manifest, f, matches, matches ? 0 : partSizeOf(c, path), result);
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
