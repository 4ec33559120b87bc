#include "net/chunk_store.h"
#include "net/solid.h"

#include "store/hex.h"

#include "net/gzip.h"

#include <zlib.h>
#include <zstd.h>

#include <charconv>
#include <memory>

namespace {

constexpr std::string_view indexHeader = "vellumark index 1\n";

bool isObjectName(std::string_view name) {
    return name.size() == 66 && (name[0] == 'c' || name[0] == 'p') && name[1] == '/' &&
           isSha256Text(name.substr(2));
}

// The next space- or line-ended field of a line.
bool takeWord(std::string_view& line, std::string_view& word) {
    const std::size_t end = line.find(' ');
    word = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end + 1);
    return !word.empty();
}

bool takeNumber(std::string_view& line, std::int64_t& value) {
    std::string_view word;
    if (!takeWord(line, word) || (word.size() > 1 && word[0] == '0')) return false;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size() && value >= 0;
}

} // namespace

StoredChunk singleChunk(const std::string& sha256, std::int64_t size) {
    return {sha256, size, "c/" + sha256, 0, size + 1};
}

std::string storedChunkLine(const StoredChunk& c) {
    return c.sha256 + ' ' + std::to_string(c.size) + ' ' + c.object + ' ' + std::to_string(c.offset) + ' ' +
           std::to_string(c.length) + '\n';
}

std::string serializeIndex(const std::vector<StoredChunk>& chunks) {
    std::string out(indexHeader);
    for (const StoredChunk& c : chunks)
        out += storedChunkLine(c);
    return out;
}

bool parseStoredChunkLine(std::string_view line, std::int64_t maxChunk, StoredChunk& c) {
    std::string_view word;
    if (!takeWord(line, word) || !isSha256Text(word)) return false;
    c.sha256 = word;
    if (!takeNumber(line, c.size) || c.size < 1 || c.size > maxChunk) return false;
    if (!takeWord(line, word) || !isObjectName(word)) return false;
    c.object = word;
    if (!takeNumber(line, c.offset) || !takeNumber(line, c.length) || !line.empty()) return false;
    return c.length >= 2 && c.length <= c.size + 1 && c.offset <= (std::int64_t{1} << 50);
}

FileError parseIndex(std::string_view text, std::int64_t fileSize, std::int64_t maxChunk,
                     std::vector<StoredChunk>& chunks) {
    const FileError bad = plainFailure("chunk index is not valid");
    if (!text.starts_with(indexHeader)) return bad;
    text.remove_prefix(indexHeader.size());
    std::vector<StoredChunk> read;
    std::int64_t total = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return bad;
        StoredChunk c;
        if (!parseStoredChunkLine(text.substr(0, end), maxChunk, c)) return bad;
        text.remove_prefix(end + 1);
        total += c.size;
        if (total > fileSize) return bad;
        read.push_back(std::move(c));
    }
    if (total != fileSize) return bad;
    chunks = std::move(read);
    return {};
}

namespace {

// Whether zstd's fastest level makes the bytes any smaller: it gives up on bytes that do not
// compress (media, packed archives) at some 2 GB/s, where deflate labours through them at 100
// MB/s only to store them as they are.
bool compresses(std::string_view bytes) {
    thread_local const std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)> context(ZSTD_createCCtx(),
                                                                                    ZSTD_freeCCtx);
    thread_local std::string scratch;
    scratch.resize(ZSTD_compressBound(bytes.size()));
    if (!context) return true;
    const std::size_t n =
        ZSTD_compressCCtx(context.get(), scratch.data(), scratch.size(), bytes.data(), bytes.size(), 1);
    return ZSTD_isError(n) || n < bytes.size();
}

} // namespace

std::string encodeChunk(std::string_view bytes, int level) {
    if (!compresses(bytes)) return 'r' + std::string(bytes);
    std::string out(1 + compressBound(static_cast<uLong>(bytes.size())), '\0');
    z_stream z{};
    bool deflated = false;
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) == Z_OK) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        z.avail_in = static_cast<uInt>(bytes.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data() + 1);
        z.avail_out = static_cast<uInt>(out.size() - 1);
        deflated = deflate(&z, Z_FINISH) == Z_STREAM_END && z.total_out < bytes.size();
        out.resize(1 + z.total_out);
        deflateEnd(&z);
    }
    if (!deflated) return 'r' + std::string(bytes);
    out[0] = 'z';
    return out;
}

