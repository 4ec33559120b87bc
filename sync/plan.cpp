#include "sync/plan.h"

#include <algorithm>
#include <set>

std::int64_t chunkLength(const Manifest& manifest, const ManifestFile& file, std::size_t index) {
    const std::int64_t start = static_cast<std::int64_t>(index) * manifest.chunkSize;
    return std::min(manifest.chunkSize, file.size - start);
}

std::vector<DownloadJob> allJobsFor(const Manifest& manifest, const ManifestFile& file, bool whole) {
    if (whole) return {DownloadJob{&file, true, 0, file.size, 1, !manifest.store.empty()}};
    std::vector<DownloadJob> jobs;
    for (std::size_t i = 0; i < file.chunks.size(); ++i) {
        jobs.push_back({&file, false, static_cast<std::int32_t>(i), chunkLength(manifest, file, i)});
    }
    return jobs;
}

bool planFromListing(const Manifest& m, const ManifestFile& f, const FileSeen& seen, FileCheckResult& row) {
    row.found = seen.found;
    row.size = seen.size;
    row.mtime = seen.mtime;
    if (!seen.found) {
        // With a chunk store, every file is assembled whole from its chunks.
        if (f.chunks.empty() || seen.launcher || !m.store.empty()) {
            planWholeFile(m, f, false, seen.partSize, row);
        } else {
            row.action = FileAction::create;
            row.jobs = allJobsFor(m, f, false);
        }
        return false;
    }
    const InstallRecord* r = seen.record;
    const bool asRecorded = !seen.distrusted && r && r->size == seen.size && r->mtime == seen.mtime;
    row.vouched = asRecorded && r->sha == f.sha256 && seen.size == f.size;
    if (row.vouched) return false;
    // A file as its record says holds the recorded version, so one fetched whole is known to
    // differ without being read (a patch from that version reads it once, as it makes the new).
    if (asRecorded && (f.chunks.empty() || seen.launcher || !m.store.empty())) {
        planWholeFile(m, f, false, seen.partSize, row);
        return false;
    }
    return true;
}

void planWholeFile(const Manifest& m, const ManifestFile& f, bool digestMatches, std::int64_t partSize,
                   FileCheckResult& row) {
    if (digestMatches) return;
    row.action = FileAction::fetch;
    row.jobs = allJobsFor(m, f, true);
    row.partSize = partSize;
}

void planChunkedFile(const Manifest& m, const ManifestFile& f, std::int64_t partHeld, bool mayMend,
                     OldCopyScan scan, FileCheckResult& row) {
    row.jobs.clear();
    for (const std::size_t k : scan.missing)
        row.jobs.push_back({&f, false, static_cast<std::int32_t>(k), chunkLength(m, f, k)});
    const bool mended = scan.mended(mayMend);
    if (mended && row.jobs.empty() && scan.copies.empty() && row.size == f.size) {
        row.action = FileAction::keep;
        return;
    }
    row.action = mended ? FileAction::mend : FileAction::rebuild;
    row.copies = std::move(scan.copies);
    row.rebuiltBytes = mended ? 0 : std::max<std::int64_t>(0, f.size - partHeld);
}

std::set<std::string> journalPaths(const Manifest& manifest, const std::vector<FileCheckResult>& results,
                                   const std::vector<std::string>& unsettled) {
    std::set<std::string> paths(unsettled.begin(), unsettled.end());
    for (std::size_t i = 0; i < results.size() && i < manifest.files.size(); ++i) {
        if (results[i].action != FileAction::keep && results[i].action != FileAction::failed)
            paths.insert(manifest.files[i].path);
    }
    return paths;
}

bool changesNothing(const std::vector<FileCheckResult>& results) {
    return std::all_of(results.begin(), results.end(),
                       [](const FileCheckResult& r) { return r.action == FileAction::keep; });
}

