#include "sync/game_folder.h"

#include "base/log.h"
#include "store/ascii.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/text.h"

#include <windows.h>

#include <set>

namespace {

constexpr const wchar_t* subfolderName = L"Vellumark";

bool exists(const std::wstring& path) {
    return fileInfo(path);
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
        if (moveReplacing(from, to) == 0) ++moved;
    }
    return moved;
}

void migrateFrom(const std::wstring& gameDir, const Manifest& manifest, InstallState& state,
                 const std::string& oldExe, const std::string& newStem) {
    const std::string oldData = exeStem(oldExe) + std::string(dataSuffix);
    const std::string newData = newStem + std::string(dataSuffix);
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
        moveReplacing(from, to) == 0) {
        appendLog("renamed " + oldExe + " to " + manifest.exe);
    }

    carryRecords(state, oldExe, manifest.exe, oldData, newData);
}

} // namespace

bool isGameFolder(const std::wstring& dir) {
    for (const std::string_view exe : gameExeNames) {
        if (exists(joinGamePath(dir, exe))) return true;
    }
    return exists(joinPath(dir, stateFileName)) || exists(joinPath(dir, journalFileName));
}

std::wstring resolveGameFolder(const std::wstring& exePath) {
    const std::wstring folder = parentFolder(exePath);
    if (isGameFolder(folder)) return folder;
    const std::wstring subfolder =
        folder.empty() ? std::wstring(subfolderName) : joinPath(folder, subfolderName);
    if (isGameFolder(subfolder)) return subfolder;

    std::vector<DirEntry> entries;
    if (!listDirectory(folder, entries)) return folder;
    const std::wstring name(fileNameOf(exePath));
    for (const DirEntry& e : entries) {
        // Anything but the launcher, its leftover and the subfolder means the launcher sits
        // among other files, and the game gets a folder of its own.
        if (e.name != name && e.name != name + L".old" && e.name != subfolderName) return subfolder;
    }
    return folder;
}

void migrateLegacyInstall(const std::wstring& gameDir, const Manifest& manifest, InstallState& state) {
    const std::string newStem = exeStem(manifest.exe);
    if (newStem.empty()) return;
    std::set<std::string> listed;
    for (const ManifestFile& f : manifest.files)
        listed.insert(f.path);

    std::vector<std::string> oldNames;
    if (!state.exe.empty()) oldNames.push_back(state.exe);
    if (!equalsFoldingAscii(state.exe, builtInOldExe)) oldNames.emplace_back(builtInOldExe);

    for (const std::string& oldExe : oldNames) {
        const std::string oldStem = exeStem(oldExe);
        // The game may still ship the old name, or the old name may be the new one.
        if (oldStem.empty() || equalsFoldingAscii(oldStem, newStem) || listed.contains(oldExe)) continue;
        migrateFrom(gameDir, manifest, state, oldExe, newStem);
    }
}
