// Links of the Unix file system below Wine, which Windows programs see as junctions. Wine's
// CreateSymbolicLinkW makes nothing, so the test asks /bin/ln for one.
#pragma once

#include "store/handle.h"
#include "store/text.h"

#include <string>

inline std::string unixPath(const std::wstring& windowsPath) {
    using ToUnix = char*(__cdecl*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    char* path = toUnix(windowsPath.c_str());
    if (!path) return {};
    std::string out = path;
    HeapFree(GetProcessHeap(), 0, path);
    return out;
}

// Runs a Unix program with its arguments; Wine does not follow it to its end, so the caller
// waits for what it does.
inline bool runUnix(const std::wstring& program, const std::wstring& arguments) {
    std::wstring commandLine = program + L" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW((L"Z:\\bin\\" + program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &si, &pi)) {
        return false;
    }
    KernelHandle process(pi.hProcess), thread(pi.hThread);
    return true;
}

inline bool waitForAttributes(const std::wstring& path, bool present) {
    for (int waited = 0; waited < 10000; waited += 10) {
        if ((GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present) return true;
        Sleep(10);
    }
    return false;
}

// A link to the folder target for the object's lifetime (Wine removes no link to a folder
// itself, so /bin/rm does).
class UnixLink {
public:
    UnixLink(const std::wstring& target, const std::wstring& link) : link_(link) {
        const std::string from = unixPath(target), to = unixPath(link);
        made_ = !from.empty() && !to.empty() &&
                runUnix(L"ln", L"-s \"" + toWide(from) + L"\" \"" + toWide(to) + L"\"") &&
                waitForAttributes(link, true);
    }
    ~UnixLink() {
        if (made_ && runUnix(L"rm", L"-f \"" + toWide(unixPath(link_)) + L"\""))
            waitForAttributes(link_, false);
    }
    UnixLink(const UnixLink&) = delete;
    UnixLink& operator=(const UnixLink&) = delete;

    bool made() const { return made_; }

private:
    std::wstring link_;
    bool made_ = false;
};
