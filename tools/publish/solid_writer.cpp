#include "tools/publish/solid_writer.h"

#include "net/gzip.h"

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct Run {
    std::size_t begin = 0, end = 0; // into the chunks
    SolidObject object;
    bool kept = false;
};

std::vector<Run> cutRuns(const std::vector<SolidSource>& chunks) {
    std::vector<Run> runs;
    std::int64_t raw = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (runs.empty() || raw + chunks[i].size > maxSolidRaw) {
            runs.push_back({i, i, {}, false});
            raw = 0;
        }
        runs.back().end = i + 1;
        raw += chunks[i].size;
    }
    return runs;
}

FileError readRun(const std::vector<fs::path>& files, const std::vector<SolidSource>& chunks, const Run& run,
                  std::string& raw) {
    raw.clear();
    std::ifstream in;
    std::size_t open = static_cast<std::size_t>(-1);
    for (std::size_t i = run.begin; i < run.end; ++i) {
        const SolidSource& c = chunks[i];
        if (c.file != open) {
            in = std::ifstream(files[c.file], std::ios::binary);
            open = c.file;
        }
        const std::size_t at = raw.size();
        raw.resize(at + static_cast<std::size_t>(c.size));
        if (!in.seekg(c.offset) || !in.read(raw.data() + at, static_cast<std::streamsize>(c.size)))
            return plainFailure("cannot read " + files[c.file].string() + " again");
    }
    return {};
}

} // namespace

int chosenSolidLevel(int asked, const std::vector<SolidSource>& chunks) {
    if (asked >= 0) return asked;
    std::int64_t raw = 0;
    for (const SolidSource& c : chunks)
        raw += c.size;
    return raw <= smallSolidBuild ? 19 : 9;
}

FileError writeSolidObjects(StoreWriter& store, const std::vector<fs::path>& files,
                            const std::vector<SolidSource>& chunks, int level, int lanes, std::string& list,
                            SolidTotals& totals) {
    list.clear();
    std::vector<Run> runs = cutRuns(chunks);
    std::atomic<std::size_t> next{0};
    std::mutex lock;
    FileError firstFailure;
    const auto lane = [&](int number) {
        std::string raw;
        for (std::size_t r = next++; r < runs.size(); r = next++) {
            Run& run = runs[r];
            FileError failed = readRun(files, chunks, run, raw);
            std::int64_t alone = 0;
            for (std::size_t i = run.begin; i < run.end; ++i)
                alone += chunks[i].stored;
            std::string packed;
            if (!failed.failed) {
                packed = compressSolid(raw, level);
                if (packed.empty()) failed = plainFailure("cannot compress a solid object");
            }
            if (!failed.failed && static_cast<std::int64_t>(packed.size()) * 10 < alone * 9) {
                std::unique_ptr<Hasher> hash = newHasher();
                hash->update(packed.data(), packed.size());
                run.object.object = "s/" + hash->finishHex();
                run.object.length = static_cast<std::int64_t>(packed.size());
                for (std::size_t i = run.begin; i < run.end; ++i) {
                    run.object.chunks.push_back({chunks[i].sha256, chunks[i].size, {}, 0, 0});
                    run.object.files.push_back(chunks[i].whole ? static_cast<std::int64_t>(chunks[i].file)
                                                               : -1);
                }
                run.kept = true;
                failed = store.put(run.object.object, packed, number);
            }
            std::lock_guard guard(lock);
            if (failed.failed) {
                if (!firstFailure.failed) firstFailure = std::move(failed);
                next = runs.size();
                return;
            }
            if (run.kept) {
                ++totals.objects;
                totals.raw += static_cast<std::int64_t>(raw.size());
                totals.stored += run.object.length;
                totals.chunksStored += alone;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int i = 1; i < lanes; ++i)
        threads.emplace_back(lane, i);
    lane(0);
    for (std::thread& t : threads)
        t.join();
    if (firstFailure.failed) return firstFailure;
    std::vector<SolidObject> kept;
    for (Run& run : runs) {
        if (run.kept) kept.push_back(std::move(run.object));
    }
    if (kept.empty()) return {};
    const std::string packed = gzipBytes(serializeSolidList(kept));
    std::unique_ptr<Hasher> hash = newHasher();
    hash->update(packed.data(), packed.size());
    list = "l/" + hash->finishHex();
    return store.put(list, packed, 0);
}
