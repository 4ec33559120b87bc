// Manifest paths: which ones are safe to write on Windows, and their download URLs.
#include "net/manifest.h"

#include <array>

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices, alone or with any extension.
bool isDeviceName(std::string_view component) {
    const std::string_view stem = component.substr(0, component.find('.'));
    std::string upper;
    for (char c : stem)
        upper += upperAscii(c);
    static constexpr std::array<std::string_view, 4> plain = {"CON", "PRN", "AUX", "NUL"};
    for (std::string_view name : plain) {
        if (upper == name) return true;
    }
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' &&
           upper[3] <= '9';
}

bool hasUnsafeComponent(std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        const std::string_view component = path.substr(start, end - start);
        // Windows drops a trailing dot or space, so "a." and "a" would name one file.
        if (!component.empty() && (component.back() == '.' || component.back() == ' ')) return true;
        if (!component.empty() && isDeviceName(component)) return true;
        start = end + 1;
    }
    return false;
}

} // namespace

FileError checkManifestPath(std::string_view path) {
    const bool unsafe = path.empty()                                // the folder itself
                        || path.find(':') != std::string_view::npos // drives, data streams
                        || (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) // network
                        || path.find("..") != std::string_view::npos // parent folders
                        || path[0] == '/' || hasUnsafeComponent(path);
    if (unsafe) return plainFailure("unsafe path in manifest: " + std::string(path));
    return {};
}

std::string fileUrl(std::string_view baseUrl, std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string url(baseUrl);
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          std::string_view("-._~$&+:=@/").find(ch) != std::string_view::npos;
        if (keep) {
            url += ch; // '/' separates the pieces and stays as it is
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0xF];
        }
    }
    return url;
}

std::string cacheBustingUrl(std::string_view url, std::int64_t unixSeconds) {
    std::string out(url);
    out += url.find('?') == std::string_view::npos ? '?' : '&';
    return out + "t=" + std::to_string(unixSeconds);
}
