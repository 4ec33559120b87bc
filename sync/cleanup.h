// Housekeeping of the game folder: what an interrupted download left, and the files the
// manifest does not list.
#pragma once

#include "store/file_error.h"

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class FileIndex;

// Paths relative to the game folder as the file system tells them apart: separators unified,
// runs of them collapsed, leading ones dropped, letter case ignored for all of Unicode.
class FileSystemPaths {
public:
    explicit FileSystemPaths(std::size_t expectedFiles = 0) { files_.reserve(expectedFiles); }
    // A manifest path; the folders on its way become known folders.
    void add(std::string_view path);
    bool containsFile(const std::wstring& path) const;
    bool containsFolder(const std::wstring& path) const;

private:
    std::unordered_set<std::wstring> files_, folders_; // upper-cased as names are compared
};

// Names that pruning never removes, given lower-cased: the launcher's state and journal, and
// whatever ends in ".part" or ".old".
bool isProtectedName(std::wstring_view lowerCaseName);

// Full paths of every file and/or directory below root, each directory before its contents.
void listTree(const std::wstring& root, std::vector<std::wstring>* files, std::vector<std::wstring>* dirs);
// Removes every empty directory below root, never root itself.
void removeEmptyDirectories(const std::wstring& root);
// After a sync that ended in order: the ".part" files of the files the journal named, and the
// journal. Until then the journal stays, through cancellations, failures and crashes: the
// files it names are checked by content and resumed, never deleted.
void closeJournal(const std::wstring& folder, const std::vector<std::string>& paths);
// Removes the files of paths that the manifest no longer lists (they came from an earlier
// manifest, or from an update that did not finish) and the folders their removal emptied.
void removeDroppedFiles(const std::wstring& folder, const std::vector<std::string>& paths,
                        const FileSystemPaths& manifestPaths);
// Whether unknown files in folder may be pruned. A folder the launcher fills itself (missing
// or empty at the first install) or that already is a game folder is its own; one that held
// anything else at the first install is marked shared then, and is never pruned after. A
// marker that cannot be written fails the sync, before anything is downloaded.
FileError mayPruneFolder(const std::wstring& folder, bool alreadyAnInstall, bool& mayPrune);
// Removes every file the manifest does not list, but the launcher and its working files, and
// links that lead to manifest files. Never in a protected folder. Folders are read through
// index: what a folder held when the check listed it is what is pruned.
void pruneUnknownFiles(const std::wstring& folder, const FileSystemPaths& manifestPaths, FileIndex& index);
