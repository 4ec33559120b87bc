// Folders where the launcher never deletes what it does not know.
#pragma once

#include "store/file_error.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A drive root, a share root, or a folder that is or holds a user's profile or one of the
// known folders of a user's own files, compared after both are resolved through links:
// pruning there could delete the player's own files.
bool isProtectedFolder(const std::wstring& folder);

// The folder the system opens for path: absolute, without "." and "..", through every link
// and junction on the way. Paths below it are compared with it by the functions below.
std::wstring resolvedFolder(const std::wstring& path);

// The folders a phase creates files in, and every folder between them and the game folder.
// Each is checked once (through every link on its way, it must lie inside the game folder)
// through a handle kept open until the phase ends, which lets no one rename or delete the
// folder: its path names the folder that was checked for as long as files are written and
// moved there, so no file pays for resolving it again. (Some systems refuse to rename a folder
// with anything open below it, but not all, so each folder on the way is held itself.)
class WriteFolders {
public:
    explicit WriteFolders(const std::wstring& gameFolder);
    const std::wstring& resolvedRoot() const { return root_; }
    // Whether folder, below the game folder, lies inside it; held from here on when it does.
    bool inside(const std::wstring& folder);
    // Makes folder and every folder missing on its way, each in a folder already held, and
    // holds them: nothing is created through a link that leads elsewhere. outsideFailure() when
    // a folder on the way leads outside the game folder.
    FileError prepare(const std::wstring& folder);
    // Whether an open file lies inside the game folder, through every link on its way and in
    // its own name: what is written through the handle lands there.
    bool holds(void* file, const std::wstring& path) const; // a file HANDLE

private:
    enum class Hold { held, missing, outside };
    Hold hold(const std::wstring& folder);
    std::vector<std::wstring> foldersOnTheWay(const std::wstring& folder) const;

    const std::wstring folder_, root_;
    std::mutex lock_;
    std::map<std::wstring, std::shared_ptr<void>> held_; // folder handles, closed as they go
};

// What a write refused by WriteFolders fails with.
FileError outsideFailure();

// Removes a file, a link (not its target) or an empty folder below root, whose resolved form
// is resolvedRoot, and nothing else: the object is opened without following a link in its own
// name, and deleted through that same handle only when its final path is the one its name
// gives below resolvedRoot. A folder on the way swapped for a link since the path was listed
// then reaches nothing, inside the folder or elsewhere. ERROR_ACCESS_DENIED for such an object;
// the system's code for any other failure.
std::uint32_t removeInside(const std::wstring& root, const std::wstring& resolvedRoot,
                           const std::wstring& path);