bool decodeChunk(std::string_view stored, std::int64_t size, std::string& scratch, std::string_view& out) {
    if (stored.empty() || size < 0) return false;
    const char coding = stored[0];
    stored.remove_prefix(1);
    if (coding == 'r') {
        if (static_cast<std::int64_t>(stored.size()) != size) return false;
        out = stored;
        return true;
    }
    if (coding != 'z') return false;
    // One byte more than the chunk's size: a stream that fills it unpacks past the size.
    scratch.assign(static_cast<std::size_t>(size) + 1, '\0');
    Inflater inflater(-MAX_WBITS); // raw deflate
    if (!inflater.ok()) return false;
    z_stream& z = inflater.stream();
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stored.data()));
    z.avail_in = static_cast<uInt>(stored.size());
    z.next_out = reinterpret_cast<Bytef*>(scratch.data());
    z.avail_out = static_cast<uInt>(scratch.size());
    const int result = inflate(&z, Z_FINISH);
    if (result != Z_STREAM_END || z.avail_in != 0 || static_cast<std::int64_t>(z.total_out) != size)
        return false;
    scratch.resize(static_cast<std::size_t>(size));
    out = scratch;
    return true;
}

bool decodeChunk(std::string_view stored, std::int64_t size, std::string& out) {
    std::string_view bytes;
    if (!decodeChunk(stored, size, out, bytes)) return false;
    if (bytes.data() != out.data()) out.assign(bytes);
    return true;
}

// Solid lists (net/solid.h) share the index's fields.

namespace {

constexpr std::string_view solidHeader = "vellumark solid 1\n";

bool takeLine(std::string_view& text, std::string_view& line) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return false;
    line = text.substr(0, end);
    text.remove_prefix(end + 1);
    return true;
}

} // namespace

std::int64_t SolidObject::rawSize() const {
    std::int64_t total = 0;
    for (const StoredChunk& c : chunks)
        total += c.size;
    return total;
}

std::string serializeSolidList(const std::vector<SolidObject>& objects) {
    std::string out(solidHeader);
    std::int64_t last = -1;
    for (const SolidObject& o : objects) {
        out += o.object + ' ' + std::to_string(o.length) + ' ' + std::to_string(o.chunks.size()) + '\n';
        for (std::size_t i = 0; i < o.chunks.size(); ++i) {
            if (i < o.files.size() && o.files[i] > last) {
                out += '+' + std::to_string(o.files[i] - last) + '\n';
                last = o.files[i];
            } else {
                out += o.chunks[i].sha256 + ' ' + std::to_string(o.chunks[i].size) + '\n';
            }
        }
    }
    return out;
}

FileError parseSolidList(std::string_view text, std::int64_t maxChunk, const std::vector<ManifestFile>& files,
                         std::vector<SolidObject>& objects) {
    const FileError bad = plainFailure("solid list is not valid");
    if (!text.starts_with(solidHeader)) return bad;
    text.remove_prefix(solidHeader.size());
    std::vector<SolidObject> read;
    std::string_view line, word;
    std::int64_t last = -1;
    while (!text.empty()) {
        SolidObject o;
        std::int64_t count = 0;
        if (!takeLine(text, line) || !takeWord(line, word) || word.size() != 66 || !word.starts_with("s/") ||
            !isSha256Text(word.substr(2)) || !takeNumber(line, o.length) || !takeNumber(line, count) ||
            !line.empty() || o.length < 1 || count < 1 || count > maxSolidRaw)
            return bad;
        o.object = word;
        std::int64_t raw = 0;
        for (std::int64_t i = 0; i < count; ++i) {
            StoredChunk c;
            std::int64_t file = -1;
            if (!takeLine(text, line)) return bad;
            if (line.starts_with('+')) { // never a digest's first character
                line.remove_prefix(1);
                std::int64_t gap = 0;
                if (!takeNumber(line, gap) || !line.empty() || gap < 1 ||
                    gap >= static_cast<std::int64_t>(files.size()) - last)
                    return bad;
                file = last += gap;
                const ManifestFile& f = files[static_cast<std::size_t>(file)];
                c.sha256 = f.sha256;
                c.size = f.size;
                if (c.size < 1 || c.size > maxChunk || !isSha256Text(c.sha256)) return bad;
            } else {
                if (!takeWord(line, word) || !isSha256Text(word) || !takeNumber(line, c.size) ||
                    !line.empty() || c.size < 1 || c.size > maxChunk)
                    return bad;
                c.sha256 = word;
            }
            o.files.push_back(file);
            raw += c.size;
            if (raw > maxSolidRaw) return bad;
            o.chunks.push_back(std::move(c));
        }
        // A frame never needs more than a few bytes beyond what it holds.
        if (o.length > raw + 1024) return bad;
        read.push_back(std::move(o));
    }
    objects = std::move(read);
    return {};
}
