// Where the game's files live: found from the launcher's own location, and an older install
// moved into the names the manifest uses now.
#pragma once

#include "net/manifest.h"
#include "sync/state.h"

#include <string>
#include <string_view>

// The game's executable names, newest first: the launcher looks for them, and an install
// under the older name is moved into the manifest's.
inline constexpr std::string_view gameExeNames[] = {"Vellumark Online.exe", "Vellumark.exe"};
inline constexpr std::string_view builtInOldExe = gameExeNames[1];
inline constexpr std::string_view dataSuffix = "_Data";

// A folder holding a game executable or one of the launcher's state files.
bool isGameFolder(const std::wstring& dir);

// The launcher's own folder when it is a game folder or holds nothing but the launcher;
// else its subfolder "Vellumark". Never fails; the folder is not created here.
std::wstring resolveGameFolder(const std::wstring& exePath);

// "Game.exe" gives "Game"; a name with a folder part or without ".exe" gives nothing.
std::string exeStem(std::string_view name);

// Records under the old names (the executable and what lies below the old data folder) are
// copied to the new ones, unless the new name has its own.
void carryRecords(InstallState& state, const std::string& oldExe, const std::string& newExe,
                  const std::string& oldData, const std::string& newData);

// Moves an older install (another executable name and its "<stem>_Data" folder) into the
// manifest's names and carries its verified records over. Skips whatever fails: the file
// check afterwards downloads what is still missing.
void migrateLegacyInstall(const std::wstring& gameDir, const Manifest& manifest, InstallState& state);
