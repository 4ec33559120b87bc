// File-system helpers. Each passes its path through extendedPath and reports a bare Windows
// error code (0 = success, never 0 for a failure); callers wrap it with an operation word.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DirEntry {
    std::wstring name;  // without folder
    bool isDir = false; // a directory and not a reparse point, so walks never follow links
};

// False when the path cannot be read (treated as absent). mtime is nanoseconds since 1970.
bool fileInfo(const std::wstring& path, std::int64_t* size = nullptr, std::int64_t* mtime = nullptr,
              bool* isDir = nullptr);

// Removes a file (read-only ones too) or an empty directory.
std::uint32_t removePath(const std::wstring& path);

// Creates path and its missing parents; on failure failedPath names the one that could not be made.
std::uint32_t makeDirs(const std::wstring& path, std::wstring& failedPath);

bool readWholeFile(const std::wstring& path, std::string& bytes);

// Replaces the file in place; on failure opWord says which step failed ("open" or "write").
std::uint32_t writeWholeFile(const std::wstring& path, const std::string& bytes,
                             std::string* opWord = nullptr);

// Entries except "." and "..", sorted by the bytes of their UTF-8 names. A missing folder's
// search that fails with "file not found" gives true and no entries.
bool listDirectory(const std::wstring& dir, std::vector<DirEntry>& entries);

// A file time (100 ns units since 1601) as nanoseconds since 1970, in wrapping arithmetic.
std::int64_t fileTimeToUnixNanos(std::uint64_t fileTime);
