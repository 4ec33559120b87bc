#include "tools/publish/patches.h"

#include "net/gzip.h"
#include "net/patch.h"
#include "store/cdc.h"
#include "tools/publish/mapped_file.h"
#include "tools/publish/publish.h"
#include "tools/publish/store_writer.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string digestOf(std::string_view bytes) {
    std::unique_ptr<Hasher> hash = newHasher();
    hash->update(bytes.data(), bytes.size());
    return hash->finishHex();
}

// What a player holding old fetches of the file from the store alone: each distinct chunk its
// old copy does not hold, as stored, and the file's index.
std::int64_t chunkCost(std::string_view old, const std::vector<StoredChunk>& chunks,
                       const Chunking& chunking) {
    std::set<std::string> held, counted;
    for (std::size_t at = 0; at < old.size();) {
        const std::size_t n =
            nextCut(chunking, reinterpret_cast<const unsigned char*>(old.data()) + at, old.size() - at);
        held.insert(digestOf(old.substr(at, n)));
        at += n;
    }
    std::int64_t cost =
        chunks.size() > 1 ? static_cast<std::int64_t>(gzipBytes(serializeIndex(chunks)).size()) : 0;
    for (const StoredChunk& c : chunks) {
        if (!held.contains(c.sha256) && counted.insert(c.sha256).second) cost += c.length;
    }
    return cost;
}

} // namespace

FileError loadPreviousBuild(const fs::path& manifest, const fs::path& folder, PreviousBuild& build) {
    const MappedFile text(manifest);
    if (!text.ok()) return plainFailure("cannot read " + manifest.string());
    Manifest parsed;
    if (FileError e = parseManifest(text.bytes(), parsed); e.failed)
        return plainFailure(manifest.string() + ": " + e.message);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return plainFailure("not a folder: " + folder.string());
    build.manifest = manifest;
    build.folder = folder;
    for (ManifestFile& f : parsed.files) {
        build.digests.insert(f.sha256);
        build.files.emplace(f.path, std::move(f));
    }
    return {};
}

FileError publishPatches(std::vector<PreviousBuild>& previous, const fs::path& newFile, ManifestFile& file,
                         const std::vector<StoredChunk>& chunks, StoreWriter& store, int lane) {
    std::optional<MappedFile> next;
    std::int64_t whole = 0; // a new file's chunks, for the builds that lack it
    for (const StoredChunk& c : chunks)
        whole += c.length;
    for (PreviousBuild& build : previous) {
        const auto it = build.files.find(file.path);
        if (it == build.files.end() || it->second.size == 0 || file.size == 0) {
            // A file that build holds under any name is copied from the player's disk.
            const std::int64_t cost = build.digests.contains(file.sha256) ? 0 : whole;
            build.withPatches += cost;
            build.chunksAlone += cost;
            continue;
        }
        const ManifestFile& old = it->second;
        if (old.sha256 == file.sha256) continue;
        const fs::path oldFile = build.folder / fs::u8path(old.path);
        const MappedFile before(oldFile);
        if (!before.ok() || digestOf(before.bytes()) != old.sha256)
            return plainFailure(oldFile.string() + " is not the file " + build.manifest.string() + " lists");
        if (!next) next.emplace(newFile);
        if (!next->ok()) return plainFailure("cannot read " + file.path);
        const std::int64_t chunksCost = chunkCost(before.bytes(), chunks, store.chunking());
        // A patch published before under the name is kept (names never change what they hold, and
        // caches may have it), so it is what players fetch; the rest are made.
        const std::string name = "d/" + old.sha256 + "-" + file.sha256;
        std::int64_t size = store.sizeOf(name);
        std::string patch;
        if (size < 0) {
            patch = makePatch(before.bytes(), next->bytes(), old.sha256, file.sha256, 9);
            size = static_cast<std::int64_t>(patch.size());
        }
        build.chunksAlone += chunksCost;
        const bool listed =
            std::find(file.patches.begin(), file.patches.end(), old.sha256) != file.patches.end();
        if (size >= chunksCost || (!listed && file.patches.size() == maxPatchesPerFile)) {
            build.withPatches += chunksCost;
            continue;
        }
        if (!patch.empty()) {
            if (FileError e = store.put(name, patch, lane); e.failed) return e;
        }
        build.withPatches += size;
        ++build.patches;
        if (!listed) file.patches.push_back(old.sha256);
    }
    return {};
}

FileError writeManifestPatches(const fs::path& manifest, const std::string& bytes,
                               const std::vector<PatchReport>& previous) {
    const std::string now = digestOf(bytes);
    fs::path folder = manifest;
    folder += ".d";
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return plainFailure("cannot make " + folder.string() + ": " + ec.message());
    const std::size_t whole = gzipBytes(bytes).size();
    const auto write = [](const fs::path& target, const std::string& data) {
        std::ofstream out(target, std::ios::binary);
        return out << data ? FileError{} : plainFailure("cannot write " + target.string());
    };
    for (const PatchReport& build : previous) {
        const MappedFile before(build.manifest);
        if (!before.ok()) return plainFailure("cannot read " + build.manifest.string());
        const std::string was = digestOf(before.bytes());
        const std::string patch = makePatch(before.bytes(), bytes, was, now, 9);
        // The file patches are found only through the manifest patch, which is then worth its bytes.
        if (was == now || (patch.size() >= whole && build.list.empty())) continue;
        const fs::path target = folder / (was + "-" + now);
        if (!build.list.empty()) {
            fs::path list = target;
            list += ".patches";
            if (FileError e = write(list, gzipBytes(build.list)); e.failed) return e;
        }
        if (FileError e = write(target, patch); e.failed) return e;
    }
    // Written last: a launcher that reads it finds the manifest and its patches in place.
    fs::path pointer = manifest;
    pointer += ".sha256";
    if (std::ofstream out(pointer, std::ios::binary); !(out << now << "\n"))
        return plainFailure("cannot write " + pointer.string());
    return {};
}
