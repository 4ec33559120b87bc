// Local paths (UTF-16, '\' separated) and the launcher's own location.
#pragma once

#include <string>
#include <string_view>

// The form handed to every file call: drive paths of 240 units or more get the extended
// prefix so that they may pass the classic length limit; all others are unchanged.
std::wstring extendedPath(const std::wstring& path);

// dir, one backslash, then rel without its leading separators.
std::wstring joinPath(const std::wstring& dir, const std::wstring& rel);

// Backslashes only, runs of separators shrunk to one (a leading pair is kept), no trailing
// separator except a drive root's.
std::wstring normalisePath(const std::wstring& path);

// A path of the manifest's kind ('/' separated, UTF-8), such as a game executable, under a folder.
std::wstring joinGamePath(const std::wstring& folder, std::string_view relative);

// The text after the last '\\' or '/': the file's name; all of the path when it has neither.
inline std::wstring_view fileNameOf(std::wstring_view path) {
    const std::size_t sep = path.find_last_of(L"\\/");
    return sep == std::wstring_view::npos ? path : path.substr(sep + 1);
}
inline std::string_view fileNameOf(std::string_view path) {
    const std::size_t sep = path.find_last_of("\\/");
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

// The folder a path lies in: "." when it has none, a drive root with its backslash.
std::wstring parentFolder(const std::wstring& path);
// Where a file's new bytes gather before they become the file: its name plus ".part".
std::wstring partPathOf(const std::wstring& target);

// Whether two paths name the same place, ignoring case; only b is expanded to its long form.
bool samePath(const std::wstring& a, const std::wstring& b);

// The running launcher's full path, without an extended prefix; empty when unknown.
std::wstring exePath();
// exePath in its long form (no 8.3 short names).
std::wstring launcherPath();
// Whether path names the running launcher's executable (samePath with launcherPath, skipped
// for names that cannot be the launcher's).
bool isLauncherPath(const std::wstring& path);
