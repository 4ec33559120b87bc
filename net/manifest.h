// The manifest: the server's list of every game file, and the operations every download uses.
#pragma once

#include "store/file_error.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ManifestFile {
    std::string path; // relative to the game folder, '/' separated
    std::int64_t size = 0;
    std::string sha256;
    std::vector<std::string> chunks; // chunk i covers the bytes from i * chunkSize
};

struct Manifest {
    std::string version;
    std::string baseUrl; // always ends in '/'
    std::string exe;
    std::int64_t chunkSize = 0;
    std::vector<ManifestFile> files;
};

// The largest manifest body, file and chunk the launcher accepts.
inline constexpr std::int64_t maxManifestBytes = std::int64_t{64} << 20;
inline constexpr std::int64_t maxFileSize = std::int64_t{1} << 50;
inline constexpr std::int64_t maxChunkSize = std::int64_t{64} << 20;

// Parses and validates a manifest body; on failure `manifest` is left untouched.
FileError parseManifest(std::string_view body, Manifest& manifest);

// Fetches the manifest with a cache-busting query, then parses and validates it.
FileError fetchManifest(const std::string& url, Manifest& manifest);

// The URL with "t=" and the time appended as a query, so no cache answers for the server.
std::string cacheBustingUrl(std::string_view url, std::int64_t unixSeconds);

// A plain failure "unsafe path in manifest: " + path when the path could name anything but a
// file of the game's inside the game folder on Windows (a device, a folder above, a stream, a
// name Windows would change or refuse, the launcher's own state files); success otherwise.
FileError checkManifestPath(std::string_view path);

// The name Windows opens for a manifest path, as a key: separators unified and collapsed,
// leading ones dropped, letter case folded as the file system folds it.
std::u16string pathIdentity(std::string_view path);

// The local path of a manifest path inside the game folder, after checkManifestPath.
FileError resolveManifestPath(const std::wstring& gameDir, std::string_view path, std::wstring& out);

// baseUrl followed by the path with every piece between slashes percent-encoded.
std::string fileUrl(std::string_view baseUrl, std::string_view path);
