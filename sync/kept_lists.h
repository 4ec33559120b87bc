// The chunk lists of the files the launcher made from the store, kept in the game folder as
// their indexes came ("<folder>/.launcher-chunks/<sha256>"): at the next update, an old copy
// whose record still vouches for it (same size and write time) is a seed by its list, without
// being read and cut. A list is only a lead: every file made from seeds is checked whole, and
// a wrong list costs fetches, never a wrong file.
#pragma once

#include "store/cdc.h"
#include "sync/seeds.h"

#include <set>
#include <string>
#include <string_view>

// Keeps the index of the file with digest sha; a list that cannot be written is left out.
void keepChunkList(const std::wstring& folder, const std::string& sha, std::string_view packedIndex);

// Notes in seeds the chunks of file (holding sha, size bytes) by its kept list; false when
// there is none that fits, and the file must be cut.
bool seedFromKeptList(ChunkSeeds& seeds, const std::wstring& folder, const std::wstring& file,
                      const std::string& sha, std::int64_t size, const Chunking& chunking);

// Removes every kept list but those of the digests the install holds.
void pruneKeptLists(const std::wstring& folder, const std::set<std::string>& held);
