// Folders that hold the player's own files, where the launcher never deletes what it does not
// know: drive and share roots, and the folders that are or hold a user's known folders.
#include "sync/folder_guard.h"

#include "store/files.h"
#include "store/handle.h"
#include "store/paths.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <array>
#include <vector>

namespace {

std::wstring knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path) out = path;
    CoTaskMemFree(path);
    return out;
}

std::wstring withoutExtendedPrefix(const std::wstring& path) {
    if (path.rfind(LR"(\\?\UNC\)", 0) == 0) return LR"(\\)" + path.substr(8);
    if (path.rfind(LR"(\\?\)", 0) == 0) return path.substr(4);
    return path;
}

// Whether inner is outer or lies below it, ignoring case.
bool isWithin(const std::wstring& inner, const std::wstring& outer) {
    if (inner.empty() || outer.empty() || inner.size() < outer.size()) return false;
    const int n = static_cast<int>(outer.size());
    if (CompareStringOrdinal(inner.c_str(), n, outer.c_str(), n, TRUE) != CSTR_EQUAL) return false;
    return inner.size() == outer.size() || inner[outer.size()] == L'\\' || outer.back() == L'\\';
}

// The volume a path names its file on: "C:" or "\\server\share".
std::wstring volumeOf(const std::wstring& path) {
    const std::wstring p = withoutExtendedPrefix(path);
    if (p.size() >= 2 && p[1] == L':') return p.substr(0, 2);
    if (p.rfind(LR"(\\)", 0) != 0) return {};
    const std::size_t share = p.find(L'\\', 2);
    return share == std::wstring::npos ? p : p.substr(0, p.find(L'\\', share + 1));
}

DWORD volumeSerial(HANDLE object) {
    DWORD serial = 0;
    return GetVolumeInformationByHandleW(object, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) ? serial
                                                                                                    : 0;
}

// The final path of an object opened as openedAs, in the form resolvedFolder gives; empty when
// unknown.
std::wstring finalPath(HANDLE object, const std::wstring& openedAs) {
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(object, buffer.data(), static_cast<DWORD>(buffer.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n > 0 && n < buffer.size()) {
        buffer.resize(n);
        return normalisePath(withoutExtendedPrefix(buffer));
    }
    // Wine answers ERROR_MORE_DATA for a final path of more than about 260 units, whatever the
    // buffer, but does give the name within the volume: that name on the volume the object was
    // opened on, once the object is known to lie on that volume.
    std::vector<char> info(sizeof(FILE_NAME_INFO) + buffer.size() * sizeof(wchar_t));
    auto* name = reinterpret_cast<FILE_NAME_INFO*>(info.data());
    const std::wstring volume = volumeOf(openedAs);
    if (volume.empty() ||
        !GetFileInformationByHandleEx(object, FileNameInfo, name, static_cast<DWORD>(info.size())))
        return {};
    FileHandle root(CreateFileW((volume + L"\\").c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const DWORD serial = volumeSerial(object);
    if (!root || serial == 0 || volumeSerial(root.get()) != serial) return {};
    return normalisePath(volume + std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t)));
}

} // namespace

