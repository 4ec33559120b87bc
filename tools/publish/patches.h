// Patches from earlier builds: for every file that changed since a previous build, the new
// bytes as a binary patch from that build's version, published in the store as
// d/<old sha256>-<new sha256> and listed in the file's entry, when it costs a player of that
// build less than the chunks it would fetch otherwise.
#pragma once

#include "net/chunk_store.h"
#include "net/manifest.h"
#include "store/file_error.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

class StoreWriter;

struct PreviousBuild {
    std::filesystem::path manifest, folder;
    std::map<std::string, ManifestFile, std::less<>> files; // by path
    // What its players fetch of the files that differ: with patches, and with chunks alone.
    std::atomic<std::int64_t> withPatches{0}, chunksAlone{0}, patches{0};
};

// Reads a previous build's manifest; its files are read from folder as patches need them.
FileError loadPreviousBuild(const std::filesystem::path& manifest, const std::filesystem::path& folder,
                            PreviousBuild& build);

// For one file of the new build, just stored as chunks (in file order, with their stored
// lengths): a patch from each previous build whose version differs, published and listed in
// file.patches when it is smaller than the chunks that player would fetch. A previous file whose
// bytes are not its manifest's fails: the patch would lead from a version no player holds.
FileError publishPatches(std::vector<PreviousBuild>& previous, const std::filesystem::path& newFile,
                         ManifestFile& file, const std::vector<StoredChunk>& chunks, StoreWriter& store,
                         int lane);
