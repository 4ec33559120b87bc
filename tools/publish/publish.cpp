#include "tools/publish/publish.h"

#include "tools/publish/patches.h"
#include "tools/publish/signing.h"
#include "tools/publish/solid_writer.h"
#include "tools/publish/store_writer.h"

#include "store/rolling.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <sddl.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string path; // '/' separated, relative to the build folder
    fs::path file;
};

// The path relative to the build in UTF-8 with '/' separators, on both systems.
std::string manifestPath(const fs::path& relative) {
    const std::u8string text = relative.generic_u8string();
    return std::string(text.begin(), text.end());
}

// A file's chunks that compressed alone (those stored raw compress no better together), with
// their offsets.
std::vector<SolidSource> compressedChunks(std::size_t file, const std::vector<StoredChunk>& chunks) {
    std::vector<SolidSource> out;
    std::int64_t at = 0;
    for (const StoredChunk& c : chunks) {
        if (c.length <= c.size) out.push_back({file, at, c.sha256, c.size, c.length, chunks.size() == 1});
        at += c.size;
    }
    return out;
}

// Every chunk once, in the order the build first uses it.
std::vector<SolidSource> firstUses(std::vector<std::vector<SolidSource>>& files) {
    std::vector<SolidSource> out;
    std::set<std::string> seen;
    for (std::vector<SolidSource>& chunks : files) {
        for (SolidSource& c : chunks) {
            if (seen.insert(c.sha256).second) out.push_back(std::move(c));
        }
        chunks = {};
    }
    return out;
}

FileError hashFile(const Entry& e, const PublishOptions& o, ManifestFile& out, StoreWriter::File* store,
                   std::vector<StoredChunk>* listed) {
    std::ifstream in(e.file, std::ios::binary);
    if (!in) return plainFailure("cannot read " + e.path);
    const bool chunked = out.size >= o.chunkThreshold;
    std::unique_ptr<Hasher> whole = newHasher(), chunk = newHasher();
    RollingHash rolling(static_cast<std::size_t>(o.chunkSize));
    std::vector<char> buffer(1 << 20);
    std::int64_t inChunk = 0, total = 0;
    while (in) {
        // Reads stop at chunk boundaries so that every chunk's digest closes exactly there.
        std::int64_t want = static_cast<std::int64_t>(buffer.size());
        if (chunked) want = std::min(want, o.chunkSize - inChunk);
        in.read(buffer.data(), want);
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        whole->update(buffer.data(), static_cast<std::size_t>(got));
        total += got;
        if (store) {
            if (FileError failed = store->feed(buffer.data(), static_cast<std::size_t>(got)); failed.failed)
                return failed;
        }
        if (!chunked) continue;
        chunk->update(buffer.data(), static_cast<std::size_t>(got));
        rolling.extend(buffer.data(), static_cast<std::size_t>(got));
        inChunk += got;
        if (inChunk == o.chunkSize) {
            out.chunks.push_back(chunk->finishHex());
            out.rolling.push_back(rolling.value());
            chunk = newHasher();
            rolling = RollingHash(static_cast<std::size_t>(o.chunkSize));
            inChunk = 0;
        }
    }
    // The last chunk's sum covers its own bytes; a shorter chunk is only ever looked for where
    // it stands.
    if (chunked && inChunk > 0) {
        out.chunks.push_back(chunk->finishHex());
        out.rolling.push_back(rolling.value());
    }
    if (in.bad() || total != out.size)
        return plainFailure("cannot read " + e.path + " (it changed while it was read)");
    out.sha256 = whole->finishHex();
    if (store) return store->end(out.sha256, out.indexed, listed);
    return {};
}

} // namespace

