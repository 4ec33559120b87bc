// Patches from earlier builds: for every file that changed since a previous build, the new
// bytes as a binary patch from that build's version, published in the store as
// d/<old sha256>-<new sha256> and listed beside the manifest patch from that build, when it
// costs a player of that build less than the chunks it would fetch otherwise.
#pragma once

#include "net/chunk_store.h"
#include "net/manifest.h"
#include "store/file_error.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

class StoreWriter;
struct PatchReport;

struct PreviousBuild {
    std::filesystem::path manifest, folder;
    std::map<std::string, ManifestFile, std::less<>> files; // by path
    std::set<std::string> digests;                          // of every file it holds
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

// Beside the manifest file: a patch from each previous manifest's bytes to these, in
// "<manifest>.d/<old sha256>-<new sha256>" (when smaller than the manifest compressed, or when
// that build's players have file patches), its patch list gzipped in the same name + ".patches",
// and then "<manifest>.sha256", the digest of these bytes, which launchers ask for first.
FileError writeManifestPatches(const std::filesystem::path& manifest, const std::string& bytes,
                               const std::vector<PatchReport>& previous);
