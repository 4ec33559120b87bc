#include "net/http.h"
#include "net/manifest.h"

#include <chrono>
#include <vector>

FileError fetchManifest(const std::string& url, Manifest& manifest) {
    using namespace std::chrono;
    const std::int64_t now = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    HttpRequest request;
    if (FileError e =
            request.get(cacheBustingUrl(url, now), L"Cache-Control: no-cache\r\n", manifestTimeoutMs);
        e.failed) {
        return e;
    }
    if (request.status != 200) return plainFailure("manifest: HTTP " + std::to_string(request.status));

    std::string body;
    std::vector<char> buffer(transferBufferBytes);
    const auto start = steady_clock::now();
    for (;;) {
        std::uint32_t count = 0;
        if (FileError e = request.read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), count);
            e.failed) {
            return plainFailure("manifest is not valid: " + e.message);
        }
        if (count == 0) break;
        // A server could otherwise make the launcher hold any amount of text.
        if (static_cast<std::int64_t>(body.size() + count) > maxManifestBytes)
            return plainFailure("manifest is not valid: larger than 64 MiB");
        body.append(buffer.data(), count);
        // A server that trickles its answer is given 30 s for the whole body.
        if (steady_clock::now() - start > milliseconds(manifestTimeoutMs))
            return plainFailure("manifest is not valid: timeout");
    }
    return parseManifest(body, manifest);
}
