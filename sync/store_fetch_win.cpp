// The chunks of a file that no seed holds, fetched from the store: a chunk of its own whole,
// chunks of a pack by ranges that take neighbours together, in file order, so that the pass
// makes and hashes the file as they come. The next requests' bodies are on their way on threads
// of their own while the last one's chunks are decoded, checked and written.
#include "base/session_status.h"
#include "base/threads.h"
#include "net/http.h"
#include "store/files.h"
#include "store/sha256.h"
#include "sync/assembly.h"
#include "sync/rate_limit.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

FileError staleChunk(std::string text) {
    FileError e = plainFailure(std::move(text));
    e.stale = true; // asked for again past caches, then from another server
    return e;
}

std::wstring headersFor(const FetchFrom& from, const std::string& range) {
    std::wstring headers(range.begin(), range.end());
    if (from.revalidate) headers += L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
    return headers;
}

FileError getBody(const std::string& url, const std::wstring& headers, std::int32_t status,
                  std::int64_t maxBytes, std::string& body, std::int64_t exactBytes) {
    HttpRequest request;
    if (FileError e = request.get(url, headers); e.failed) return e;
    if (request.status != status)
        return plainFailure("HTTP " + std::to_string(request.status) + " for " + url);
    body.clear();
    body.reserve(static_cast<std::size_t>(std::min<std::int64_t>(maxBytes, maxRangeStored)));
    char piece[65536];
    for (;;) {
        if (cancelRequested.load()) return cancelledFailure();
        std::uint32_t count = 0;
        if (FileError e = request.read(piece, sizeof piece, count); e.failed) return e;
        if (count == 0) break;
        if (static_cast<std::int64_t>(body.size() + count) > maxBytes)
            return staleChunk("store object larger than listed: " + url);
        throttleDownload(count);
        body.append(piece, count);
    }
    if (exactBytes >= 0 && static_cast<std::int64_t>(body.size()) != exactBytes)
        return staleChunk("store object cut short: " + url);
    return {};
}