bool stateStandsAsIs(const Manifest& m, const std::vector<FileCheckResult>& results,
                     const InstallState& state) {
    return state.version == m.version && state.exe == m.exe && state.sequence == m.sequence &&
           state.files.size() == results.size() &&
           std::all_of(results.begin(), results.end(), [](const FileCheckResult& r) { return r.vouched; });
}

std::vector<DownloadJob> coalesceRanges(const std::vector<DownloadJob>& jobs, std::int64_t maxBytes) {
    std::vector<DownloadJob> out;
    for (const DownloadJob& job : jobs) {
        DownloadJob* last = out.empty() ? nullptr : &out.back();
        if (last && !job.whole && !last->whole && last->file == job.file &&
            last->chunkIndex + last->chunkCount == job.chunkIndex && last->length + job.length <= maxBytes) {
            last->chunkCount += job.chunkCount;
            last->length += job.length;
        } else {
            out.push_back(job);
        }
    }
    return out;
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

std::int64_t bytesToWrite(const std::vector<FileCheckResult>& results) {
    std::int64_t bytes = 0;
    for (const FileCheckResult& r : results) {
        bytes += r.rebuiltBytes;
        if (r.jobs.empty() || r.action == FileAction::rebuild) continue;
        const ManifestFile& f = *r.jobs.front().file;
        const std::int64_t held = r.jobs.front().whole ? std::min(r.partSize, f.size) : r.found ? r.size : 0;
        bytes += std::max<std::int64_t>(0, f.size - held);
    }
    return bytes;
}

std::vector<LocalReuse> planReuse(const std::vector<FileCheckResult>& results,
                                  const std::map<std::string, std::string>& held) {
    std::multimap<std::string_view, const std::string*> byDigest;
    for (const auto& [path, digest] : held)
        byDigest.emplace(digest, &path);
    std::vector<LocalReuse> reuses;
    for (const FileCheckResult& r : results) {
        if (r.jobs.empty() || (r.found && !r.jobs.front().whole)) continue;
        const ManifestFile& f = *r.jobs.front().file;
        if (f.size == 0) continue; // nothing to fetch either way
        const auto [first, last] = byDigest.equal_range(f.sha256);
        const auto source =
            std::find_if(first, last, [&](const auto& held) { return *held.second != f.path; });
        if (source != last) reuses.push_back({&f, *source->second});
    }
    return reuses;
}

FileError notEnoughSpace(std::int64_t needed, std::int64_t available, const std::string& volume) {
    constexpr std::int64_t mib = 1 << 20;
    const std::int64_t missing = std::max<std::int64_t>(1, (needed - available + mib - 1) / mib);
    FileError e = plainFailure("need " + std::to_string(missing) + " MB more free space on " + volume);
    e.code = 112; // ERROR_DISK_FULL: the player reads the disk-space text
    return e;
}

std::string verifyReport(const Manifest& manifest, const std::vector<FileCheckResult>& results, bool& clean) {
    std::string text;
    std::int64_t files = 0, bytes = 0;
    for (std::size_t i = 0; i < results.size() && i < manifest.files.size(); ++i) {
        const FileCheckResult& r = results[i];
        const ManifestFile& f = manifest.files[i];
        // A chunked file whose chunks are all good but that goes on past its listed size is
        // only cut by a repair: it needs no bytes, but it is not as published.
        const bool tooLong = r.jobs.empty() && r.found && !f.chunks.empty() && r.size > f.size;
        if (r.jobs.empty() && !tooLong) continue;
        ++files;
        for (const DownloadJob& job : r.jobs)
            bytes += job.length;
        if (!r.found) {
            text += "missing: " + f.path + "\n";
        } else if (tooLong) {
            text += "damaged: " + f.path + " (longer than listed)\n";
        } else if (r.jobs.front().whole) {
            text += "damaged: " + f.path + "\n";
        } else {
            text += "damaged: " + f.path + " (" + std::to_string(r.jobs.size()) + " of " +
                    std::to_string(f.chunks.size()) + " chunks)\n";
        }
    }
    clean = files == 0;
    return text + std::to_string(files) + " files need " + std::to_string(bytes) + " bytes\n";
}
