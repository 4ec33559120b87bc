#include "sync/solid.h"

#include "base/log.h"
#include "base/threads.h"
#include "net/gzip.h"
#include "net/solid.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/text.h"
#include "sync/assembly.h"
#include "sync/state.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace {

std::wstring unpackedPath(const std::wstring& folder, const SolidObject& o) {
    return joinPath(joinPath(folder, solidFolderName), toWide(o.object.substr(2)));
}

// The object unpacked into its file; false, with the reason, when it is not.
bool unpack(const std::string& store, const std::wstring& headers, const SolidObject& o,
            const std::wstring& path, std::string& why) {
    std::string stored, raw;
    if (FileError e = getBody(store + o.object, headers, 200, o.length, stored, o.length); e.failed) {
        why = e.message;
        return false;
    }
    if (!decompressSolid(stored, o.rawSize(), raw)) {
        why = o.object + " does not unpack to its listed size";
        return false;
    }
    FileHandle file(CreateFileW(extendedPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || writeAll(file.get(), raw.data(), raw.size(), {}) != 0) {
        file.reset();
        removePath(path);
        why = "cannot write " + toUtf8(path);
        return false;
    }
    return true;
}

} // namespace

void seedFromSolid(const std::wstring& folder, const Manifest& manifest, std::int64_t fresh,
                   std::int64_t room, SessionStatus& status, ChunkSeeds& seeds) {
    if (manifest.solid.empty()) return;
    std::int64_t build = 0;
    for (const ManifestFile& f : manifest.files)
        build += f.size;
    if (fresh * 10 < build * 9) return;

    const std::string store = storeUrlFor(manifest, manifest.baseUrl);
    const std::wstring headers = headersFor(FetchFrom{manifest.baseUrl, false}, "");
    std::string packed, text;
    std::vector<SolidObject> objects;
    // A list names each chunk in under 90 bytes, and a chunk is at least the minimum size or
    // the whole of a smaller file.
    const std::int64_t most =
        64 + (build / manifest.chunking.min + static_cast<std::int64_t>(manifest.files.size()) + 1) * 160;
    if (FileError e = getBody(store + manifest.solid, headers, 200, most, packed); e.failed) {
        appendLog("solid objects left: " + e.message);
        return;
    }
    if (gunzip(packed, most, text) != GunzipResult::Ok ||
        parseSolidList(text, manifest.chunking.max, manifest.files, objects).failed) {
        appendLog("solid objects left: " + manifest.solid + " is not a solid list");
        return;
    }
    std::wstring failedDir;
    if (makeDirs(joinPath(folder, solidFolderName), failedDir) != 0) return;
    // Objects whose chunks the player holds mostly already are left to the chunks, and so are
    // those that would not fit on the disk beside the build.
    std::vector<const SolidObject*> wanted;
    std::int64_t total = 0, unfit = 0;
    for (const SolidObject& o : objects) {
        std::int64_t held = 0, size = -1;
        for (const StoredChunk& c : o.chunks)
            held += seeds.holds(c.sha256) ? c.size : 0;
        if (held * 2 >= o.rawSize()) continue;
        if (!fileInfo(unpackedPath(folder, o), &size) || size != o.rawSize()) {
            if (room >= 0 && o.rawSize() > room) {
                unfit += o.rawSize();
                continue;
            }
            if (room >= 0) room -= o.rawSize();
        }
        wanted.push_back(&o);
        total += o.length;
    }
    if (unfit > 0)
        appendLog("solid objects left: " + std::to_string((unfit + (1 << 20) - 1) >> 20) +
                  " MB of them would not fit beside the build");
    {
        std::lock_guard guard(status.lock);
        status.phase = SessionPhase::Downloading;
        status.bytesTotal = total;
        status.bytesDone = 0;
    }
    std::atomic<std::size_t> next{0};
    std::mutex lock;
    const auto worker = [&] {
        for (std::size_t i = next++; i < wanted.size() && !cancelRequested.load(); i = next++) {
            const SolidObject& o = *wanted[i];
            const std::wstring path = unpackedPath(folder, o);
            std::int64_t size = -1;
            std::string why;
            const bool kept = fileInfo(path, &size) && size == o.rawSize();
            if (!kept && !unpack(store, headers, o, path, why)) {
                appendLog("solid object left: " + why);
                continue;
            }
            seeds.list(path, o.chunks);
            std::lock_guard guard(status.lock);
            status.bytesDone += o.length;
        }
    };
    // A thread that cannot start leaves its share to the others.
    std::thread threads[2];
    for (std::thread& t : threads)
        startThread(t, worker);
    worker();
    for (std::thread& t : threads) {
        if (t.joinable()) t.join();
    }
}
