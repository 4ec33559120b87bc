// Sizes and write times of the files of a game folder, read one folder listing at a time
// instead of one call a file: under Wine a listing costs a few microseconds an entry, the
// attributes of one file several times that.
#pragma once

#include "store/files.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class FileIndex {
public:
    // What fileInfo tells of a local path: false when nothing is there. Names are matched
    // as the file system matches them; a link, a short (8.3) name or a folder that cannot be
    // listed is asked of the system itself. Safe on several threads.
    bool find(const std::wstring& path, std::int64_t* size, std::int64_t* mtime, bool* isDir = nullptr);
    // A folder's entries as first listed here; nullptr when it cannot be listed.
    const std::vector<DirEntry>* entries(const std::wstring& folder);

private:
    struct Folder {
        std::once_flag once;
        bool listed = false; // false: it could not be listed, and its files are asked one by one
                             // (a folder that is not there is listed, empty)
        std::vector<DirEntry> entries;
        std::unordered_map<std::wstring, std::size_t> byName; // upper-cased name to entry
    };
    Folder& folder(const std::wstring& path);

    std::mutex lock_; // guards the map; each folder is listed once, outside it
    std::unordered_map<std::wstring, std::unique_ptr<Folder>> folders_; // by upper-cased path
};
