// The solid objects of a build (net/solid.h), written into its store once every file is stored:
// the chunks that compressed, in the order the build first uses them, read again from the build
// and compressed in runs on several threads.
#pragma once

#include "net/solid.h"
#include "store/file_error.h"
#include "tools/publish/store_writer.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A chunk of the build, where it first lies, with what storing it alone took.
struct SolidSource {
    std::size_t file = 0; // into the build's files
    std::int64_t offset = 0;
    std::string sha256;
    std::int64_t size = 0, stored = 0;
    bool whole = false; // the whole of its file
};

// The level asked for, or when that is below 0, one chosen by the build's size: the highest for
// a build whose compressible chunks are few (a level-19 object is written at a few MB/s a core,
// so up to about four seconds), where the manifest's digests are a large share of what a fresh
// install fetches; 9 above.
inline constexpr std::int64_t smallSolidBuild = std::int64_t{8} << 20;
int chosenSolidLevel(int asked, const std::vector<SolidSource>& chunks);

// Writes each run of chunks (in order, none twice) as a solid object when that saves a tenth of
// storing its chunks alone, then their list; list gets its name, "l/<sha256>", or stays empty
// when no run saved.
FileError writeSolidObjects(StoreWriter& store, const std::vector<std::filesystem::path>& files,
                            const std::vector<SolidSource>& chunks, int level, int lanes, std::string& list,
                            SolidTotals& totals);
