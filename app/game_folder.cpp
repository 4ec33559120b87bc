#include "app/game_folder.h"

#include "app/log.h"
#include "store/ascii.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/text.h"

#include <windows.h>

#include <set>

namespace {

constexpr const wchar_t* subfolderName = L"Vellumark";
constexpr const char* dataSuffix = "_Data";
constexpr const char* builtInOldExe = "Vellumark.exe";

bool exists(const std::wstring& path) {
    return fileInfo(path);
}

bool moveReplacing(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(extendedPath(from).c_str(), extendedPath(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// Moves the files the manifest expects under newData from oldData, where they are missing.
int moveDataFiles(const std::wstring& gameDir, const Manifest& manifest, const std::string& oldData,
                  const std::string& newData) {
    int moved = 0;
    const std::string prefix = newData + "/";
    for (const ManifestFile& f : manifest.files) {
        if (!startsWithFoldingAscii(f.path, prefix)) continue;
        const std::string oldRelative = oldData + f.path.substr(newData.size());
        std::wstring from, to;
        if (resolveManifestPath(gameDir, oldRelative, from).failed) continue;
        if (resolveManifestPath(gameDir, f.path, to).failed) continue;
        if (exists(to) || !exists(from)) continue;
        std::wstring failed;
        if (makeDirs(parentFolder(to), failed) != 0) continue;
        if (moveReplacing(from, to)) ++moved;
    }
    return moved;
}

// Records under the old names are copied to the new ones, unless the new name has its own.
void carryRecords(InstallState& state, const std::string& oldExe, const std::string& newExe,
                  const std::string& oldData, const std::string& newData) {
    std::map<std::string, InstallRecord> carried;
    const std::string oldPrefix = oldData + "/";
    for (const auto& [key, record] : state.files) {
        std::string newKey;
        if (equalsFoldingAscii(key, oldExe)) {
            newKey = newExe;
        } else if (startsWithFoldingAscii(key, oldPrefix)) {
            newKey = newData + key.substr(oldData.size());
        } else {
            continue;
        }
        if (!state.files.contains(newKey)) carried.emplace(newKey, record);
    }
    state.files.insert(carried.begin(), carried.end());
}

void migrateFrom(const std::wstring& gameDir, const Manifest& manifest, InstallState& state,
                 const std::string& oldExe, const std::string& newStem) {
    const std::string oldData = exeStem(oldExe) + dataSuffix;
    const std::string newData = newStem + dataSuffix;
    const std::wstring oldDataPath = joinPath(gameDir, toWide(oldData));
    const std::wstring newDataPath = joinPath(gameDir, toWide(newData));

    bool oldIsDir = false;
    if (fileInfo(oldDataPath, nullptr, nullptr, &oldIsDir) && oldIsDir) {
        const bool movedWhole = !exists(newDataPath) && MoveFileExW(extendedPath(oldDataPath).c_str(),
                                                                    extendedPath(newDataPath).c_str(), 0);
        if (movedWhole) {
            appendLog("moved " + oldData + " to " + newData);
        } else if (const int count = moveDataFiles(gameDir, manifest, oldData, newData); count > 0) {
            appendLog("moved " + std::to_string(count) + " files from " + oldData + " to " + newData);
        }
    }

    std::wstring from, to;
    if (!resolveManifestPath(gameDir, oldExe, from).failed &&
        !resolveManifestPath(gameDir, manifest.exe, to).failed && exists(from) && !exists(to) &&
        moveReplacing(from, to)) {
        appendLog("renamed " + oldExe + " to " + manifest.exe);
    }

    carryRecords(state, oldExe, manifest.exe, oldData, newData);
}

} // namespace

bool isGameFolder(const std::wstring& dir) {
    for (const wchar_t* marker :
         {L"Vellumark Online.exe", L"Vellumark.exe", stateFileName, journalFileName}) {
        if (exists(joinPath(dir, marker))) return true;
    }
    return false;
}

std::wstring resolveGameFolder(const std::wstring& exePath) {
    const std::wstring folder = parentFolder(exePath);
    if (isGameFolder(folder)) return folder;
    const std::wstring subfolder =
        folder.empty() ? std::wstring(subfolderName) : joinPath(folder, subfolderName);
    if (isGameFolder(subfolder)) return subfolder;

    std::vector<DirEntry> entries;
    if (!listDirectory(folder, entries)) return folder;
    const std::size_t sep = exePath.find_last_of(L"\\/");
    const std::wstring name = sep == std::wstring::npos ? exePath : exePath.substr(sep + 1);
    for (const DirEntry& e : entries) {
        // Anything but the launcher, its leftover and the subfolder means the launcher sits
        // among other files, and the game gets a folder of its own.
        if (e.name != name && e.name != name + L".old" && e.name != subfolderName) return subfolder;
    }
    return folder;
}

std::string exeStem(std::string_view name) {
    if (name.size() <= 4 || name.find_first_of("/\\") != std::string_view::npos) return {};
    if (!equalsFoldingAscii(name.substr(name.size() - 4), ".exe")) return {};
    return std::string(name.substr(0, name.size() - 4));
}

void migrateLegacyInstall(const std::wstring& gameDir, const Manifest& manifest, InstallState& state) {
    const std::string newStem = exeStem(manifest.exe);
    if (newStem.empty()) return;
    std::set<std::string> listed;
    for (const ManifestFile& f : manifest.files)
        listed.insert(f.path);

    std::vector<std::string> oldNames;
    if (!state.exe.empty()) oldNames.push_back(state.exe);
    if (!equalsFoldingAscii(state.exe, builtInOldExe)) oldNames.push_back(builtInOldExe);

    for (const std::string& oldExe : oldNames) {
        const std::string oldStem = exeStem(oldExe);
        // The game may still ship the old name, or the old name may be the new one.
        if (oldStem.empty() || equalsFoldingAscii(oldStem, newStem) || listed.contains(oldExe)) continue;
        migrateFrom(gameDir, manifest, state, oldExe, newStem);
    }
}
