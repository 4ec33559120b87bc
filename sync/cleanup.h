// Housekeeping of the game folder: what an interrupted download left, and the files the
// manifest does not list.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class FileIndex;

// Paths relative to the game folder as the file system tells them apart: separators unified,
// runs of them collapsed, leading ones dropped, letter case ignored for all of Unicode.
class FileSystemPaths {
public:
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
// After an interrupted download phase (the journal exists): removes the files the journal
// names, every ".part" file, the journal and the folders left empty. In a protected folder
// only the named files, their ".part" files and the folders their removal emptied go.
void discardInterruptedDownloads(const std::wstring& folder);
// Removes every file the manifest does not list, but the launcher and its working files, and
// links that lead to manifest files. Never in a protected folder. Folders are read through
// index: what a folder held when the check listed it is what is pruned.
void pruneUnknownFiles(const std::wstring& folder, const FileSystemPaths& manifestPaths, FileIndex& index);