FileError publishBuild(const PublishOptions& o, std::string& manifestJson,
                       const std::function<void(const std::string&)>& progress, StoreTotals* totals) {
    if (o.chunkSize <= 0 || o.chunkThreshold <= 0)
        return plainFailure("the chunk size and threshold must be positive");
    std::error_code ec;
    if (!fs::is_directory(o.buildDir, ec)) return plainFailure("not a folder: " + o.buildDir.string());
    if (o.baseUrl.empty()) return plainFailure("--base-url is required");

    std::vector<Entry> entries;
    for (auto it = fs::recursive_directory_iterator(o.buildDir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        entries.push_back({manifestPath(fs::relative(it->path(), o.buildDir)), it->path()});
    }
    if (ec) return plainFailure("cannot list " + o.buildDir.string() + ": " + ec.message());
    // Byte order of the '/' paths, as the launcher's state file keeps them.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.path < b.path; });

    // The launcher's own rules decide which names it can install.
    for (const Entry& e : entries) {
        if (FileError bad = checkManifestPath(e.path); bad.failed) return bad;
    }
    if (FileError bad = checkManifestPath(o.exe); bad.failed) return bad;
    const bool hasExe =
        std::any_of(entries.begin(), entries.end(), [&](const Entry& e) { return e.path == o.exe; });
    if (!hasExe) return plainFailure("the build has no " + o.exe);

    // Files are read on several threads at once: most of the time goes to opening small files and
    // compressing chunks, and the disk and the other cores serve meanwhile.
    const int lanes = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u)) * 2;
    std::unique_ptr<StoreWriter> store;
    if (!o.storeDir.empty()) {
        if (o.storeUrl.empty()) return plainFailure("--store needs --store-url");
        if (!validChunking(o.chunking, maxChunkSize))
            return plainFailure("the store's chunking is not valid");
        store = std::make_unique<StoreWriter>();
        if (FileError failed = store->open(o.storeDir, o.chunking, o.level, lanes); failed.failed)
            return failed;
    }
    if (!o.patchFrom.empty() && !store) return plainFailure("patches need --store");
    std::vector<PreviousBuild> previous(o.patchFrom.size());
    for (std::size_t i = 0; i < previous.size(); ++i) {
        if (FileError failed = loadPreviousBuild(o.patchFrom[i].first, o.patchFrom[i].second, previous[i]);
            failed.failed)
            return failed;
    }
    std::vector<ManifestFile> files(entries.size());
    const bool solid = store && o.solidLevel != 0;
    std::string solidList;
    SolidTotals solidTotals;
    std::vector<std::vector<SolidSource>> compressed(solid ? entries.size()
                                                           : 0); // each file's chunks that compressed
    std::atomic<std::size_t> next{0};
    std::mutex lock; // the first failure and the progress lines
    FileError firstFailure;
    const auto lane = [&](int number) {
        for (std::size_t i = next++; i < entries.size(); i = next++) {
            const Entry& e = entries[i];
            ManifestFile& f = files[i];
            f.path = e.path;
            std::error_code sizeError;
            f.size = static_cast<std::int64_t>(fs::file_size(e.file, sizeError));
            FileError failed = sizeError ? plainFailure("cannot read " + e.path) : FileError{};
            if (!failed.failed) {
                std::optional<StoreWriter::File> cut;
                if (store) cut.emplace(*store, number);
                std::vector<StoredChunk> chunks;
                failed =
                    hashFile(e, o, f, cut ? &*cut : nullptr, previous.empty() && !solid ? nullptr : &chunks);
                if (!failed.failed && !previous.empty())
                    failed = publishPatches(previous, e.file, f, chunks, *store, number);
                if (solid) compressed[i] = compressedChunks(i, chunks);
            }
            std::lock_guard guard(lock);
            if (failed.failed) {
                if (!firstFailure.failed) firstFailure = std::move(failed);
                next = entries.size();
                return;
            }
            progress(f.path + " (" + std::to_string(f.size) + " bytes" +
                     (f.chunks.empty() ? "" : ", " + std::to_string(f.chunks.size()) + " chunks") + ")");
        }
    };
    std::vector<std::thread> threads;
    for (int i = 1; i < lanes; ++i)
        threads.emplace_back(lane, i);
    lane(0);
    for (std::thread& t : threads)
        t.join();
    if (firstFailure.failed) return firstFailure;
    if (store) {
        if (FileError failed = store->close(); failed.failed) return failed;
        if (solid) {
            std::vector<fs::path> paths;
            for (const Entry& e : entries)
                paths.push_back(e.file);
            const std::vector<SolidSource> chunks = firstUses(compressed);
            if (FileError failed =
                    writeSolidObjects(*store, paths, chunks, chosenSolidLevel(o.solidLevel, chunks), lanes,
                                      solidList, solidTotals);
                failed.failed)
                return failed;
        }
        if (totals) {
            *totals = store->totals();
            totals->solid = solidTotals;
            for (const PreviousBuild& p : previous) {
                // The files with a patch from that build's version at their path, each as the gap
                // from the one before in the manifest's order.
                std::string list;
                std::size_t last = static_cast<std::size_t>(-1);
                for (std::size_t i = 0; i < files.size(); ++i) {
                    const auto old = p.files.find(files[i].path);
                    if (old == p.files.end() || std::find(files[i].patches.begin(), files[i].patches.end(),
                                                          old->second.sha256) == files[i].patches.end())
                        continue;
                    list += std::to_string(i - last) + "\n";
                    last = i;
                }
                totals->previous.push_back(
                    {p.manifest, p.patches, p.withPatches, p.chunksAlone, std::move(list)});
            }
        }
    }
    Manifest manifest;
    manifest.version = o.version;
    manifest.baseUrl = o.baseUrl;
    manifest.mirrors = o.mirrors;
    manifest.exe = o.exe;
    manifest.chunkSize = o.chunkSize;
    manifest.sequence = o.sequence;
    if (store) {
        manifest.store = o.storeUrl;
        manifest.chunking = o.chunking;
        manifest.manifestPatches = o.digestBeside;
        manifest.solid = solidList;
    }
    manifest.files = std::move(files);
    std::string json = serializeManifest(manifest);
    // Whatever else the launcher would refuse (two names for one file on Windows, say), it
    // refuses here first.
    Manifest check;
    if (FileError bad = parseManifest(json, check); bad.failed) return bad;
    manifestJson = std::move(json);
    return {};
}

