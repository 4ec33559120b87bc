// The manifest: the server's list of every game file, read, checked and written.
#pragma once

#include "net/manifest_path.h"
#include "net/signature.h"
#include "store/cdc.h"
#include "store/file_error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ManifestFile {
    std::string path; // relative to the game folder, '/' separated
    std::int64_t size = 0;
    std::string sha256;
    std::vector<std::string> chunks; // chunk i covers the bytes from i * chunkSize
    // The rolling checksum of each chunk, which finds it at any offset of the player's old copy;
    // empty when the manifest has none (or a malformed list, which only costs the reuse).
    std::vector<std::uint64_t> rolling = {};
    // In the chunk store, several chunks listed by the index object named by sha256; else the
    // file is one chunk, the store's object named by sha256.
    bool indexed = false;
    // The digests of earlier versions of the file that the store holds a patch from, each
    // d/<that digest>-<sha256>; at most maxPatchesPerFile. Never in the manifest itself: they
    // come from the patch list (applyPatchList) only players of the builds they lead from fetch.
    std::vector<std::string> patches = {};
};

inline constexpr std::size_t maxPatchesPerFile = 16;

struct Manifest {
    std::string version;
    std::string baseUrl; // always ends in '/' once parsed
    // Other servers of the same files, each laid out like baseUrl (and ending in '/' once
    // parsed), none of them baseUrl itself.
    std::vector<std::string> mirrors;
    std::string exe;
    std::int64_t chunkSize = 0;
    std::vector<ManifestFile> files;
    std::optional<std::int64_t> sequence; // a signed build's place in the order of builds
    // The chunk store holding every file, ending in '/': absolute, or relative to baseUrl and to
    // each mirror alike ("../store/"). Empty when the build has none. Launchers before the store
    // ignore it and fetch the files themselves.
    std::string store;
    Chunking chunking; // how the publisher cut the files, which the launcher cuts old copies by
    // The store's list of the build's solid objects ("l/<sha256>", net/solid.h), or empty.
    std::string solid;
    // Beside the manifest lie "<manifest>.sha256", the digest of the current manifest, and
    // "<manifest>.d/<old sha256>-<new sha256>", patches from earlier manifests, each with the
    // list of the file patches from the versions that manifest lists in the same name + ".patches".
    bool manifestPatches = false;
};

// The patch list published beside a manifest patch names the files of the new manifest (after)
// that have a patch from their version in the old one (before), at the same path: a line for
// each, the gap from the one before (from -1), so that it costs about a byte a patch. Resolved,
// it is lines "<old sha256>-<new sha256>", each a patch d/<old>-<new> of the store; empty for a
// list that is not one. Neither is signed, and needs not be: what a patch makes is checked by the
// file's digest, so a false line costs a request.
std::string resolvePatchList(std::string_view list, const Manifest& before, const Manifest& after);
// Every file whose digest is a resolved line's new one gets its old one in patches (at most
// maxPatchesPerFile). False, leaving manifest alone, for anything but such lines.
bool applyPatchList(std::string_view list, Manifest& manifest);
inline constexpr std::int64_t maxPatchListBytes = std::int64_t{16} << 20;

// The store's URL for a server of the build's files (baseUrl or a mirror): a relative store
// taken from that server's URL, an absolute one as it is.
std::string storeUrlFor(const Manifest& manifest, std::string_view server);

// The largest manifest body, file, build (all files together) and chunk the launcher accepts.
// With every build at most maxInstallSize, no sum of sizes or lengths can overflow.
inline constexpr std::int64_t maxManifestBytes = std::int64_t{64} << 20;
inline constexpr std::int64_t maxFileSize = std::int64_t{1} << 50;
inline constexpr std::int64_t maxInstallSize = maxFileSize;
inline constexpr std::int64_t maxChunkSize = std::int64_t{64} << 20;

// Parses and validates a manifest body; on failure `manifest` is left untouched.
FileError parseManifest(std::string_view body, Manifest& manifest);

// The manifest as vellumark-publish writes it: members in a fixed order (the sequence only
// when there is one), one file a line, chunks only for chunked files, a line feed at the end.
std::string serializeManifest(const Manifest& manifest);

// Fetches the manifest with a cache-busting query, then parses and validates it. With trusted
// keys, the signature is fetched right after it (same query) and checked over the body's
// exact bytes before anything is parsed.
// With a kept copy of this URL's manifest, the request carries its validators; a 304 answer
// means the copy is used, checked like a body just fetched (a copy that fails is asked for
// whole). A manifest fetched whole replaces the copy once it passed.
inline constexpr std::int32_t manifestTimeoutMs = 30000; // for the answer, and for the whole body
struct ManifestCopy;
FileError fetchManifest(const std::string& url, Manifest& manifest,
                        const std::vector<EcPoint>& trustedKeys = {}, ManifestCopy* kept = nullptr);
