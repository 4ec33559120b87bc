// libFuzzer target over everything that reads bytes from outside: the manifest parser and
// validator, the state file and the journal, and the JSON string writer they rely on.
#include "net/manifest.h"
#include "store/state.h"
#include "json/json.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <cstdio>

// Names the broken property before aborting, so a crash report says which one it was.
#define require(condition)                                                                                   \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "property failed: %s\n", #condition);                                       \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    Manifest manifest;
    if (!parseManifest(bytes, manifest).failed) {
        require(!manifest.baseUrl.empty() && manifest.baseUrl.back() == '/');
        require(!checkManifestPath(manifest.exe).failed);
        for (const ManifestFile& f : manifest.files) {
            require(f.size >= 0);
            if (!f.chunks.empty()) {
                require(manifest.chunkSize > 0);
                require(static_cast<std::int64_t>(f.chunks.size() - 1) * manifest.chunkSize < f.size);
            }
            checkManifestPath(f.path);
            fileUrl(manifest.baseUrl, f.path);
        }
    }

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
