// The pass over a file from the store in file order, which makes and hashes it in one go: what
// was fetched in order went through it as it came, and the rest is taken here from the seeds or
// read back from the part file. Fetched chunks that pass through it, and seeds, are taken
// unchecked, as the whole file is checked; when it fails, they are checked one by one.
#include "base/session_status.h"
#include "store/files.h"
#include "store/sha256.h"
#include "sync/assembly.h"

#include <algorithm>
#include <utility>

FileError OrderedPass::add(std::size_t size, const char* given, HANDLE from, std::int64_t source) {
    if (!digest_.block().empty() && digest_.block().size() + size > HashBehind::blockSize) {
        if (FileError e = end(); e.failed) return e;
        digest_.handOver();
    }
    const bool joins = run_.size > 0 && from == run_.from &&
                       (!from || source == run_.source + static_cast<std::int64_t>(run_.size));
    if (run_.size > 0 && !joins) {
        if (FileError e = end(); e.failed) return e;
    }
    std::vector<char>& block = digest_.block();
    if (run_.size == 0) run_ = {from, source, next_, block.size(), 0};
    if (given) {
        block.insert(block.end(), given, given + size);
    } else {
        block.resize(block.size() + size);
    }
    run_.size += size;
    next_ += static_cast<std::int64_t>(size);
    return {};
}

FileError OrderedPass::skip(std::size_t size) {
    if (FileError e = end(); e.failed) return e;
    ok_ = false;
    next_ += static_cast<std::int64_t>(size);
    return {};
}

FileError OrderedPass::end() {
    if (run_.size == 0) return {};
    const Run run = std::exchange(run_, Run{});
    char* const bytes = digest_.block().data() + run.start;
    if (run.from && !readAt(run.from, run.source, bytes, run.size)) {
        ok_ = false; // a seed's chunks not written are checked, and fetched, after
        return {};
    }
    if (run.from == a_.part) return {}; // written before
    if (const std::uint32_t code = writeAll(a_.part, bytes, run.size, a_.partPath, run.at))
        return pathFailure("write", a_.partPath, code);
    flush_.wrote(run.size);
    if (run.from) {
        a_.progress.fetch_add(static_cast<std::int64_t>(run.size));
        a_.counted += static_cast<std::int64_t>(run.size);
        unchecked_ += static_cast<std::int64_t>(run.size);
    }
    return {};
}

FileError OrderedPass::finish(bool& whole) {
    if (FileError e = end(); e.failed) return e;
    whole = digest_.finishHex() == a_.file.sha256 && ok_;
    return {};
}

FileError writeInOrder(Assembly& a, OrderedPass& pass, bool& whole) {
    std::vector<std::pair<std::int64_t, std::size_t>> order;
    for (std::size_t k = 0; k < a.wanted.size(); ++k) {
        for (const std::int64_t at : a.wanted[k].offsets) {
            if (at >= pass.next()) order.emplace_back(at, k);
        }
    }
    std::sort(order.begin(), order.end());
    ChunkSeeds::Reader reader(a.seeds);
    for (const auto& [at, k] : order) {
        if (cancelRequested.load()) return cancelledFailure();
        Wanted& w = a.wanted[k];
        const auto size = static_cast<std::size_t>(w.chunk.size);
        HANDLE from = a.part;
        std::int64_t source = at;
        FileError e;
        if (!w.written && w.awaited) a.seeds.await(w.chunk.sha256);
        if (w.written || (w.seeded && reader.locate(w.chunk.sha256, from, source))) {
            e = pass.add(size, nullptr, from, source);
        } else {
            w.seeded = false; // fetched after all
            e = pass.skip(size);
        }
        if (e.failed) return e;
    }
    return pass.finish(whole);
}

bool checkUnchecked(Assembly& a, std::int64_t unchecked) {
    a.progress.fetch_sub(unchecked);
    a.counted -= unchecked;
    const auto checks = [&](const Wanted& w) {
        return std::all_of(w.offsets.begin(), w.offsets.end(), [&](std::int64_t at) {
            return verifyRange(a.part, at, w.chunk.size, w.chunk.sha256);
        });
    };
    bool fetchedRight = true;
    for (Wanted& w : a.wanted) {
        if (w.written && w.unchecked) {
            w.unchecked = false;
            if (checks(w)) continue;
            w.written = false;
            const auto bytes = w.chunk.size * static_cast<std::int64_t>(w.offsets.size());
            a.progress.fetch_sub(bytes);
            a.counted -= bytes;
            fetchedRight = false;
        } else if (!w.written && w.seeded) {
            w.seeded = false;
            w.written = checks(w);
            if (w.written) a.done(w);
        }
    }
    return fetchedRight;
}
