#include "tools/publish/store_writer.h"

#include "net/gzip.h"

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Packs stay small enough for any server and any edge to keep whole.
constexpr std::int64_t packLimit = std::int64_t{256} << 20;

bool readAll(const fs::path& file, std::string& text) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// A name for a file being written, never another thread's or process's.
fs::path temporaryBeside(const fs::path& target, int lane) {
    return target.string() + ".new-" + std::to_string(getpid()) + "-" + std::to_string(lane);
}

std::string digestOf(std::string_view bytes) {
    std::unique_ptr<Hasher> hash = newHasher();
    hash->update(bytes.data(), bytes.size());
    return hash->finishHex();
}

} // namespace

FileError StoreWriter::open(const fs::path& folder, const Chunking& chunking, int level, int lanes) {
    folder_ = folder;
    chunking_ = chunking;
    level_ = level;
    packs_.resize(static_cast<std::size_t>(lanes));
    std::error_code ec;
    for (const char* sub : {"c", "p", "i", "d", "s", "l"}) {
        fs::create_directories(folder / sub, ec);
        if (ec) return plainFailure("cannot make " + (folder / sub).string() + ": " + ec.message());
    }
    std::string text;
    if (!readAll(folder / "catalog", text)) return {}; // a new store
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        StoredChunk c;
        if (end == std::string::npos ||
            !parseStoredChunkLine(std::string_view(text).substr(at, end - at), maxChunkSize, c)) {
            return plainFailure((folder / "catalog").string() + " is damaged");
        }
        catalog_.emplace(c.sha256, std::move(c));
        at = end + 1;
    }
    return {};
}

FileError StoreWriter::File::feed(const char* data, std::size_t size) {
    cutter_.feed(data, size, [this](const char* bytes, std::size_t n) {
        if (!failure_.failed) failure_ = cut(bytes, n);
    });
    return failure_;
}

FileError StoreWriter::File::cut(const char* data, std::size_t size) {
    StoredChunk c{digestOf(std::string_view(data, size)), static_cast<std::int64_t>(size), {}, 0, 0};
    // A file's first chunk may be the whole file, stored as an object of its own.
    if (chunks_.empty()) {
        first_.assign(data, size);
        chunks_.push_back(std::move(c));
        return {};
    }
    if (chunks_.size() == 1) {
        if (FileError e = store_.store(lane_, chunks_[0].sha256, first_, chunks_[0]); e.failed) return e;
        first_.clear();
    }
    if (FileError e = store_.store(lane_, c.sha256, std::string_view(data, size), c); e.failed) return e;
    chunks_.push_back(std::move(c));
    return {};
}

FileError StoreWriter::File::end(const std::string& sha256, bool& indexed, std::vector<StoredChunk>* listed) {
    cutter_.finish([this](const char* bytes, std::size_t n) {
        if (!failure_.failed) failure_ = cut(bytes, n);
    });
    if (failure_.failed) return failure_;
    {
        std::lock_guard guard(store_.lock_);
        store_.totals_.chunks += static_cast<std::int64_t>(chunks_.size());
    }
    indexed = chunks_.size() > 1;
    if (chunks_.size() == 1) {
        if (FileError e = store_.storeAlone(lane_, sha256, first_); e.failed) return e;
        if (listed) {
            std::error_code ec;
            *listed = {singleChunk(sha256, chunks_[0].size)};
            (*listed)[0].length = static_cast<std::int64_t>(fs::file_size(store_.folder_ / "c" / sha256, ec));
        }
        return {};
    }
    if (listed) *listed = chunks_;
    if (indexed) {
        std::lock_guard guard(store_.lock_);
        store_.indexes_.emplace_back(sha256, std::move(chunks_));
    }
    return {};
}

FileError StoreWriter::storeAlone(int lane, const std::string& sha, std::string_view bytes) {
    const fs::path name = fs::path("c") / sha;
    {
        std::lock_guard guard(lock_);
        std::error_code ec;
        // Named by what it holds: one that exists holds these bytes already.
        if (!alone_.insert(sha).second || fs::exists(folder_ / name, ec)) return {};
    }
    const std::string stored = encodeChunk(bytes, level_);
    {
        std::lock_guard guard(lock_);
        ++totals_.newChunks;
        totals_.newBytes += static_cast<std::int64_t>(bytes.size());
        totals_.storedBytes += static_cast<std::int64_t>(stored.size());
    }
    return writeObject(name, stored, lane);
}

