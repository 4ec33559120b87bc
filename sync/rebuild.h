// A changed chunked file rebuilt from the player's old copy: every chunk of the new version
// that the old one holds, at any offset (data inserted, removed or moved), is copied from it;
// only the rest is fetched. The new version grows in "<file>.part" beside the old one, which
// stays whole until the new one replaces it, so an interruption loses neither.
#pragma once

#include "net/manifest.h"
#include "store/file_error.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// What a scan of the old copy found.
struct OldCopyScan {
    std::vector<std::size_t> missing; // chunks the old copy does not hold, ascending
    bool allInPlace = true;           // every chunk found stood at its own offset
};

// Writes into part (open for reading and writing, at the new size) every chunk of needed that
// old holds anywhere, each checked by its SHA-256 before it is written. old is read once, in
// order; the rolling checksum decides where the SHA-256 is worth computing. When mayMend (old is
// open without write sharing and could be mended in place), chunks found in place are written
// only once a chunk is found out of place: an old copy changed in place costs no write at all. A write
// failure is returned; a read failure only leaves the rest missing.
FileError scanOldCopy(HANDLE old, std::int64_t oldSize, HANDLE part, const std::wstring& partPath,
                      const Manifest& manifest, const ManifestFile& file,
                      const std::vector<std::size_t>& needed, bool mayMend, OldCopyScan& scan);