namespace {

struct Request {
    std::string url;
    std::wstring headers;
    bool single = false;              // one chunk, the whole object; else a range of a pack
    std::int64_t start = 0, most = 0; // the object's offset of the first byte; the most asked for
    std::vector<std::size_t> run;     // the wanted chunks it brings, in the object's order
};

// The bodies of a file's requests, taken in order while the next ones are fetched on threads of
// their own: one connection alone does not bring a large file as fast as it is decoded, checked
// and written. At most `lanes` bodies are fetched ahead of the one in use; a failure shows
// when its body is taken, and the fetching ends with the file.
class Ahead {
public:
    explicit Ahead(const std::vector<Request>& requests) : requests_(requests) {}
    ~Ahead() {
        {
            std::lock_guard guard(lock_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }
    Ahead(const Ahead&) = delete;
    Ahead& operator=(const Ahead&) = delete;

    FileError take(std::size_t i, std::string& body) {
        // A file of one request is fetched where it is used.
        for (std::size_t n = 0; i == 0 && requests_.size() > 1 && n < lanes; ++n) {
            std::thread t;
            if (startThread(t, [this] { run(); }).failed) break; // fewer lanes, or none
            threads_.push_back(std::move(t));
        }
        if (threads_.empty()) return fetch(requests_[i], body);
        std::unique_lock guard(lock_);
        wake_.wait(guard, [&] { return fetched_.contains(i); });
        auto node = fetched_.extract(i);
        body.swap(node.mapped().second);
        spares_.push_back(std::move(node.mapped().second)); // the next body is read into it
        taken_ = i + 1;
        guard.unlock();
        wake_.notify_all();
        return std::move(node.mapped().first);
    }

private:
    static constexpr std::size_t lanes = 2;
    static FileError fetch(const Request& r, std::string& body) {
        return getBody(r.url, r.headers, r.single ? 200 : 206, r.most, body, r.single ? -1 : r.most);
    }
    void run() {
        for (;;) {
            std::string body;
            std::size_t i = 0;
            {
                std::unique_lock guard(lock_);
                wake_.wait(guard,
                           [&] { return stop_ || next_ >= requests_.size() || next_ < taken_ + lanes; });
                if (stop_ || next_ >= requests_.size()) return;
                i = next_++;
                if (!spares_.empty()) {
                    body = std::move(spares_.back());
                    spares_.pop_back();
                }
            }
            FileError e = fetch(requests_[i], body);
            {
                std::lock_guard guard(lock_);
                fetched_.try_emplace(i, std::move(e), std::move(body));
            }
            wake_.notify_all();
        }
    }

    const std::vector<Request>& requests_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::map<std::size_t, std::pair<FileError, std::string>> fetched_;
    std::vector<std::string> spares_; // used bodies, so that each request does not allocate anew
    std::size_t next_ = 0, taken_ = 0;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

// A checked chunk, wherever it goes: through the pass when that has reached it, else straight
// into the part file (to be read back when the pass gets there).
FileError placeChunk(Assembly& a, OrderedPass* pass, Wanted& w, std::string_view bytes) {
    for (const std::int64_t at : w.offsets) {
        if (pass && at == pass->next()) {
            if (FileError e = pass->add(bytes.size(), bytes.data()); e.failed) return e;
        } else if (const std::uint32_t code = writeAll(a.part, bytes.data(), bytes.size(), a.partPath, at)) {
            return pathFailure("write", a.partPath, code);
        }
    }
    w.written = true;
    a.done(w);
    return {};
}

// Decodes and checks each chunk of one stored run and places it wherever it goes. Once the run's
// bytes are on disk, other files may take its chunks from there.
FileError useStored(Assembly& a, OrderedPass* pass, const std::vector<std::size_t>& run,
                    std::string_view stored, std::int64_t start) {
    std::string scratch;
    std::string_view bytes;
    std::vector<const Wanted*> arrived;
    FileError failure;
    for (const std::size_t k : run) {
        Wanted& w = a.wanted[k];
        // An index may name any place: one outside what came is a bad answer, not a read past it.
        const std::int64_t at = w.chunk.offset - start;
        if (at < 0 || at + w.chunk.length > static_cast<std::int64_t>(stored.size())) {
            failure = staleChunk("store chunk " + w.chunk.sha256 + " lies outside its object");
            break;
        }
        const std::string_view form =
            stored.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(w.chunk.length));
        if (!decodeChunk(form, w.chunk.size, scratch, bytes)) {
            failure = staleChunk("store chunk " + w.chunk.sha256 + " is corrupt");
            break;
        }
        // A chunk the pass takes is checked by the whole file's digest, which it feeds: each byte
        // is hashed once. Only a file that fails has such chunks checked one by one.
        w.unchecked = pass && w.offsets.front() == pass->next();
        if (!w.unchecked) {
            Sha256 digest;
            digest.update(bytes.data(), bytes.size());
            if (digest.finishHex() != w.chunk.sha256) {
                failure = staleChunk("store chunk " + w.chunk.sha256 + " failed its checksum");
                break;
            }
        }
        if (failure = placeChunk(a, pass, w, bytes); failure.failed) break;
        arrived.push_back(&w);
    }
    if (FileError e = pass ? pass->end() : FileError{}; e.failed) return e;
    for (const Wanted* w : arrived)
        a.seeds.fetched(w->chunk.sha256, a.partPath, a.target, w->offsets.front());
    return failure;
}

} // namespace

FileError fetchMissing(Assembly& a, const std::string& store, const FetchFrom& from, OrderedPass* pass) {
    std::map<std::string, std::vector<std::size_t>> byObject;
    for (std::size_t k = 0; k < a.wanted.size(); ++k) {
        if (!a.wanted[k].written && !a.wanted[k].seeded) byObject[a.wanted[k].chunk.object].push_back(k);
    }
    std::vector<Request> requests;
    for (auto& [object, chunks] : byObject) {
        std::sort(chunks.begin(), chunks.end(), [&](std::size_t x, std::size_t y) {
            return a.wanted[x].chunk.offset < a.wanted[y].chunk.offset;
        });
        const bool single = object.starts_with("c/");
        for (std::size_t first = 0; first < chunks.size();) {
            const StoredChunk& head = a.wanted[chunks[first]].chunk;
            std::size_t last = first;
            std::int64_t end = head.offset + head.length;
            while (!single && last + 1 < chunks.size()) {
                const StoredChunk& next = a.wanted[chunks[last + 1]].chunk;
                if (next.offset != end || next.offset + next.length - head.offset > maxRangeStored) break;
                end = next.offset + next.length;
                ++last;
            }
            char range[80] = "";
            if (!single)
                std::snprintf(range, sizeof range, "Range: bytes=%lld-%lld\r\n",
                              static_cast<long long>(head.offset), static_cast<long long>(end - 1));
            // A chunk object is as long as its stored form, which is at most its size and a byte.
            requests.push_back({store + object,
                                headersFor(from, range),
                                single,
                                head.offset,
                                single ? head.size + 1 : end - head.offset,
                                {chunks.begin() + static_cast<std::ptrdiff_t>(first),
                                 chunks.begin() + static_cast<std::ptrdiff_t>(last) + 1}});
            first = last + 1;
        }
    }
    // Wanted chunks are listed in the order the file first uses them: so are the requests, and
    // the pass takes their chunks as they come.
    std::sort(requests.begin(), requests.end(),
              [](const Request& x, const Request& y) { return x.run.front() < y.run.front(); });
    Ahead ahead(requests);
    std::string body;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const Request& r = requests[i];
        if (FileError e = ahead.take(i, body); e.failed) return e;
        if (r.single) a.wanted[r.run.front()].chunk.length = static_cast<std::int64_t>(body.size());
        if (FileError e = useStored(a, pass, r.run, body, r.start); e.failed) return e;
    }
    return {};
}
