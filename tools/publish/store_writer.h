// Writes the chunk store of a build into a folder, beside what earlier builds wrote there: a
// chunk already stored is never stored again, and nothing stored is ever rewritten. Files are
// cut, hashed and compressed on several threads at once, each with a pack of its own, so that
// the new chunks of one file lie together.
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
#include <mutex>
#include <set>
#include <string>
#include <vector>

// What a player of one previous build fetches of the files that differ from it.
struct PatchReport {
    std::filesystem::path manifest;
    std::int64_t patches = 0, withPatches = 0, chunksAlone = 0;
    std::string list; // its patch list (resolvePatchList's): the files with a patch from it
};

// The solid objects a build wrote (tools/publish/solid_writer.h).
struct SolidTotals {
    std::int64_t objects = 0, raw = 0, stored = 0; // of the objects written
    std::int64_t chunksStored = 0;                 // what their chunks take stored one by one
};

struct StoreTotals {
    std::int64_t chunks = 0;      // chunks of the build's files, repeats included
    std::int64_t newChunks = 0;   // chunks stored by this build
    std::int64_t newBytes = 0;    // their bytes
    std::int64_t storedBytes = 0; // what storing them took
    std::vector<PatchReport> previous;
    SolidTotals solid;
};

class StoreWriter {
public:
    // Reads the catalog of the chunks the folder holds in packs (a publisher's own file, never
    // served to players); lanes is the number of threads that will store at once.
    FileError open(const std::filesystem::path& folder, const Chunking& chunking, int level, int lanes);

    // One file's bytes, fed in pieces of any size on the thread of its lane.
    class File {
    public:
        File(StoreWriter& store, int lane) : store_(store), lane_(lane), cutter_(store.chunking_) {}
        FileError feed(const char* data, std::size_t size);
        // Ends the file whose digest is sha256: indexed tells whether it has an index object.
        // listed, when given, receives its chunks in file order with their stored lengths.
        FileError end(const std::string& sha256, bool& indexed, std::vector<StoredChunk>* listed = nullptr);

    private:
        FileError cut(const char* data, std::size_t size);
        StoreWriter& store_;
        int lane_;
        ChunkCutter cutter_;
        std::vector<StoredChunk> chunks_;
        std::string first_; // the first chunk's bytes, until a second shows it is not alone
        FileError failure_;
    };

    // Writes an object of the store that is named by what it holds (a patch, "d/<old>-<new>"),
    // unless it exists.
    // The size of an object the folder holds, or -1.
    std::int64_t sizeOf(const std::string& name) const;
    FileError put(const std::string& name, std::string_view bytes, int lane);
    const Chunking& chunking() const { return chunking_; }
    int level() const { return level_; }

    // Finishes the packs, writes the index objects and the catalog.
    FileError close();
    const StoreTotals& totals() const { return totals_; }

private:
    struct Pack {
        std::ofstream out;
        std::filesystem::path file;
        std::unique_ptr<Hasher> hash;
        std::int64_t bytes = 0;
        std::size_t number = 0; // its place in packNames_
    };
    FileError store(int lane, const std::string& sha, std::string_view bytes, StoredChunk& where);
    FileError storeAlone(int lane, const std::string& sha, std::string_view bytes);
    FileError finishPack(Pack& pack);
    FileError writeObject(const std::filesystem::path& name, std::string_view bytes, int lane);

    std::filesystem::path folder_;
    Chunking chunking_;
    int level_ = 6;
    std::mutex lock_; // everything below
    std::map<std::string, StoredChunk> catalog_;
    std::set<std::string> alone_;    // c/ objects this build wrote
    std::vector<StoredChunk> added_; // catalog lines this build adds
    std::vector<std::string> packNames_;
    std::vector<Pack> packs_; // one a lane
    std::vector<std::pair<std::string, std::vector<StoredChunk>>> indexes_;
    StoreTotals totals_;
};
