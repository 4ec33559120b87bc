// The file check and the update plan: for every manifest file, whether the copy in the game
// folder is current and, if not, which download jobs repair it.
#pragma once

#include "app/session_status.h"
#include "net/manifest.h"
#include "store/file_error.h"
#include "store/handle.h"
#include "store/state.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
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
};

// Chunked files open for writing in place, by manifest path. Check threads insert under the
// lock; download workers only look handles up; the orchestrator closes them all.
class OpenTargets {
public:
    void insert(const std::string& path, FileHandle handle);
    HANDLE find(const std::string& path) const; // INVALID_HANDLE_VALUE when absent
    bool contains(const std::string& path) const { return handles_.contains(path); }
    const std::map<std::string, FileHandle>& handles() const { return handles_; }
    void closeAll() { handles_.clear(); }

private:
    std::mutex lock_;
    std::map<std::string, FileHandle> handles_;
};

struct CheckContext {
    const Manifest& manifest;
    std::wstring folder; // normalised
    const SessionOptions& options;
    const InstallState& state;
    std::vector<FileCheckResult>& results; // one per manifest file
    SessionStatus& status;
    OpenTargets& targets;
    std::atomic<std::uint64_t> nextIndex{0};
    std::atomic<std::uint64_t> filesDone{0};
};

// Runs checkFile over every manifest file on four threads; fails only when the threads
// cannot be started.
FileError checkAllFiles(CheckContext& context);
void checkFile(CheckContext& context, std::size_t index);

// Every job of a file that has to be fetched completely; one whole-file job when whole.
std::vector<DownloadJob> allJobsFor(const Manifest& manifest, const ManifestFile& file, bool whole);
std::int64_t chunkLength(const Manifest& manifest, const ManifestFile& file, std::size_t index);

// Opens a file for writing chunks in place; invalid on failure (the error is GetLastError's).
FileHandle openTarget(const std::wstring& path, bool create);

// Makes an open file exactly size bytes long, leaving its position; 8 attempts.
FileError setFileSize(HANDLE file, const std::wstring& path, std::int64_t size);
