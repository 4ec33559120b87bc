// Carrying out the plan's writes within files, once the journal names them: old copies mended
// in place, rebuilt files filled from their old copies, new chunked files made at their size.
// The download workers then write the fetched chunks into the files this leaves open.
#pragma once

#include "net/manifest.h"
#include "store/file_error.h"
#include "store/handle.h"
#include "sync/plan.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// Files held open, by manifest path. Threads insert under the lock; download workers only look
// handles up; the orchestrator closes them all.
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

// Opens a file for writing chunks in place; invalid on failure (the error is GetLastError's).
FileHandle openTarget(const std::wstring& path, bool create);

// Makes an open file exactly size bytes long, leaving its position. Another program (an
// anti-virus scanner, say) may hold the file for a moment: attempt n that fails waits
// n * setFileSizePause before the next.
inline constexpr int setFileSizeAttempts = 8;
inline constexpr std::chrono::milliseconds setFileSizePause{300};
FileError setFileSize(HANDLE file, const std::wstring& path, std::int64_t size);

// The writes within files of every mended, rebuilt and created row, each file checked to lie
// inside the game folder before its first byte; each file written goes to targets, open. A
// rebuilt file's old copy comes from heldOld when the check held it (its chunks are copied as
// they are), else it is opened again and every chunk is checked as read. A copy whose source
// no longer holds its chunk becomes a download job of its row.
FileError writeWithinFiles(const std::wstring& folder, const Manifest& manifest,
                           std::vector<FileCheckResult>& results, OpenTargets& heldOld, OpenTargets& targets);
