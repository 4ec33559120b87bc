#include "base/log.h"

#include "store/handle.h"
#include "store/paths.h"

#include <cstdio>

std::wstring logFilePath() {
    wchar_t buffer[262];
    const DWORD n = GetTempPathW(262, buffer);
    std::wstring folder = n == 0 || n > 261 ? std::wstring(L".") : std::wstring(buffer, n);
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return joinPath(folder, L"vellumark-launcher.log");
}

void appendLog(std::string_view text) {
    // Appending with shared access keeps lines whole when two launchers write, and lets a
    // player read the log while the launcher runs.
    FileHandle file(CreateFileW(extendedPath(logFilePath()).c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    SYSTEMTIME t;
    GetLocalTime(&t);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    std::string line = stamp;
    line.append(text);
    line += '\n';
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
