#include "sync/plan.h"

#include <algorithm>

std::int64_t chunkLength(const Manifest& manifest, const ManifestFile& file, std::size_t index) {
    const std::int64_t start = static_cast<std::int64_t>(index) * manifest.chunkSize;
    return std::min(manifest.chunkSize, file.size - start);
}

std::vector<DownloadJob> allJobsFor(const Manifest& manifest, const ManifestFile& file, bool whole) {
    if (whole) return {DownloadJob{&file, true, 0, file.size}};
    std::vector<DownloadJob> jobs;
    for (std::size_t i = 0; i < file.chunks.size(); ++i) {
        jobs.push_back({&file, false, static_cast<std::int32_t>(i), chunkLength(manifest, file, i)});
    }
    return jobs;
}

FileError collectJobs(const std::vector<FileCheckResult>& results, std::vector<DownloadJob>& jobs,
                      std::int64_t& total) {
    jobs.clear();
    total = 0;
    for (const FileCheckResult& r : results) {
        if (r.failure.failed) return r.failure;
        for (const DownloadJob& job : r.jobs) {
            jobs.push_back(job);
            total += job.length;
        }
    }
    return {};
}
