// Manifest paths: which ones are safe to write on Windows, and their download URLs.
#include "net/manifest_path.h"

#include "store/unicode_case.h"
#include "store/utf8.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The superscript digits one, two and three, which Windows takes for 1, 2 and 3 in COM and
// LPT device names.
bool isDeviceDigit(std::string_view text) {
    return (text.size() == 1 && text[0] >= '1' && text[0] <= '9') || text == "\xC2\xB9" ||
           text == "\xC2\xB2" || text == "\xC2\xB3";
}

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9 and LPT1-9 (and with the superscript digits) name
// devices, alone, with any extension, and with spaces before the extension.
bool isDeviceName(std::string_view component) {
    std::string_view stem = component.substr(0, component.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    std::string upper;
    for (char c : stem)
        upper += upperAscii(c);
    static constexpr std::array<std::string_view, 6> plain = {"CON", "PRN",    "AUX",
                                                              "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view name : plain) {
        if (upper == name) return true;
    }
    return upper.size() >= 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           isDeviceDigit(std::string_view(upper).substr(3));
}

// The 8.3 form Windows gives long names ("PROGRA~1", "LAUNCH~1.JSO"): such a component may
// open another file through its short name, the launcher's own state file among them.
bool isShortNameForm(std::string_view component) {
    const std::size_t tilde = component.find('~');
    if (tilde == 0 || tilde > 6 || component.substr(0, tilde).find('.') != std::string_view::npos)
        return false;
    const std::size_t dot = component.find('.', tilde);
    const std::string_view digits =
        component.substr(tilde + 1, dot == std::string_view::npos ? dot : dot - tilde - 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return false;
    return dot == std::string_view::npos || component.size() - dot - 1 <= 3;
}

// The path with every byte that is not part of well-formed UTF-8 written as "\xHH"; valid
// tells whether there was none. Two spellings of one bad byte could otherwise decode to one
// name here and to another in the file system.
std::string escapeBadUtf8(std::string_view path, bool& valid) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    valid = true;
    for (std::size_t i = 0; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        const std::size_t length = c < 0x80 ? 1 : utf8SequenceLength(path, i);
        if (length > 0) {
            out.append(path.substr(i, length));
            i += length;
            continue;
        }
        valid = false;
        out += "\\x";
        out += hex[c >> 4];
        out += hex[c & 0xF];
        ++i;
    }
    return out;
}

// UTF-16 units of a UTF-8 text, as Windows counts a name's length.
std::size_t utf16Length(std::string_view text) {
    return utf16Of(text).size();
}

bool isUnsafeComponent(std::string_view component) {
    if (component.empty()) return false; // a doubled separator: Windows collapses it
    for (const char ch : component) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || std::string_view("<>\"|?*").find(ch) != std::string_view::npos)
            return true;
    }
    // Windows drops a trailing dot or space, so "a." and "a" would name one file.
    if (component.back() == '.' || component.back() == ' ') return true;
    return utf16Length(component) > 255 || isDeviceName(component) || isShortNameForm(component);
}

bool hasUnsafeComponent(std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        if (isUnsafeComponent(path.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

// The launcher's own files in the game folder, and the temporary names they are written under.
bool isLaunchersOwnFile(std::string_view path) {
    static const std::u16string own[] = {
        pathIdentity(".launcher-state.json"),     pathIdentity(".launcher-downloading.json"),
        pathIdentity(".launcher-state.json.tmp"), pathIdentity(".launcher-downloading.json.tmp"),
        pathIdentity(".launcher-shared"),         pathIdentity(".launcher-shared.tmp"),
        pathIdentity(".launcher-manifest"),       pathIdentity(".launcher-manifest.tmp"),
    };
    static const std::u16string folders[] = {pathIdentity(".launcher-patches"),
                                             pathIdentity(".launcher-chunks")};
    const std::u16string key = pathIdentity(path);
    return std::find(std::begin(own), std::end(own), key) != std::end(own) ||
           std::any_of(std::begin(folders), std::end(folders),
                       [&](const std::u16string& f) { return key == f || key.starts_with(f + u'/'); });
}

} // namespace

std::u16string pathIdentity(std::string_view path) {
    std::u16string key;
    for (char16_t c : utf16Of(path)) {
        if (c == u'\\') c = u'/';
        if (c == u'/' && (key.empty() || key.back() == u'/')) continue;
        key += upcaseUnit(c);
    }
    return key;
}

FileError checkManifestPath(std::string_view path) {
    const bool unsafe = path.empty()                                               // the folder itself
                        || path.find_first_not_of("/\\") == std::string_view::npos // separators only
                        || path.find(':') != std::string_view::npos                // drives, data streams
                        || (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) // network
                        || path.find("..") != std::string_view::npos // parent folders
                        || path[0] == '/' || hasUnsafeComponent(path) || isLaunchersOwnFile(path);
    bool valid = true;
    const std::string shown = escapeBadUtf8(path, valid);
    if (unsafe || !valid) return plainFailure("unsafe path in manifest: " + shown);
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

std::string resolveRelativeUrl(std::string_view base, std::string_view relative) {
    std::string out(base);
    // The path starts after "scheme://authority".
    const std::size_t scheme = out.find("://");
    const std::size_t root = out.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    for (;;) {
        if (relative.starts_with("./")) {
            relative.remove_prefix(2);
        } else if (relative.starts_with("../")) {
            relative.remove_prefix(3);
            if (root != std::string::npos && out.size() > root + 1) {
                out.pop_back(); // the '/' that ends the folder
                out.resize(out.rfind('/') + 1);
            }
        } else {
            break;
        }
    }
    return out + std::string(relative);
}
