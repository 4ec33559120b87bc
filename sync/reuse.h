// Files taken from the player's own disk instead of the network: a file the folder holds
// under another name, whose digest is the new file's, is copied and checked while copied.
#pragma once

#include "sync/download.h"
#include "sync/plan.h"

#include <set>
#include <string>
#include <vector>

// Copies a file the folder holds (source, a local path) into the target's part file while
// hashing it; the part file stays only when its digest and size are the file's.
FileError copyHeldFile(const std::wstring& folder, const ManifestFile& file, const std::wstring& source,
                       WriteFolders& folders, TransferBuffer& buffer, std::wstring& target);

// Runs every reuse and returns the files it put in place. Every copy is made before any is
// moved into place, so two files that swap names each get the other's old bytes; a reuse that
// fails leaves its file to the network.
std::set<const ManifestFile*> reuseHeldFiles(const std::wstring& folder,
                                             const std::vector<LocalReuse>& reuses, RetryPause pause);
