#include "sync/cleanup.h"

#include "base/log.h"
#include "net/manifest.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/text.h"
#include "store/unicode_case.h"
#include "sync/file_index.h"
#include "sync/folder_guard.h"
#include "sync/state.h"

#include <windows.h>

namespace {

std::wstring lowerName(const std::wstring& path) {
    std::wstring name(fileNameOf(path));
    if (!name.empty()) CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

// The name the file system looks up: one backslash between components, none in front, and
// letter case as the file system ignores it.
std::wstring lookupKey(const std::wstring& path) {
    std::wstring key = normalisePath(path);
    key.erase(0, key.find_first_not_of(L'\\'));
    return upcased(key);
}

// Removes the folders between path and root that the removal of path left empty.
void removeEmptyParents(const std::wstring& root, const std::wstring& resolvedRoot,
                        const std::wstring& path) {
    for (std::wstring dir = parentFolder(path); dir.size() > root.size() && dir != path;
         dir = parentFolder(dir)) {
        if (removeInside(root, resolvedRoot, dir) != 0) return;
    }
}

} // namespace

void FileSystemPaths::add(std::string_view path) {
    std::wstring key = lookupKey(toWide(path));
    // The folders on the way, deepest first: once one is known, so are those above it.
    for (std::size_t sep = key.rfind(L'\\'); sep != std::wstring::npos && sep > 0;
         sep = key.rfind(L'\\', sep - 1)) {
        if (!folders_.insert(key.substr(0, sep)).second) break;
    }
    files_.insert(std::move(key));
}

bool FileSystemPaths::containsFile(const std::wstring& path) const {
    return files_.contains(lookupKey(path));
}

bool FileSystemPaths::containsFolder(const std::wstring& path) const {
    return folders_.contains(lookupKey(path));
}

void listTree(const std::wstring& root, std::vector<std::wstring>* files, std::vector<std::wstring>* dirs) {
    std::vector<DirEntry> entries;
    if (!listDirectory(root, entries)) return;
    for (const DirEntry& e : entries) {
        const std::wstring path = joinPath(root, e.name);
        if (e.isDir) {
            if (dirs) dirs->push_back(path);
            listTree(path, files, dirs);
        } else if (files) {
            files->push_back(path);
        }
    }
}

void removeEmptyDirectories(const std::wstring& root) {
    std::vector<std::wstring> dirs;
    listTree(root, nullptr, &dirs);
    // Children come after their parents in the listing, so the walk back removes them first.
    for (auto it = dirs.rbegin(); it != dirs.rend(); ++it)
        removePath(*it);
}

void closeJournal(const std::wstring& folder, const std::vector<std::string>& paths) {
    const std::wstring root = normalisePath(folder), resolvedRoot = resolvedFolder(root);
    for (const std::string& path : paths) {
        std::wstring local;
        if (!resolveManifestPath(root, path, local).failed)
            removeInside(root, resolvedRoot, partPathOf(local));
    }
    // Patches and solid objects left by an interrupted run are used or of no more use now.
    for (const wchar_t* name : {patchFolderName, solidFolderName}) {
        const std::wstring left = joinPath(root, name);
        std::vector<std::wstring> kept;
        listTree(left, &kept, nullptr);
        for (const std::wstring& file : kept)
            removePath(file);
        RemoveDirectoryW(extendedPath(left).c_str());
    }
    removePath(joinPath(root, journalFileName));
}

void removeDroppedFiles(const std::wstring& folder, const std::vector<std::string>& paths,
                        const FileSystemPaths& manifestPaths) {
    const std::wstring resolvedRoot = resolvedFolder(folder);
    for (const std::string& path : paths) {
        std::wstring local;
        if (manifestPaths.containsFile(toWide(path)) || resolveManifestPath(folder, path, local).failed ||
            isLauncherPath(local)) {
            continue;
        }
        if (removeInside(folder, resolvedRoot, local) == 0) removeEmptyParents(folder, resolvedRoot, local);
    }
}

FileError mayPruneFolder(const std::wstring& folder, bool alreadyAnInstall, bool& mayPrune) {
    const std::wstring marker = joinPath(folder, sharedMarkerName);
    mayPrune = false;
    if (fileInfo(marker)) return {};
    // A first install: the folder is the launcher's when it holds nothing but the launcher and
    // its working files.
    std::vector<DirEntry> entries;
    bool onlyOurs = alreadyAnInstall || listDirectory(folder, entries);
    for (const DirEntry& e : entries) {
        if (!onlyOurs) break;
        const std::wstring path = joinPath(folder, e.name);
        onlyOurs = !e.isDir && (isLauncherPath(path) || isProtectedName(lowerName(path)));
    }
    if (onlyOurs) {
        mayPrune = true;
        return {};
    }
    appendLog("shared folder: " + toUtf8(folder));
    return replaceFileDurably(marker, "This folder held other files when the game was first installed here: "
                                      "the launcher never removes a file here that it did not put here.\r\n");
}

namespace {

// Every file below dir (links and junctions count as files) and every folder, each folder
// before its contents, as index lists them.
void walk(FileIndex& index, const std::wstring& dir, std::vector<std::wstring>& files,
          std::vector<std::wstring>& dirs) {
    const std::vector<DirEntry>* entries = index.entries(dir);
    if (!entries) return;
    for (const DirEntry& e : *entries) {
        std::wstring path = joinPath(dir, e.name);
        if (e.isDir) {
            dirs.push_back(path);
            walk(index, path, files, dirs);
        } else {
            files.push_back(std::move(path));
        }
    }
}

// The launcher's kept chunk lists and their folder, which their own pruning looks after.
bool keptListPath(std::wstring_view rel) {
    const std::wstring_view folder = chunkListFolderName;
    if (rel.size() < folder.size() || (rel.size() > folder.size() && rel[folder.size()] != L'\\'))
        return false;
    std::wstring head(rel.substr(0, folder.size()));
    CharLowerBuffW(head.data(), static_cast<DWORD>(head.size()));
    return head == folder;
}

} // namespace

void pruneUnknownFiles(const std::wstring& folder, const FileSystemPaths& manifestPaths, FileIndex& index) {
    if (isProtectedFolder(folder)) {
        appendLog("prune skipped: " + toUtf8(folder));
        return;
    }
    // Nothing is removed by its path alone: a folder listed here may have been swapped for a
    // link to elsewhere since.
    const std::wstring resolvedRoot = resolvedFolder(folder);
    // One walk serves both the files and, afterwards, the folders left empty.
    std::vector<std::wstring> files, dirs;
    walk(index, folder, files, dirs);
    const std::size_t prefix = folder.size() + (!folder.empty() && folder.back() == L'\\' ? 0 : 1);
    for (const std::wstring& f : files) {
        if (f.size() <= prefix) continue;
        const std::wstring rel = f.substr(prefix);
        // A link or junction is listed as a file; one on the way to a manifest file stays.
        if (manifestPaths.containsFile(rel) || manifestPaths.containsFolder(rel) || isLauncherPath(f) ||
            isProtectedName(lowerName(f)) || keptListPath(rel)) {
            continue;
        }
        removeInside(folder, resolvedRoot, f);
    }
    // Children come after their parents in the walk, so the walk back removes them first. A
    // folder on the way to a manifest file holds that file.
    for (auto it = dirs.rbegin(); it != dirs.rend(); ++it) {
        if (it->size() <= prefix ||
            (!manifestPaths.containsFolder(it->substr(prefix)) && !keptListPath(it->substr(prefix))))
            removeInside(folder, resolvedRoot, *it);
    }
}
