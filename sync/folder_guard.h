// Folders where the launcher never deletes what it does not know.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>

// A drive root, a share root, or a folder that is or holds a user's profile or one of the
// known folders of a user's own files, compared after both are resolved through links:
// pruning there could delete the player's own files.
bool isProtectedFolder(const std::wstring& folder);

// The folder the system opens for path: absolute, without "." and "..", through every link
// and junction on the way. Paths below it are compared with it by the functions below.
std::wstring resolvedFolder(const std::wstring& path);

// Whether folder, through every link on its way, is resolvedRoot or lies below it.
bool folderInside(const std::wstring& resolvedRoot, const std::wstring& folder);

// The folders a phase creates files in, each checked with folderInside before its first file
// is created there, and only then: a build of many small files in few folders would otherwise
// pay for resolving the same folder again for every file. The check just before a file is
// moved into place (placeWholeFile) stays, for every file.
class WriteFolders {
public:
    explicit WriteFolders(std::wstring resolvedRoot) : root_(std::move(resolvedRoot)) {}
    const std::wstring& resolvedRoot() const { return root_; }
    bool inside(const std::wstring& folder);

private:
    const std::wstring root_;
    std::mutex lock_;
    std::set<std::wstring> checked_;
};

// Removes a file, a link (not its target) or an empty folder below root, whose resolved form
// is resolvedRoot, and nothing else: the object is opened without following a link in its own
// name, and deleted through that same handle only when its final path is the one its name
// gives below resolvedRoot. A folder on the way swapped for a link since the path was listed
// then reaches nothing, inside the folder or elsewhere. ERROR_ACCESS_DENIED for such an object;
// the system's code for any other failure.
std::uint32_t removeInside(const std::wstring& root, const std::wstring& resolvedRoot,
                           const std::wstring& path);
