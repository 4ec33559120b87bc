#include "store/files.h"

#include "store/handle.h"
#include "store/paths.h"
#include "store/text.h"

#include <algorithm>

std::int64_t fileTimeToUnixNanos(std::uint64_t fileTime) {
    // 11644473600 s lie between 1601 and 1970; adding 0x5E6684F4B3960000 modulo 2^64 is the
    // same as subtracting 11644473600 * 10^9.
    return static_cast<std::int64_t>(fileTime * 100u + 0x5E6684F4B3960000ull);
}

bool fileInfo(const std::wstring& path, std::int64_t* size, std::int64_t* mtime, bool* isDir) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(extendedPath(path).c_str(), GetFileExInfoStandard, &data)) return false;
    if (size)
        *size = static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
    if (mtime) {
        const std::uint64_t t =
            (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
        *mtime = fileTimeToUnixNanos(t);
    }
    if (isDir) *isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

std::uint32_t removePath(const std::wstring& path) {
    const std::wstring p = extendedPath(path);
    if (DeleteFileW(p.c_str())) return 0;
    DWORD fileError = lastErrorCode();
    if (RemoveDirectoryW(p.c_str())) return 0;
    const DWORD dirError = lastErrorCode();
    if (fileError == dirError) return fileError;

    const DWORD attributes = GetFileAttributesW(p.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return lastErrorCode();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return dirError;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        if (SetFileAttributesW(p.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
            if (DeleteFileW(p.c_str())) return 0;
            fileError = lastErrorCode();
        }
    }
    return fileError;
}

std::uint32_t makeDirs(const std::wstring& path, std::wstring& failedPath) {
    bool isDir = false;
    if (fileInfo(path, nullptr, nullptr, &isDir)) {
        if (isDir) return 0;
        failedPath = path;
        return ERROR_PATH_NOT_FOUND;
    }
    const std::wstring parent = parentFolder(path);
    if (parent != path && parent != L"." && parent.size() < path.size()) {
        if (const std::uint32_t code = makeDirs(parent, failedPath)) return code;
    }
    if (!CreateDirectoryW(extendedPath(path).c_str(), nullptr)) {
        const DWORD code = lastErrorCode();
        // Another thread or process may have made it meanwhile, which is as good.
        if (fileInfo(path, nullptr, nullptr, &isDir) && isDir) return 0;
        failedPath = path;
        return code;
    }
    return 0;
}

bool readWholeFile(const std::wstring& path, std::string& bytes) {
    FileHandle file(CreateFileW(extendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bytes.clear();
    constexpr DWORD piece = 65536;
    for (;;) {
        const std::size_t used = bytes.size();
        bytes.resize(used + piece);
        DWORD got = 0;
        const BOOL ok = ReadFile(file.get(), bytes.data() + used, piece, &got, nullptr);
        bytes.resize(used + got);
        if (!ok) return false;
        if (got == 0) return true;
    }
}

bool readAt(void* file, std::int64_t offset, char* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        OVERLAPPED at{};
        const auto where = static_cast<std::uint64_t>(offset) + done;
        at.Offset = static_cast<DWORD>(where);
        at.OffsetHigh = static_cast<DWORD>(where >> 32);
        DWORD got = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(size - done, std::size_t{1} << 30));
        if (!ReadFile(file, data + done, want, &got, &at) || got == 0) return false;
        done += got;
    }
    return true;
}

std::uint32_t writeAll(void* file, const char* data, std::size_t size, const std::wstring& path,
                       std::int64_t offset) {
    constexpr std::size_t piece = 1048576;
    for (std::size_t done = 0; done < size;) {
        const auto want = static_cast<DWORD>(std::min(piece, size - done));
        OVERLAPPED position{};
        if (offset >= 0) {
            const auto at = static_cast<std::uint64_t>(offset) + done;
            position.Offset = static_cast<DWORD>(at);
            position.OffsetHigh = static_cast<DWORD>(at >> 32);
        }
        DWORD wrote = 0;
        SetLastError(0);
        const BOOL ok = WriteFile(file, data + done, want, &wrote, offset >= 0 ? &position : nullptr);
        const DWORD code = GetLastError();
        if (ok && wrote > 0) {
            done += wrote;
            continue;
        }
        if (code != 0) return code;
        // A full volume can make a write report success with nothing written.
        ULARGE_INTEGER available{};
        const bool full =
            GetDiskFreeSpaceExW(extendedPath(parentFolder(path)).c_str(), &available, nullptr, nullptr) &&
            available.QuadPart < size - done;
        return full ? ERROR_DISK_FULL : ERROR_GEN_FAILURE;
    }
    return 0;
}

FileError writeWholeFile(const std::wstring& path, std::string_view bytes) {
    FileHandle file(CreateFileW(extendedPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return pathFailure("open", path, lastErrorCode());
    if (const std::uint32_t code = writeAll(file.get(), bytes.data(), bytes.size(), path))
        return pathFailure("write", path, code);
    return {};
}

std::uint32_t moveReplacing(const std::wstring& from, const std::wstring& to) {
    if (MoveFileExW(extendedPath(from).c_str(), extendedPath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    return lastErrorCode();
}

std::uint32_t renameOverInUse(const std::wstring& from, const std::wstring& to) {
    FileHandle file(CreateFileW(extendedPath(from).c_str(), DELETE | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return lastErrorCode();
    // The call takes the system's own path form: "\??\" before a full path, not "\\?\".
    std::wstring name = extendedPath(to);
    if (name.starts_with(LR"(\\?\)")) {
        name = LR"(\??\)" + name.substr(4);
    } else if (name.starts_with(LR"(\\)")) {
        name = LR"(\??\UNC\)" + name.substr(2);
    } else {
        name = LR"(\??\)" + name;
    }
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), info->FileName);
    // FileRenameInfoEx (Windows 10 1709 and later), which the MinGW headers hide behind a version.
    constexpr auto renameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    if (!SetFileInformationByHandle(file.get(), renameInfoEx, info, static_cast<DWORD>(buffer.size())))
        return lastErrorCode();
    return 0;
}

FileError replaceFileDurably(const std::wstring& path, std::string_view bytes) {
    const std::wstring temporary = path + L".tmp";
    {
        FileHandle file(CreateFileW(extendedPath(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return pathFailure("open", temporary, lastErrorCode());
        std::uint32_t code = writeAll(file.get(), bytes.data(), bytes.size(), temporary);
        if (!code && !FlushFileBuffers(file.get())) code = lastErrorCode();
        if (code) {
            file.reset();
            removePath(temporary);
            return pathFailure("write", temporary, code);
        }
    }
    makeWritable(path);
    if (const std::uint32_t code = moveReplacing(temporary, path)) {
        removePath(temporary);
        return twoPathFailure("rename", temporary, path, code);
    }
    return {};
}

std::int64_t freeSpace(const std::wstring& folder) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(extendedPath(folder).c_str(), &available, nullptr, nullptr)) return -1;
    return static_cast<std::int64_t>(std::min<std::uint64_t>(available.QuadPart, INT64_MAX));
}

void makeWritable(const std::wstring& path) {
    const std::wstring p = extendedPath(path);
    const DWORD attributes = GetFileAttributesW(p.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(p.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

bool listDirectoryUnsorted(const std::wstring& dir, std::vector<DirEntry>& entries) {
    entries.clear();
    WIN32_FIND_DATAW data;
    const HANDLE first = FindFirstFileExW(extendedPath(joinPath(dir, L"*")).c_str(), FindExInfoBasic, &data,
                                          FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    const DWORD code = GetLastError();
    const FindHandle find(first);
    if (!find) return code == ERROR_FILE_NOT_FOUND;
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        DirEntry e;
        e.name = name;
        e.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        e.isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !e.isLink;
        e.size = static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
        e.mtime = fileTimeToUnixNanos((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                      data.ftLastWriteTime.dwLowDateTime);
        entries.push_back(std::move(e));
    } while (FindNextFileW(find.get(), &data));
    return true;
}

bool listDirectory(const std::wstring& dir, std::vector<DirEntry>& entries) {
    std::vector<DirEntry> found;
    if (!listDirectoryUnsorted(dir, found)) {
        entries.clear();
        return false;
    }
    // std::string compares as unsigned bytes, shorter first on a common prefix.
    std::vector<std::pair<std::string, std::size_t>> order;
    order.reserve(found.size());
    for (std::size_t i = 0; i < found.size(); ++i)
        order.emplace_back(toUtf8(found[i].name), i);
    std::sort(order.begin(), order.end());
    entries.clear();
    entries.reserve(found.size());
    for (const auto& [name, i] : order)
        entries.push_back(std::move(found[i]));
    return true;
}