FileError StoreWriter::store(int lane, const std::string& sha, std::string_view bytes, StoredChunk& where) {
    {
        std::lock_guard guard(lock_);
        if (const auto known = catalog_.find(sha); known != catalog_.end()) {
            where = known->second;
            return {};
        }
    }
    // Compressed outside the lock, where the threads spend their time.
    const std::string stored = encodeChunk(bytes, level_);
    std::lock_guard guard(lock_);
    if (const auto known = catalog_.find(sha); known != catalog_.end()) { // another thread was first
        where = known->second;
        return {};
    }
    Pack& pack = packs_[static_cast<std::size_t>(lane)];
    if (!pack.out.is_open()) {
        pack.number = packNames_.size();
        packNames_.emplace_back();
        pack.file = temporaryBeside(folder_ / "p" / "pack", static_cast<int>(pack.number));
        pack.out.open(pack.file, std::ios::binary | std::ios::trunc);
        if (!pack.out) return plainFailure("cannot write " + pack.file.string());
        pack.hash = newHasher();
        pack.bytes = 0;
    }
    if (!pack.out.write(stored.data(), static_cast<std::streamsize>(stored.size())))
        return plainFailure("cannot write " + pack.file.string());
    pack.hash->update(stored.data(), stored.size());
    where = StoredChunk{sha, static_cast<std::int64_t>(bytes.size()), "#" + std::to_string(pack.number),
                        pack.bytes, static_cast<std::int64_t>(stored.size())};
    pack.bytes += where.length;
    catalog_.emplace(sha, where);
    added_.push_back(where);
    ++totals_.newChunks;
    totals_.newBytes += where.size;
    totals_.storedBytes += where.length;
    if (pack.bytes >= packLimit) return finishPack(pack);
    return {};
}

FileError StoreWriter::finishPack(Pack& pack) {
    if (!pack.out.is_open()) return {};
    pack.out.close();
    if (!pack.out) return plainFailure("cannot write " + pack.file.string());
    const std::string name = "p/" + pack.hash->finishHex();
    std::error_code ec;
    fs::rename(pack.file, folder_ / name, ec);
    if (ec) return plainFailure("cannot name " + (folder_ / name).string() + ": " + ec.message());
    packNames_[pack.number] = name;
    return {};
}

FileError StoreWriter::writeObject(const fs::path& name, std::string_view bytes, int lane) {
    const fs::path target = folder_ / name, temporary = temporaryBeside(target, lane);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
            return plainFailure("cannot write " + temporary.string());
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) return plainFailure("cannot name " + target.string() + ": " + ec.message());
    return {};
}

std::int64_t StoreWriter::sizeOf(const std::string& name) const {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(folder_ / name, ec);
    return ec ? -1 : static_cast<std::int64_t>(size);
}

FileError StoreWriter::put(const std::string& name, std::string_view bytes, int lane) {
    std::error_code ec;
    if (fs::exists(folder_ / name, ec)) return {};
    return writeObject(name, bytes, lane);
}

FileError StoreWriter::close() {
    for (Pack& pack : packs_) {
        if (FileError e = finishPack(pack); e.failed) return e;
    }
    // Chunks in packs this build wrote get their pack's name now that it is known.
    const auto named = [this](StoredChunk& c) {
        if (c.object.starts_with("#")) c.object = packNames_[std::stoul(c.object.substr(1))];
    };
    for (auto& [sha, chunks] : indexes_) {
        const fs::path name = fs::path("i") / sha;
        std::error_code ec;
        if (fs::exists(folder_ / name, ec)) continue; // an index already names places that hold the chunks
        for (StoredChunk& c : chunks)
            named(c);
        if (FileError e = writeObject(name, gzipBytes(serializeIndex(chunks)), 0); e.failed) return e;
    }
    if (added_.empty()) return {};
    std::string lines;
    readAll(folder_ / "catalog", lines);
    for (StoredChunk& c : added_) {
        named(c);
        lines += storedChunkLine(c);
    }
    return writeObject("catalog", lines, 0);
}
