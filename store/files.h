// File-system helpers. Each passes its path through extendedPath and reports a bare Windows
// error code (0 = success, never 0 for a failure); callers wrap it with an operation word.
#pragma once

#include "store/file_error.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct DirEntry {
    std::wstring name;      // without folder
    bool isDir = false;     // a directory and not a reparse point, so walks never follow links
    bool isLink = false;    // a reparse point: a link or junction, whose own size means nothing
    std::int64_t size = 0;  // as fileInfo gives them
    std::int64_t mtime = 0; // nanoseconds since 1970
};

// False when the path cannot be read (treated as absent). mtime is nanoseconds since 1970.
bool fileInfo(const std::wstring& path, std::int64_t* size = nullptr, std::int64_t* mtime = nullptr,
              bool* isDir = nullptr);

// Removes a file (read-only ones too) or an empty directory.
std::uint32_t removePath(const std::wstring& path);

// Creates path and its missing parents; on failure failedPath names the one that could not be made.
std::uint32_t makeDirs(const std::wstring& path, std::wstring& failedPath);

bool readWholeFile(const std::wstring& path, std::string& bytes);

// Reads exactly size bytes of an open file at offset (the handle's file pointer is never used);
// false when the file ends before them or a read fails.
bool readAt(void* file, std::int64_t offset, char* data, std::size_t size);

// Writes every byte to an open file: at offset when it is not negative (the handle's file
// pointer is then never used), else at the file pointer. Short writes go on from where they
// stopped; a write that moves nothing fails with the system's code or, when the system gives
// none, ERROR_DISK_FULL when the volume has no room left for the rest.
std::uint32_t writeAll(void* file, const char* data, std::size_t size, const std::wstring& path,
                       std::int64_t offset = -1);

// Replaces a file's contents so that a crash or a power cut leaves the old contents or the
// new, never a mix: the bytes go to path + ".tmp", are flushed to the disk, and that file is
// moved over path with write-through. Failures: "open" or "write" with the temporary path,
// or the "rename" of both.
FileError replaceFileDurably(const std::wstring& path, std::string_view bytes);

// Clears a file's read-only attribute, so that it can be written or replaced.
void makeWritable(const std::wstring& path);

// The free space of the folder's volume for this user, or -1 when the system does not tell.
std::int64_t freeSpace(const std::wstring& folder);

// Replaces the file in place: "open" or "write" failures with the path.
FileError writeWholeFile(const std::wstring& path, std::string_view bytes);

// Moves a file over another, replacing it, with the move on the disk before it returns.
std::uint32_t moveReplacing(const std::wstring& from, const std::wstring& to);
// One rename over a file that may be in use, a running program's included (POSIX semantics:
// the old file lives on while it is open); fails where the system or the volume does not
// allow it.
std::uint32_t renameOverInUse(const std::wstring& from, const std::wstring& to);

// Entries except "." and "..", sorted by the bytes of their UTF-8 names. A missing folder's
// search that fails with "file not found" gives true and no entries.
bool listDirectory(const std::wstring& dir, std::vector<DirEntry>& entries);
// The same entries in the order the system gives them, which costs no sorting.
bool listDirectoryUnsorted(const std::wstring& dir, std::vector<DirEntry>& entries);

// A file time (100 ns units since 1601) as nanoseconds since 1970, in wrapping arithmetic.
std::int64_t fileTimeToUnixNanos(std::uint64_t fileTime);
