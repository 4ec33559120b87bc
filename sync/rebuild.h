// A changed chunked file rebuilt from the player's old copy: every chunk of the new version
// that the old one holds, at any offset (data inserted, removed or moved), is copied from it;
// only the rest is fetched. The new version grows in "<file>.part" beside the old one, which
// stays whole until the new one replaces it, so an interruption loses neither.
#pragma once

#include "net/manifest.h"
#include "store/file_error.h"
#include "sync/chunk_scan.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// scanForChunks over the old copy old into part (open for reading and writing, at the new
// size), each chunk checked by its SHA-256. mayMend when old is open without write sharing and
// could be mended in place.
FileError scanOldCopy(HANDLE old, std::int64_t oldSize, HANDLE part, const std::wstring& partPath,
                      const Manifest& manifest, const ManifestFile& file,
                      const std::vector<std::size_t>& needed, bool mayMend, OldCopyScan& scan);
