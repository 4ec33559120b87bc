// Where the game's files live: found from the launcher's own location, and an older install
// moved into the names the manifest uses now.
#pragma once

#include "net/manifest.h"
#include "store/state.h"

#include <string>
#include <string_view>

// A folder holding a game executable or one of the launcher's state files.
bool isGameFolder(const std::wstring& dir);

// The launcher's own folder when it is a game folder or holds nothing but the launcher;
// else its subfolder "Vellumark". Never fails; the folder is not created here.
std::wstring resolveGameFolder(const std::wstring& exePath);

// "Game.exe" gives "Game"; a name with a folder part or without ".exe" gives nothing.
std::string exeStem(std::string_view name);

// Moves an older install (another executable name and its "<stem>_Data" folder) into the
// manifest's names and carries its verified records over. Skips whatever fails: the file
// check afterwards downloads what is still missing.
void migrateLegacyInstall(const std::wstring& gameDir, const Manifest& manifest, InstallState& state);
