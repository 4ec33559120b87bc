#include "net/manifest_path.h"

#include "store/paths.h"

FileError resolveManifestPath(const std::wstring& gameDir, std::string_view path, std::wstring& out) {
    if (FileError e = checkManifestPath(path); e.failed) return e;
    out = normalisePath(joinGamePath(gameDir, path));
    return {};
}
