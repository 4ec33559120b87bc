// The update plan: the download jobs that bring one manifest file into line, whole or chunk
// by chunk.
#pragma once

#include "net/manifest.h"
#include "store/file_error.h"

#include <cstdint>
#include <vector>

struct DownloadJob {
    const ManifestFile* file = nullptr; // the manifest outlives the sync
    bool whole = true;                  // whole file through ".part", else one chunk in place
    std::int32_t chunkIndex = 0;
    std::int64_t length = 0;
};

struct FileCheckResult {
    std::vector<DownloadJob> jobs; // chunk jobs in ascending order; empty when current
    FileError failure;
    // The file as the check found it, before reading any of it.
    bool found = false;
    std::int64_t size = 0;
    std::int64_t mtime = 0; // nanoseconds since 1970
};

// The bytes of chunk index: the chunk size, or what is left of the file for the last one.
std::int64_t chunkLength(const Manifest& manifest, const ManifestFile& file, std::size_t index);

// Every job of a file that has to be fetched completely; one whole-file job when whole.
std::vector<DownloadJob> allJobsFor(const Manifest& manifest, const ManifestFile& file, bool whole);

// The jobs of all results in manifest order and their total length; the first failed result
// in manifest order instead, when there is one.
FileError collectJobs(const std::vector<FileCheckResult>& results, std::vector<DownloadJob>& jobs,
                      std::int64_t& total);
