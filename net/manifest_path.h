// Manifest paths: which ones are safe to write on Windows, how the file system tells them
// apart, where they lie in the game folder and where they are downloaded from.
#pragma once

#include "store/file_error.h"

#include <cstdint>
#include <string>
#include <string_view>

// A plain failure "unsafe path in manifest: " + path when the path could name anything but a
// file of the game's inside the game folder on Windows (a device, a folder above, a stream, a
// name Windows would change or refuse, an 8.3 short name, text that is not UTF-8, the
// launcher's own files); success otherwise. Bytes that are not UTF-8 are shown as "\xHH".
FileError checkManifestPath(std::string_view path);

// The name Windows opens for a manifest path, as a key: separators unified and collapsed,
// leading ones dropped, letter case folded as the file system folds it.
std::u16string pathIdentity(std::string_view path);

// The local path of a manifest path inside the game folder, after checkManifestPath.
FileError resolveManifestPath(const std::wstring& gameDir, std::string_view path, std::wstring& out);

// baseUrl followed by the path with every piece between slashes percent-encoded.
std::string fileUrl(std::string_view baseUrl, std::string_view path);

// A relative path ("store/", "../store/") taken from base, a URL ending in '/': each leading
// "../" goes up one folder of base's path, never above its root.
std::string resolveRelativeUrl(std::string_view base, std::string_view relative);

// The URL with "t=" and the time appended as a query, so no cache answers for the server.
std::string cacheBustingUrl(std::string_view url, std::int64_t unixSeconds);
