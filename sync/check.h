// The file check: for every manifest file, whether the copy in the game folder is current
// and, if not, which download jobs repair it; and the chunked files it opens for writing.
#pragma once

#include "app/session_status.h"
#include "net/manifest.h"
#include "store/file_error.h"
#include "store/handle.h"
#include "store/state.h"
#include "sync/file_index.h"
#include "sync/folder_guard.h"
#include "sync/plan.h"

#include <chrono>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// Chunked files open for writing in place, by manifest path. Check threads insert under the
// lock; download workers only look handles up; the orchestrator closes them all.
class OpenTargets {
public:
    void insert(const std::string& path, FileHandle handle);
    HANDLE find(const std::string& path) const; // INVALID_HANDLE_VALUE when absent
    bool contains(const std::string& path) const { return handles_.contains(path); }
    const std::map<std::string, FileHandle>& handles() const { return handles_; }
    // Takes a handle out of the table, once no worker uses it.
    FileHandle release(const std::string& path);

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
    FileIndex& index;      // what the folder holds, as the check found it
    WriteFolders& folders; // every file the check opens for writing lies inside them
    // Files an update that did not finish named: their records are not trusted, as a killed
    // process may leave a write time that does not show its last writes.
    const std::set<std::string>& unsettled;
    std::atomic<std::uint64_t> nextIndex{0};
    std::atomic<std::uint64_t> filesDone{0};
};

// Checks every manifest file on checkThreads threads; fails only when the threads cannot be
// started.
inline constexpr int checkThreads = 4;
FileError checkAllFiles(CheckContext& context);

// Opens a file for writing chunks in place; invalid on failure (the error is GetLastError's).
FileHandle openTarget(const std::wstring& path, bool create);

// Makes an open file exactly size bytes long, leaving its position. Another program (an
// anti-virus scanner, say) may hold the file for a moment: attempt n that fails waits
// n * setFileSizePause before the next.
inline constexpr int setFileSizeAttempts = 8;
inline constexpr std::chrono::milliseconds setFileSizePause{300};
FileError setFileSize(HANDLE file, const std::wstring& path, std::int64_t size);
