#include "store/files.h"
#include "store/paths.h"
#include "sync/state.h"

InstallState loadInstallState(const std::wstring& gameDir) {
    std::string document;
    if (!readWholeFile(joinPath(gameDir, stateFileName), document)) return {};
    return parseInstallState(document);
}

std::vector<std::string> loadJournal(const std::wstring& gameDir, bool* found) {
    const std::wstring path = joinPath(gameDir, journalFileName);
    if (found) *found = fileInfo(path);
    std::string document;
    if (!readWholeFile(path, document)) return {};
    return parseJournal(document);
}

FileError writeJournal(const std::wstring& gameDir, const std::set<std::string>& paths) {
    return replaceFileDurably(joinPath(gameDir, journalFileName), serializeJournal(paths));
}

ManifestCopy loadManifestCopy(const std::wstring& gameDir) {
    std::string document;
    ManifestCopy copy;
    if (readWholeFile(joinPath(gameDir, manifestCopyName), document)) parseManifestCopy(document, copy);
    return copy;
}

FileError keepManifestCopy(const std::wstring& gameDir, const ManifestCopy& copy) {
    bool isDir = false;
    if (copy.body.empty() || !fileInfo(gameDir, nullptr, nullptr, &isDir) || !isDir ||
        loadManifestCopy(gameDir) == copy)
        return {};
    return replaceFileDurably(joinPath(gameDir, manifestCopyName), serializeManifestCopy(copy));
}
