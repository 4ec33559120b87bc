// One download job: a whole file through its ".part" file, or one chunk written in place.
// Neither retries; the workers run a job again.
#pragma once

#include "net/manifest.h"
#include "store/file_error.h"
#include "store/handle.h"
#include "sync/folder_guard.h"
#include "sync/plan.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class ChunkSeeds;

inline constexpr int downloadAttempts = 5;

// The unit of the pauses between download attempts: attempt n (1 to 4) waits unit * 2^n.
// Tests shorten it; the product always waits 2, 4, 8 and 16 seconds.
using RetryPause = std::chrono::milliseconds;
inline constexpr RetryPause defaultRetryPause{1000};

// Memory a download worker keeps from job to job: a chunk is received into it whole, a whole
// file passes through it. Made once per worker, it grows to the largest job and stays.
class TransferBuffer {
public:
    char* reserve(std::size_t bytes) {
        if (bytes_.size() < bytes) bytes_.resize(bytes);
        return bytes_.data();
    }

private:
    std::vector<char> bytes_;
};

// Where one attempt fetches from: the manifest's baseUrl or a mirror, and whether caches on the
// way must revalidate what they hold (after a body that was not the listed bytes).
struct FetchFrom {
    std::string_view baseUrl;
    bool revalidate = false;
};

// A file complete and checked in its part file, received, reused or rebuilt; part is open
// until its bytes are flushed, or already closed when they are on the disk.
struct ReceivedFile {
    FileHandle part;
    std::wstring partPath, target;
    std::int64_t size = 0;
};

// Streams the file into "<target>.part" while hashing it; received holds it, open, when the
// digest matches. Neither the part file nor, later, the move reaches outside the game folder,
// whatever links a folder on the way was swapped for.
FileError downloadWholeFile(const std::wstring& folder, const FetchFrom& from, const DownloadJob& job,
                            TransferBuffer& buffer, WriteFolders& folders, ReceivedFile& received);
// Assembles the file of a job from the manifest's chunk store (at the store's URL for the
// server of from) into "<target>.part": the chunks the part file holds already, those the seeds
// hold (which learn every chunk fetched), then the rest fetched, each checked before it is written; progress
// counts every chunk written (an attempt that fails takes its count back). received holds the part file,
// open, once the whole file matches its digest.
FileError assembleFromStore(const std::wstring& folder, const Manifest& manifest, const FetchFrom& from,
                            const DownloadJob& job, TransferBuffer& buffer, WriteFolders& folders,
                            std::atomic<std::int64_t>& progress, ChunkSeeds& seeds, ReceivedFile& received);
// Whether the store lists a patch from the version of the job's file that the player holds.
bool hasPatchFromHeld(const DownloadJob& job);

// Makes the job's file in part (open, at its size) by the store's patch from the version the
// player holds, when the manifest lists one for it: applied true once part holds the file,
// checked. A patch that is missing, broken or wrong is logged with the file's name and leaves
// applied false, for the chunks; only a cancellation fails.
FileError patchFromHeld(const std::wstring& folder, const std::string& store, const FetchFrom& from,
                        const DownloadJob& job, const std::wstring& target, HANDLE part,
                        const std::wstring& partPath, std::atomic<std::int64_t>& progress, bool& applied);

// The one way a file comes into place, whatever brought it: its part file's bytes reach the
// disk and the handle closes (the part file goes when that fails), then the part file moves
// over the target, on the disk before the call returns. A move refused for a while (a scanner
// holding the old file, say) is tried again after the pauses a download would wait; the part
// file, complete and checked, stays for the next run when it never succeeds.
FileError placeFile(ReceivedFile& file, WriteFolders& folders, RetryPause pause);

// Makes a part file exactly length bytes long, with its file pointer at the end.
FileError cutPart(HANDLE part, const std::wstring& path, std::int64_t length);

// Opens (or makes) a part file for reading and writing, refusing one that a link in its name
// leads outside the game folder.
FileError openPartFile(WriteFolders& folders, const std::wstring& path, FileHandle& part);

// The target of a whole file: its folder made, and checked to lie inside the game folder.
FileError wholeFileTarget(const std::wstring& folder, const ManifestFile& file, WriteFolders& folders,
                          std::wstring& target);
// Fetches the job's chunks with one range request, hashing each as it arrives, checks it in
// memory, and writes it at its offset. done counts the job's chunks written, by this call and
// the attempts before it, which a new attempt does not fetch again.
FileError downloadChunk(const std::wstring& folder, const Manifest& manifest, const FetchFrom& from,
                        const DownloadJob& job, HANDLE target, std::atomic<std::int64_t>& byteCounter,
                        TransferBuffer& buffer, std::int32_t& done);
