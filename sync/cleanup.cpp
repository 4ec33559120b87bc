// Housekeeping of the game folder: what an interrupted download left, and unknown files.
#include "app/log.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/state.h"
#include "store/text.h"
#include "sync/sync.h"

#include <knownfolders.h>
#include <shlobj.h>

namespace {

std::wstring lowerName(const std::wstring& path) {
    const std::size_t sep = path.find_last_of(L"\\/");
    std::wstring name = sep == std::wstring::npos ? path : path.substr(sep + 1);
    if (!name.empty()) CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

bool isProtectedName(const std::wstring& path) {
    const std::wstring name = lowerName(path);
    return name == stateFileName || name == journalFileName || name.ends_with(L".part") ||
           name.ends_with(L".old");
}

std::wstring knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path) out = path;
    CoTaskMemFree(path);
    return out;
}

// Whether inner is outer or lies below it, ignoring case.
bool isWithin(const std::wstring& inner, const std::wstring& outer) {
    if (inner.empty() || outer.empty() || inner.size() < outer.size()) return false;
    const int n = static_cast<int>(outer.size());
    if (CompareStringOrdinal(inner.c_str(), n, outer.c_str(), n, TRUE) != CSTR_EQUAL) return false;
    return inner.size() == outer.size() || inner[outer.size()] == L'\\' || outer.back() == L'\\';
}

} // namespace

void listTree(const std::wstring& root, std::vector<std::wstring>* files, std::vector<std::wstring>* dirs) {
    std::vector<DirEntry> entries;
    if (!listDirectory(root, entries)) return;
    for (const DirEntry& e : entries) {
        const std::wstring path = joinPath(root, e.name);
        if (e.isDir) {
            if (dirs) dirs->push_back(path);
            listTree(path, files, dirs);
        } else if (files) {
            files->push_back(path);
        }
    }
}

void removeEmptyDirectories(const std::wstring& root) {
    std::vector<std::wstring> dirs;
    listTree(root, nullptr, &dirs);
    // Children come after their parents in the listing, so the walk back removes them first.
    for (auto it = dirs.rbegin(); it != dirs.rend(); ++it)
        removePath(*it);
}

void discardInterruptedDownloads(const std::wstring& folder) {
    const std::wstring root = normalisePath(folder);
    const std::wstring journal = joinPath(root, journalFileName);
    std::string text;
    // No journal: the last download phase ended in order, and nothing here is debris.
    if (!readWholeFile(journal, text)) return;
    for (const std::string& path : parseJournal(text)) {
        std::wstring local;
        if (!resolveManifestPath(root, path, local).failed && !isLauncherPath(local)) removePath(local);
    }
    std::vector<std::wstring> files;
    listTree(root, &files, nullptr);
    for (const std::wstring& f : files) {
        if (lowerName(f).ends_with(L".part")) removePath(f);
    }
    removePath(journal);
    removeEmptyDirectories(root);
}

bool isProtectedFolder(const std::wstring& folder) {
    const std::wstring f = normalisePath(folder);
    if (f.size() <= 3 && f.size() >= 2 && f[1] == L':') return true; // a drive root
    // A network share's root: \\server\share.
    if (f.rfind(LR"(\\)", 0) == 0 && f.find(L'\\', f.find(L'\\', 2) + 1) == std::wstring::npos) return true;
    static const KNOWNFOLDERID* const ids[] = {
        &FOLDERID_Profile,      &FOLDERID_Desktop,       &FOLDERID_Documents,
        &FOLDERID_Downloads,    &FOLDERID_ProgramFiles,  &FOLDERID_ProgramFilesX86,
        &FOLDERID_Windows,      &FOLDERID_PublicDesktop, &FOLDERID_PublicDocuments,
        &FOLDERID_UserProfiles, &FOLDERID_LocalAppData,  &FOLDERID_RoamingAppData,
    };
    for (const KNOWNFOLDERID* id : ids) {
        const std::wstring known = normalisePath(knownFolder(*id));
        if (isWithin(known, f)) return true; // the game folder is or holds it
    }
    return false;
}

void pruneUnknownFiles(const std::wstring& folder, const std::set<std::string>& manifestPaths) {
    if (isProtectedFolder(folder)) {
        appendLog("prune skipped: " + toUtf8(folder));
        return;
    }
    std::vector<std::wstring> files;
    listTree(folder, &files, nullptr);
    const std::size_t prefix = folder.size() + (!folder.empty() && folder.back() == L'\\' ? 0 : 1);
    for (const std::wstring& f : files) {
        if (f.size() <= prefix) continue;
        std::wstring rel = f.substr(prefix);
        for (wchar_t& c : rel) {
            if (c == L'\\') c = L'/';
        }
        if (manifestPaths.contains(toUtf8(rel)) || isLauncherPath(f) || isProtectedName(f)) continue;
        removePath(f);
    }
    removeEmptyDirectories(folder);
}