// Text comparisons of unresolved paths are fooled by "Desktop\.", "Desktop\sub\.." or a
// junction to the Desktop.
std::wstring resolvedFolder(const std::wstring& path) {
    if (path.empty()) return path;
    constexpr DWORD capacity = 32768;
    std::wstring buffer(capacity, L'\0');
    std::wstring resolved = path;
    DWORD n = GetFullPathNameW(path.c_str(), capacity, buffer.data(), nullptr);
    if (n > 0 && n < capacity) resolved.assign(buffer, 0, n);
    FileHandle folder(CreateFileW(extendedPath(resolved).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (folder) {
        if (std::wstring final = finalPath(folder.get(), resolved); !final.empty()) return final;
    }
    return normalisePath(withoutExtendedPrefix(resolved));
}

WriteFolders::WriteFolders(const std::wstring& gameFolder)
    : folder_(gameFolder), root_(resolvedFolder(gameFolder)) {}

// The game folder and every folder between it and folder, down to folder itself.
std::vector<std::wstring> WriteFolders::foldersOnTheWay(const std::wstring& folder) const {
    std::vector<std::wstring> out{folder_};
    for (std::size_t at = folder.find(L'\\', folder_.size() + 1); at != std::wstring::npos;
         at = folder.find(L'\\', at + 1)) {
        out.push_back(folder.substr(0, at));
    }
    if (folder != folder_) out.push_back(folder);
    return out;
}

bool WriteFolders::inside(const std::wstring& folder) {
    std::lock_guard guard(lock_);
    if (held_.contains(folder)) return true;
    if (!isWithin(folder, folder_)) return hold(folder) == Hold::held;
    // From the game folder down, so each folder is opened below one that can no longer move.
    for (const std::wstring& level : foldersOnTheWay(folder)) {
        if (hold(level) != Hold::held) return false;
    }
    return true;
}

FileError WriteFolders::prepare(const std::wstring& folder) {
    std::lock_guard guard(lock_);
    if (held_.contains(folder)) return {};
    if (!isWithin(folder, folder_)) return hold(folder) == Hold::held ? FileError{} : outsideFailure();
    for (const std::wstring& level : foldersOnTheWay(folder)) {
        Hold held = hold(level);
        if (held == Hold::missing) {
            // Its parent is held: the folder is made inside the game folder.
            if (!CreateDirectoryW(extendedPath(level).c_str(), nullptr)) {
                const std::uint32_t code = lastErrorCode();
                if (code != ERROR_ALREADY_EXISTS) return pathFailure("mkdir", level, code);
            }
            held = hold(level);
        }
        if (held != Hold::held) return outsideFailure();
    }
    return {};
}

bool WriteFolders::holds(void* file, const std::wstring& path) const {
    return isWithin(finalPath(file, path), root_);
}

WriteFolders::Hold WriteFolders::hold(const std::wstring& folder) {
    if (held_.contains(folder)) return Hold::held;
    // Reading the listing is what makes the handle count against a rename: a handle without
    // access to the folder's data shares nothing and refuses nothing.
    FileHandle dir(CreateFileW(extendedPath(folder).c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!dir) {
        const std::uint32_t code = lastErrorCode();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? Hold::missing : Hold::outside;
    }
    if (!isWithin(finalPath(dir.get(), folder), root_)) return Hold::outside;
    held_.emplace(folder, std::shared_ptr<void>(dir.release(), CloseHandle));
    return Hold::held;
}

FileError outsideFailure() {
    return plainFailure("a folder on the way leads outside the game folder");
}

std::uint32_t removeInside(const std::wstring& root, const std::wstring& resolvedRoot,
                           const std::wstring& path) {
    if (path.size() <= root.size() || path.compare(0, root.size(), root) != 0) return ERROR_ACCESS_DENIED;
    std::wstring relative = path.substr(root.size());
    relative.erase(0, relative.find_first_not_of(L'\\'));
    const std::wstring expected = joinPath(resolvedRoot, relative);
    FileHandle object(
        CreateFileW(extendedPath(path).c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!object) return lastErrorCode();
    // Wine follows a link even when told not to: its final path then differs too, and the link
    // stays, as it would when it leads elsewhere.
    const std::wstring at = finalPath(object.get(), path);
    if (at.size() != expected.size() || !isWithin(at, expected)) return ERROR_ACCESS_DENIED;
    FILE_DISPOSITION_INFO dispose{TRUE};
    if (SetFileInformationByHandle(object.get(), FileDispositionInfo, &dispose, sizeof dispose)) return 0;
    std::uint32_t code = lastErrorCode();
    // A read-only file is made writable first, through the same handle.
    FILE_BASIC_INFO basic{};
    if (code == ERROR_ACCESS_DENIED &&
        GetFileInformationByHandleEx(object.get(), FileBasicInfo, &basic, sizeof basic) &&
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        basic.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
        if (SetFileInformationByHandle(object.get(), FileBasicInfo, &basic, sizeof basic) &&
            SetFileInformationByHandle(object.get(), FileDispositionInfo, &dispose, sizeof dispose)) {
            return 0;
        }
        code = lastErrorCode();
    }
    return code;
}

bool isProtectedFolder(const std::wstring& folder) {
    const std::wstring f = resolvedFolder(folder);
    if (f.size() <= 3 && f.size() >= 2 && f[1] == L':') return true; // a drive root
    // A network share's root: \\server\share.
    if (f.rfind(LR"(\\)", 0) == 0 && f.find(L'\\', f.find(L'\\', 2) + 1) == std::wstring::npos) return true;
    static const std::array<const KNOWNFOLDERID*, 23> ids = {
        &FOLDERID_Profile,         &FOLDERID_Desktop,       &FOLDERID_Documents,
        &FOLDERID_Downloads,       &FOLDERID_Pictures,      &FOLDERID_Music,
        &FOLDERID_Videos,          &FOLDERID_SavedGames,    &FOLDERID_SkyDrive,
        &FOLDERID_Public,          &FOLDERID_PublicDesktop, &FOLDERID_PublicDocuments,
        &FOLDERID_PublicDownloads, &FOLDERID_PublicMusic,   &FOLDERID_PublicPictures,
        &FOLDERID_PublicVideos,    &FOLDERID_UserProfiles,  &FOLDERID_LocalAppData,
        &FOLDERID_RoamingAppData,  &FOLDERID_ProgramData,   &FOLDERID_ProgramFiles,
        &FOLDERID_ProgramFilesX86, &FOLDERID_Windows,
    };
    for (const KNOWNFOLDERID* id : ids) {
        const std::wstring known = knownFolder(*id);
        if (!known.empty() && isWithin(resolvedFolder(known), f))
            return true; // the game folder is or holds it
    }
    return false;
}
