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

} // namespace

FileError StoreWriter::open(const fs::path& folder, const Chunking& chunking, int level) {
    folder_ = folder;
    chunking_ = chunking;
    level_ = level;
    std::error_code ec;
    for (const char* sub : {"c", "p", "i"}) {
        fs::create_directories(folder / sub, ec);
        if (ec) return plainFailure("cannot make " + (folder / sub).string() + ": " + ec.message());
    }
    std::string text;
    if (!readAll(folder / "catalog", text)) return {}; // a new store
    std::size_t at = 0;
    while (at < text.size()) {
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

void StoreWriter::beginFile() {
    cutter_ = std::make_unique<ChunkCutter>(chunking_);
    fileChunks_.clear();
    firstChunk_.clear();
}

FileError StoreWriter::feed(const char* data, std::size_t size) {
    cutter_->feed(data, size, [this](const char* bytes, std::size_t n) {
        if (!failure_.failed) failure_ = chunkCut(bytes, n);
    });
    return failure_;
}

FileError StoreWriter::chunkCut(const char* data, std::size_t size) {
    std::unique_ptr<Hasher> hash = newHasher();
    hash->update(data, size);
    StoredChunk c{hash->finishHex(), static_cast<std::int64_t>(size), {}, 0, 0};
    ++totals_.chunks;
    // A file's first chunk may be the whole file, stored as an object of its own.
    if (fileChunks_.empty()) {
        firstChunk_.assign(data, size);
        fileChunks_.push_back(std::move(c));
        return {};
    }
    if (fileChunks_.size() == 1) {
        if (FileError e = store(fileChunks_[0].sha256, firstChunk_, fileChunks_[0]); e.failed) return e;
        firstChunk_.clear();
    }
    if (FileError e = store(c.sha256, std::string_view(data, size), c); e.failed) return e;
    fileChunks_.push_back(std::move(c));
    return {};
}

FileError StoreWriter::store(const std::string& sha, std::string_view bytes, StoredChunk& where) {
    if (const auto known = catalog_.find(sha); known != catalog_.end()) {
        where = known->second;
        return {};
    }
    const std::string stored = encodeChunk(bytes, level_);
    if (!pack_.is_open()) {
        packFile_ =
            folder_ / "p" / (".new-" + std::to_string(getpid()) + "-" + std::to_string(packNames_.size()));
        pack_.open(packFile_, std::ios::binary | std::ios::trunc);
        if (!pack_) return plainFailure("cannot write " + packFile_.string());
        packHash_ = newHasher();
        packBytes_ = 0;
    }
    if (!pack_.write(stored.data(), static_cast<std::streamsize>(stored.size())))
        return plainFailure("cannot write " + packFile_.string());
    packHash_->update(stored.data(), stored.size());
    where = StoredChunk{sha, static_cast<std::int64_t>(bytes.size()), "#" + std::to_string(packNames_.size()),
                        packBytes_, static_cast<std::int64_t>(stored.size())};
    packBytes_ += static_cast<std::int64_t>(stored.size());
    catalog_.emplace(sha, where);
    added_.push_back(where);
    ++totals_.newChunks;
    totals_.newBytes += where.size;
    totals_.storedBytes += where.length;
    if (packBytes_ >= packLimit) return finishPack();
    return {};
}

FileError StoreWriter::finishPack() {
    if (!pack_.is_open()) return {};
    pack_.close();
    if (!pack_) return plainFailure("cannot write " + packFile_.string());
    const std::string name = "p/" + packHash_->finishHex();
    std::error_code ec;
    fs::rename(packFile_, folder_ / name, ec);
    if (ec) return plainFailure("cannot name " + (folder_ / name).string() + ": " + ec.message());
    packNames_.push_back(name);
    return {};
}

FileError StoreWriter::writeObject(const fs::path& name, std::string_view bytes) {
    const fs::path target = folder_ / name;
    std::error_code ec;
    // Named by what it holds: one that exists holds these bytes already.
    if (fs::exists(target, ec)) return {};
    const fs::path temporary = target.string() + ".new-" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
            return plainFailure("cannot write " + temporary.string());
    }
    fs::rename(temporary, target, ec);
    if (ec) return plainFailure("cannot name " + target.string() + ": " + ec.message());
    return {};
}

FileError StoreWriter::endFile(const std::string& sha256, bool& indexed) {
    cutter_->finish([this](const char* bytes, std::size_t n) {
        if (!failure_.failed) failure_ = chunkCut(bytes, n);
    });
    if (failure_.failed) return failure_;
    indexed = fileChunks_.size() > 1;
    if (fileChunks_.size() == 1) {
        const fs::path name = fs::path("c") / sha256;
        std::error_code ec;
        if (fs::exists(folder_ / name, ec)) return {};
        const std::string stored = encodeChunk(firstChunk_, level_);
        ++totals_.newChunks;
        totals_.newBytes += fileChunks_[0].size;
        totals_.storedBytes += static_cast<std::int64_t>(stored.size());
        return writeObject(name, stored);
    }
    if (indexed) indexes_.push_back({sha256, std::move(fileChunks_)});
    fileChunks_.clear();
    return {};
}

FileError StoreWriter::close() {
    if (FileError e = finishPack(); e.failed) return e;
    // Chunks in packs this build wrote get their pack's name now that it is known.
    const auto named = [this](StoredChunk& c) {
        if (c.object.starts_with("#")) c.object = packNames_[std::stoul(c.object.substr(1))];
    };
    for (Pending& p : indexes_) {
        for (StoredChunk& c : p.chunks)
            named(c);
        if (FileError e = writeObject(fs::path("i") / p.sha256, gzipBytes(serializeIndex(p.chunks)));
            e.failed)
            return e;
    }
    if (added_.empty()) return {};
    std::string lines;
    readAll(folder_ / "catalog", lines);
    for (StoredChunk& c : added_) {
        named(c);
        lines += storedChunkLine(c);
    }
    const fs::path temporary = folder_ / ("catalog.new-" + std::to_string(getpid()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.write(lines.data(), static_cast<std::streamsize>(lines.size())))
            return plainFailure("cannot write " + temporary.string());
    }
    std::error_code ec;
    fs::rename(temporary, folder_ / "catalog", ec);
    if (ec) return plainFailure("cannot write " + (folder_ / "catalog").string() + ": " + ec.message());
    return {};
}
