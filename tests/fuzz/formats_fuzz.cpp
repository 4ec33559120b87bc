// libFuzzer target over everything that reads bytes from outside: the manifest parser and
// validator with its limits, the path rule, the state file and the journal, and the JSON
// string writer they rely on.
#include "net/chunk_store.h"
#include "net/manifest.h"
#include "net/manifest_copy.h"
#include "net/signature.h"
#include "net/solid.h"
#include "store/unicode_case.h"
#include "sync/state.h"
#include "tests/fuzz/require.h"
#include "json/reader.h"
#include "json/writer.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    Manifest manifest;
    if (!parseManifest(bytes, manifest).failed) {
        require(!manifest.baseUrl.empty() && manifest.baseUrl.back() == '/');
        require(!checkManifestPath(manifest.exe).failed);
        std::set<std::u16string> names;
        for (const ManifestFile& f : manifest.files) {
            require(f.size >= 0 && f.size <= maxFileSize);
            require(f.sha256.empty() || f.sha256.size() == 64);
            if (!f.chunks.empty()) {
                require(manifest.chunkSize > 0 && manifest.chunkSize <= maxChunkSize);
                require(static_cast<std::int64_t>(f.chunks.size() - 1) * manifest.chunkSize < f.size);
            }
            // No two entries name one file, nor one entry another's ".part".
            require(names.insert(pathIdentity(f.path)).second);
            checkManifestPath(f.path);
            fileUrl(manifest.baseUrl, f.path);
        }
        for (const ManifestFile& f : manifest.files)
            require(!names.contains(pathIdentity(f.path + ".part")));
    }

    // A path the rule accepts can name nothing but a file below the game folder.
    if (!checkManifestPath(bytes).failed) {
        require(!bytes.empty() && bytes.find(':') == std::string_view::npos &&
                bytes.find("..") == std::string_view::npos);
        for (const char c : bytes) {
            require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
            require(std::string_view("<>\"|?*").find(c) == std::string_view::npos);
        }
        const std::u16string key = pathIdentity(bytes);
        require(!key.empty() && key.front() != u'/' && key.find(u"//") == std::u16string::npos);
        require(key != pathIdentity(".launcher-state.json") &&
                key != pathIdentity(".launcher-downloading.json") &&
                key != pathIdentity(".launcher-manifest"));
    }
    // An index covers its file exactly; a stored chunk never unpacks past its size.
    if (std::vector<StoredChunk> chunks; !parseIndex(bytes, 1 << 20, 1 << 16, chunks).failed) {
        std::int64_t total = 0;
        for (const StoredChunk& c : chunks)
            total += c.size;
        require(total == 1 << 20);
    }
    if (std::string out; decodeChunk(bytes, 4096, out)) require(out.size() == 4096);
    // A solid list reads back as its text; a frame never unpacks past its listed size.
    if (std::vector<SolidObject> objects; !parseSolidList(bytes, 1 << 16, {}, objects).failed) {
        for (const SolidObject& o : objects)
            require(o.rawSize() <= maxSolidRaw && o.length <= o.rawSize() + 1024);
        require(serializeSolidList(objects) == bytes);
    }
    if (std::string out; decompressSolid(bytes, 4096, out)) require(out.size() == 4096);

    // A kept manifest copy reads back as the bytes it came from.
    if (ManifestCopy copy; parseManifestCopy(bytes, copy)) require(serializeManifestCopy(copy) == bytes);

    // A signature file is one line exactly, the one it reads back as.
    if (EcSignature signature; parseSignatureFile(bytes, signature)) {
        const std::string line = ecLine(signature);
        require(bytes == line || bytes == line + "\n");
    }

    // Folding case twice changes nothing more.
    for (const char16_t c : utf16Of(bytes.substr(0, 256)))
        require(upcaseUnit(upcaseUnit(c)) == upcaseUnit(c));

    // A state read back from the writer's text is the state that was written; its text is
    // then stable (the first pass may turn repaired bytes from \ufffd escapes into UTF-8).
    const InstallState first = parseInstallState(bytes);
    const InstallState second = parseInstallState(serializeInstallState(first));
    const std::string text = serializeInstallState(second);
    require(serializeInstallState(parseInstallState(text)) == text);
    require(second.files.size() <= first.files.size()); // repaired keys may meet

    const std::vector<std::string> journal = parseJournal(bytes);
    const std::set<std::string> paths(journal.begin(), journal.end());
    require(parseJournal(serializeJournal(paths)).size() == paths.size());

    // Any bytes make a JSON string the reader accepts.
    JsonValue value;
    require(parseDocument(jsonString(bytes), value) && value.kind == JsonValue::String);
    return 0;
}