namespace {

bool readText(const fs::path& file, std::string& text) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    return static_cast<bool>(out << text);
}

// Creates file readable by its owner alone from its first byte, refusing one that exists (a
// link too: the key is never written through it).
bool writePrivateFile(const fs::path& file, const std::string& text) {
#ifdef _WIN32
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;OW)", SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return false;
    }
    SECURITY_ATTRIBUTES owner{sizeof owner, descriptor, FALSE};
    const HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, &owner, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    LocalFree(descriptor);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    return CloseHandle(h) && ok;
#else
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = true;
    for (std::size_t at = 0; ok && at < text.size();) {
        const ssize_t n = write(fd, text.data() + at, text.size() - at);
        ok = n > 0;
        at += ok ? static_cast<std::size_t>(n) : 0;
    }
    return close(fd) == 0 && ok;
#endif
}

} // namespace

FileError generateKeyFile(const fs::path& file, std::string& publicKeyLine) {
    std::error_code ec;
    if (fs::symlink_status(file, ec).type() != fs::file_type::not_found)
        return plainFailure(file.string() + " exists: a key is never overwritten");
    std::string pem, problem;
    const std::unique_ptr<Signer> signer = generateSigner(pem, problem);
    if (!signer) return plainFailure(problem);
    if (!writePrivateFile(file, pem)) return plainFailure("cannot write " + file.string());
    publicKeyLine = ecLine(signer->publicKey());
    return {};
}

FileError signManifestFile(const fs::path& manifest, const fs::path& keyFile) {
    std::string pem, bytes, problem;
    if (!readText(keyFile, pem)) return plainFailure("cannot read " + keyFile.string());
    const std::unique_ptr<Signer> signer = loadSigner(pem, problem);
    if (!signer) return plainFailure(keyFile.string() + ": " + problem);
    if (!readText(manifest, bytes)) return plainFailure("cannot read " + manifest.string());
    // Every launcher that installed a signed build refuses a signed manifest without a
    // sequence, for good: such a signature would lock its players out.
    Manifest parsed;
    if (FileError e = parseManifest(bytes, parsed); e.failed)
        return plainFailure(manifest.string() + ": " + e.message);
    if (!parsed.sequence) {
        return plainFailure(manifest.string() +
                            " has no sequence: publish it with --sequence N (or --sign), then sign it");
    }
    EcSignature signature;
    if (!signer->sign(bytes, signature)) return plainFailure("cannot sign " + manifest.string());
    fs::path sig = manifest;
    sig += ".sig";
    if (!writeText(sig, ecLine(signature) + "\n")) return plainFailure("cannot write " + sig.string());
    return {};
}

FileError writeStoreOnlyUpload(const fs::path& build, const std::string& launcher, const fs::path& upload) {
    std::error_code ec;
    fs::create_directories(upload, ec);
    if (ec) return plainFailure("cannot make " + upload.string() + ": " + ec.message());
    const fs::path from = build / fs::u8path(launcher);
    // A build without the launcher leaves nothing to serve raw; a launcher that is no file is
    // refused rather than left out unnoticed.
    const fs::file_status status = fs::symlink_status(from, ec);
    if (status.type() == fs::file_type::not_found) return {};
    if (status.type() != fs::file_type::regular)
        return plainFailure(from.string() + " is not a file: the launcher is published raw");
    const fs::path to = upload / fs::u8path(launcher);
    fs::create_directories(to.parent_path(), ec);
    if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec))
        return plainFailure("cannot copy " + from.string() + " to " + to.string() + ": " + ec.message());
    return {};
}
