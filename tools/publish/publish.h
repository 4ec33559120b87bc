// Turns a game build folder into the manifest the launcher reads.
#pragma once

#include "net/manifest.h"
#include "store/file_error.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// SHA-256 as the platform provides it (OpenSSL natively, CNG on Windows).
class Hasher {
public:
    virtual ~Hasher() = default;
    virtual void update(const void* data, std::size_t size) = 0;
    virtual std::string finishHex() = 0;
};
std::unique_ptr<Hasher> newHasher();

struct PublishOptions {
    std::filesystem::path buildDir;
    std::string baseUrl;
    std::vector<std::string> mirrors; // other servers of the same files, laid out like baseUrl
    std::string exe;
    std::string version;
    std::int64_t chunkSize = 512 << 10;
    std::int64_t chunkThreshold = 8 << 20; // files at least this large are divided into chunks
    std::optional<std::int64_t> sequence;  // written into the manifest when set
    // The chunk store, written into storeDir and named in the manifest as storeUrl (absolute,
    // or relative to the base URL and every mirror); none when storeDir is empty.
    std::filesystem::path storeDir;
    std::string storeUrl;
    Chunking chunking;
    int level = 6; // deflate's
    // zstd's for the solid objects a fresh install fetches (net/solid.h); 0 writes none, and
    // below 0 one is chosen by the build's size (chosenSolidLevel).
    int solidLevel = -1;
    // Whether the manifest's digest is written beside it (with a store; the launcher then asks
    // for that first).
    bool digestBeside = false;
    // Previous builds (a manifest and the folder of its files) that patches lead from.
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> patchFrom;
};

struct StoreTotals;

// Walks and hashes the build and writes the manifest text. A name the launcher would refuse,
// a missing exe or an unreadable file fails with a message naming it. progress gets a line a file.
FileError publishBuild(const PublishOptions& options, std::string& manifestJson,
                       const std::function<void(const std::string&)>& progress,
                       StoreTotals* totals = nullptr);

// What a player of the old build downloads to reach the new one.
struct DownloadEstimate {
    std::int64_t files = 0;  // files fetched whole or in part
    std::int64_t chunks = 0; // chunks among those
    std::int64_t bytes = 0;
    // What the launcher fetches of those: a file the player holds under another name (renamed,
    // moved, or a copy of another) comes from the disk, and so do the chunks of a changed file
    // whose bytes its old version holds at another offset (found in the files of build, when
    // given; at most what the launcher fetches).
    std::int64_t bytesWithReuse = 0;
};
DownloadEstimate estimateDownload(const Manifest& previous, const Manifest& next,
                                  const std::filesystem::path& build = {});

// For a build published into the store only: upload receives what the base URL must still
// serve raw, the launcher's own executable (named as the build holds it): the one file a
// player may fetch before any launcher that reads the store runs.
FileError writeStoreOnlyUpload(const std::filesystem::path& build, const std::string& launcher,
                               const std::filesystem::path& upload);

// Writes a new ECDSA P-256 private key (PEM) to file, refusing a file that exists; the public
// key line the launcher is built with.
FileError generateKeyFile(const std::filesystem::path& file, std::string& publicKeyLine);

// Writes manifest + ".sig": one line, the signature of the manifest file's exact bytes with
// the key of keyFile, and a line feed.
FileError signManifestFile(const std::filesystem::path& manifest, const std::filesystem::path& keyFile);
