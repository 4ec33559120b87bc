// A fresh folder under %TEMP% for one test, removed with everything in it at the end.
#pragma once

#include "store/files.h"
#include "store/paths.h"

#include <windows.h>

#include <map>
#include <string>

class TempDir {
public:
    TempDir() {
        wchar_t base[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, base);
        static LONG counter = 0;
        path_ = std::wstring(base, n) + L"vellumark-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(InterlockedIncrement(&counter));
        removeTree(path_);
        std::wstring failed;
        makeDirs(path_, failed);
    }
    ~TempDir() { removeTree(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& rel) const { return joinPath(path_, rel); }

    static void removeTree(const std::wstring& path) {
        std::vector<DirEntry> entries;
        if (listDirectory(path, entries)) {
            for (const auto& e : entries) {
                const std::wstring child = joinPath(path, e.name);
                if (e.isDir) {
                    removeTree(child);
                } else {
                    removePath(child);
                }
            }
        }
        removePath(path);
    }

private:
    std::wstring path_;
};

// Every file below folder by its path there, with its bytes.
inline std::map<std::wstring, std::string> folderContents(const std::wstring& folder) {
    std::map<std::wstring, std::string> contents;
    const auto walk = [&](auto& self, const std::wstring& at) -> void {
        std::vector<DirEntry> entries;
        if (!listDirectory(at, entries)) return;
        for (const auto& e : entries) {
            const std::wstring child = joinPath(at, e.name);
            if (e.isDir) {
                self(self, child);
            } else if (!readWholeFile(child, contents[child.substr(folder.size() + 1)])) {
                contents[child.substr(folder.size() + 1)] = "<unreadable>";
            }
        }
    };
    walk(walk, folder);
    return contents;
}
