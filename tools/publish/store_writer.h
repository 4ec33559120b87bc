// Writes the chunk store of a build into a folder, beside what earlier builds wrote there: a
// chunk already stored is never stored again, and nothing stored is ever rewritten.
#pragma once

#include "net/chunk_store.h"
#include "store/cdc.h"
#include "store/file_error.h"
#include "tools/publish/publish.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct StoreTotals {
    std::int64_t chunks = 0;      // chunks of the build's files, repeats included
    std::int64_t newChunks = 0;   // chunks stored by this build
    std::int64_t newBytes = 0;    // their bytes
    std::int64_t storedBytes = 0; // what storing them took
};

class StoreWriter {
public:
    // Reads the catalog of the chunks the folder holds in packs (a publisher's own file, never
    // served to players).
    FileError open(const std::filesystem::path& folder, const Chunking& chunking, int level);
    // One file's bytes, in pieces of any size.
    void beginFile();
    FileError feed(const char* data, std::size_t size);
    // Ends the file whose digest is sha256: indexed tells whether it has an index object.
    FileError endFile(const std::string& sha256, bool& indexed);
    // Finishes the pack, writes the index objects and the catalog.
    FileError close();
    const StoreTotals& totals() const { return totals_; }

private:
    struct Pending {
        std::string sha256;
        std::vector<StoredChunk> chunks; // a pack not yet named is "#<number>"
    };
    FileError chunkCut(const char* data, std::size_t size);
    FileError store(const std::string& sha, std::string_view bytes, StoredChunk& where);
    FileError finishPack();
    FileError writeObject(const std::filesystem::path& name, std::string_view bytes);

    std::filesystem::path folder_;
    Chunking chunking_;
    int level_ = 6;
    std::map<std::string, StoredChunk> catalog_;
    std::vector<StoredChunk> added_; // catalog lines this build adds
    std::vector<std::string> packNames_;
    std::ofstream pack_;
    std::filesystem::path packFile_;
    std::unique_ptr<Hasher> packHash_;
    std::int64_t packBytes_ = 0;
    std::unique_ptr<ChunkCutter> cutter_;
    std::vector<StoredChunk> fileChunks_;
    std::string firstChunk_; // the bytes of a file's first chunk, until a second shows it is not alone
    std::vector<Pending> indexes_;
    StoreTotals totals_;
    FileError failure_;
};
