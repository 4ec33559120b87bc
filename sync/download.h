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
#include <cstdint>
#include <string>
#include <vector>

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

// A whole file received and checked in its part file, its bytes not yet on the disk for certain.
struct ReceivedFile {
    FileHandle part; // open until its bytes are flushed
    std::wstring partPath, target;
    std::int64_t size = 0;
};

// Streams the file into "<target>.part" while hashing it; received holds it, open, when the
// digest matches. Neither the part file nor, later, the move reaches outside the game folder,
// whatever links a folder on the way was swapped for.
FileError downloadWholeFile(const std::wstring& folder, const FetchFrom& from, const DownloadJob& job,
                            TransferBuffer& buffer, WriteFolders& folders, ReceivedFile& received);
// Writes a received file's bytes to the disk and closes it (its part file goes when that
// fails); placeWholeFile then makes it the file, and may be tried again when it fails.
FileError flushReceivedFile(ReceivedFile& file);

// Makes a part file exactly length bytes long, with its file pointer at the end.
FileError cutPart(HANDLE part, const std::wstring& path, std::int64_t length);

// The target of a whole file: its folder made, and checked to lie inside the game folder.
FileError wholeFileTarget(const std::wstring& folder, const ManifestFile& file, WriteFolders& folders,
                          std::wstring& target);
// Moves a checked part file over its target, in a folder checked and held by folders. The
// launcher's own executable is first moved aside to "<target>.old".
FileError placeWholeFile(const std::wstring& target, const std::wstring& part, WriteFolders& folders);

// Fetches the job's chunks with one range request, hashing each as it arrives, checks it in
// memory, and writes it at its offset. done counts the job's chunks written, by this call and
// the attempts before it, which a new attempt does not fetch again.
FileError downloadChunk(const std::wstring& folder, const Manifest& manifest, const FetchFrom& from,
                        const DownloadJob& job, HANDLE target, std::atomic<std::int64_t>& byteCounter,
                        TransferBuffer& buffer, std::int32_t& done);
