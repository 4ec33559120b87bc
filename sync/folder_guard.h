// Folders where the launcher never deletes what it does not know.
#pragma once

#include <string>

// A drive root, a share root, or a folder that is or holds a user's profile or one of the
// known folders of a user's own files, compared after both are resolved through links:
// pruning there could delete the player's own files.
bool isProtectedFolder(const std::wstring& folder);
