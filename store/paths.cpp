// The path operations that are pure text, so they build and are tested natively too.
#include "store/paths.h"

namespace {

constexpr std::size_t extendedThreshold = 240;

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

} // namespace

std::wstring extendedPath(const std::wstring& path) {
    const bool driveAbsolute = path.size() >= 3 && path[1] == L':' && isSeparator(path[2]);
    if (path.size() < extendedThreshold || path.rfind(LR"(\\?\)", 0) == 0 || !driveAbsolute) return path;
    std::wstring out = LR"(\\?\)" + path;
    for (wchar_t& c : out) {
        if (c == L'/') c = L'\\';
    }
    return out;
}

std::wstring joinPath(const std::wstring& dir, const std::wstring& rel) {
    if (dir.empty()) return rel;
    if (rel.empty()) return dir;
    std::wstring out = dir;
    if (!isSeparator(out.back())) out += L'\\';
    const std::size_t start = rel.find_first_not_of(L"\\/");
    if (start != std::wstring::npos) out.append(rel, start);
    return out;
}

std::wstring partPathOf(const std::wstring& target) {
    return target + L".part";
}

std::wstring parentFolder(const std::wstring& path) {
    const std::size_t sep = path.find_last_of(L"\\/");
    if (sep == std::wstring::npos) return L".";
    if (sep == 2 && path[1] == L':') return path.substr(0, 3);
    if (sep == 0) return path.substr(0, 1);
    return path.substr(0, sep);
}

std::wstring normalisePath(const std::wstring& path) {
    std::wstring out;
    out.reserve(path.size());
    for (wchar_t c : path) {
        if (c == L'/') c = L'\\';
        // The first two characters always stay, so a leading pair of a network or extended
        // path survives.
        if (c == L'\\' && out.size() >= 2 && out.back() == L'\\') continue;
        out += c;
    }
    while (out.size() > 3 && out.back() == L'\\')
        out.pop_back();
    return out;
}
