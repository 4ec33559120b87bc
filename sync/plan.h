// The update plan: the download jobs that bring one manifest file into line, whole or chunk
// by chunk.
#pragma once

#include "net/manifest.h"
#include "store/file_error.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct DownloadJob {
    const ManifestFile* file = nullptr; // the manifest outlives the sync
    bool whole = true;                  // whole file through ".part", else one chunk in place
    std::int32_t chunkIndex = 0;
    std::int64_t length = 0;     // bytes of all its chunks
    std::int32_t chunkCount = 1; // chunk jobs: chunkIndex and the ones after it, in one request
};

struct FileCheckResult {
    std::vector<DownloadJob> jobs; // chunk jobs in ascending order; empty when current
    FileError failure;
    // The file as the check found it, before reading any of it.
    bool found = false;
    std::int64_t size = 0;
    std::int64_t mtime = 0; // nanoseconds since 1970
    // The ".part" file a whole-file download left, which the next download resumes from.
    std::int64_t partSize = 0;
    // A changed chunked file rebuilt in its ".part" file from the old copy (its chunk jobs
    // write there), which replaces the old copy once complete; the disk space it takes.
    bool rebuilt = false;
    std::int64_t rebuiltBytes = 0;
};

// Adjacent chunk jobs of one file merged into jobs of at most maxBytes (a chunk larger than
// that stays alone), so that a fresh install of small chunks makes few requests.
inline constexpr std::int64_t maxRangeBytes = std::int64_t{4} << 20;
std::vector<DownloadJob> coalesceRanges(const std::vector<DownloadJob>& jobs, std::int64_t maxBytes);

// The bytes of chunk index: the chunk size, or what is left of the file for the last one.
std::int64_t chunkLength(const Manifest& manifest, const ManifestFile& file, std::size_t index);

// Every job of a file that has to be fetched completely; one whole-file job when whole.
std::vector<DownloadJob> allJobsFor(const Manifest& manifest, const ManifestFile& file, bool whole);

// The jobs of all results in manifest order and their total length; the first failed result
// in manifest order instead, when there is one.
FileError collectJobs(const std::vector<FileCheckResult>& results, std::vector<DownloadJob>& jobs,
                      std::int64_t& total);

// The disk space the jobs take on top of what the folder holds now: a whole file is written
// beside the old one until the move, so its full size counts but for the ".part" already
// there; a file written in place counts only what it grows by.
std::int64_t bytesToWrite(const std::vector<FileCheckResult>& results);

// A file taken from the player's own disk instead of the network: one the folder held under
// another name (renamed, moved, dropped by the new build, or a copy of another file) whose
// digest is the new file's. The bytes are checked as they are copied, never trusted.
struct LocalReuse {
    const ManifestFile* file = nullptr;
    std::string source; // manifest path of the held file
};

// One reuse for each file to fetch whole, or missing, whose digest a held file has. held maps
// the manifest path of every file the folder held at the check to its digest: the previous
// state's records and the files found current. A chunked file that exists is left to its
// chunk jobs.
std::vector<LocalReuse> planReuse(const std::vector<FileCheckResult>& results,
                                  const std::map<std::string, std::string>& held);

// The failure of a plan that does not fit on its volume ("D:"): error 112, detail "need N MB
// more free space on D:", N in MiB rounded up.
FileError notEnoughSpace(std::int64_t needed, std::int64_t available, const std::string& volume);

// What -verify prints: a line for each file a repair would fetch ("missing: path",
// "damaged: path", "damaged: path (N of M chunks)" for a file fixed chunk by chunk), then
// "N files need M bytes" (whole files in full, bad chunks alone). clean tells whether no file
// needs anything. results holds one entry per manifest file.
std::string verifyReport(const Manifest& manifest, const std::vector<FileCheckResult>& results, bool& clean);
