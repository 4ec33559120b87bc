#include "store/paths.h"

#include "store/text.h"

#include <windows.h>

#include <vector>

namespace {

constexpr DWORD longPathBuffer = 32768;

// The long form of path, or path itself when the system cannot expand it.
std::wstring longForm(const std::wstring& path) {
    std::wstring buffer(longPathBuffer, L'\0');
    const DWORD n = GetLongPathNameW(path.c_str(), buffer.data(), longPathBuffer);
    if (n >= 1 && n < longPathBuffer) return buffer.substr(0, n);
    return path;
}

} // namespace

bool samePath(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty()) return false;
    const std::wstring x = normalisePath(a);
    const std::wstring y = normalisePath(longForm(b));
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()),
                                TRUE) == CSTR_EQUAL;
}

std::wstring exePath() {
    std::vector<wchar_t> buffer(1024);
    DWORD n = 0;
    for (;;) {
        n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) break;
        buffer.resize(buffer.size() * 2); // the name was cut to fit
    }
    std::wstring path(buffer.data(), n);
    if (path.rfind(LR"(\\?\)", 0) == 0 && path.rfind(LR"(\\?\UNC\)", 0) != 0) path.erase(0, 4);
    return path;
}

std::wstring launcherPath() {
    return longForm(exePath());
}

bool isLauncherPath(const std::wstring& path) {
    // Expanding a path to its long form walks every folder of it, which costs more than a
    // small download; only a name equal to the launcher's, or a short name (they all hold
    // a tilde), can name it. The launcher's own path does not change while it runs.
    static const std::wstring self = launcherPath();
    const std::wstring_view name = fileNameOf(path), selfName = fileNameOf(self);
    const bool maybe = name.find(L'~') != std::wstring_view::npos ||
                       CompareStringOrdinal(name.data(), static_cast<int>(name.size()), selfName.data(),
                                            static_cast<int>(selfName.size()), TRUE) == CSTR_EQUAL;
    return maybe && samePath(self, path);
}

std::wstring joinGamePath(const std::wstring& folder, std::string_view relative) {
    std::wstring rel = toWide(relative);
    for (wchar_t& c : rel) {
        if (c == L'/') c = L'\\';
    }
    return joinPath(folder, rel);
}
