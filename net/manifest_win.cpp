#include "net/gzip.h"
#include "net/http.h"
#include "net/manifest.h"
#include "net/manifest_copy.h"
#include "net/patch.h"
#include "store/hex.h"
#include "store/sha256.h"

#include <chrono>
#include <vector>

namespace {

// A signature line is 140 bytes; anything much longer is not one.
constexpr std::int64_t maxSignatureBytes = 1024;

// What went wrong reading a body: a failure of the read, a body over the limit, or one that
// took longer than the limit; the caller words it.
enum class BodyProblem { None, Read, TooLarge, Timeout };

// Reads a whole answer into body within maxBytes and the manifest's time limit.
BodyProblem readBody(HttpRequest& request, std::int64_t maxBytes, std::string& body, FileError& readFailure) {
    using namespace std::chrono;
    std::vector<char> buffer(transferBufferBytes);
    const auto start = steady_clock::now();
    for (;;) {
        std::uint32_t count = 0;
        if (readFailure = request.read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), count);
            readFailure.failed) {
            return BodyProblem::Read;
        }
        if (count == 0) return BodyProblem::None;
        // A server could otherwise make the launcher hold any amount of text.
        if (static_cast<std::int64_t>(body.size() + count) > maxBytes) return BodyProblem::TooLarge;
        body.append(buffer.data(), count);
        // A server that trickles its answer is given the same time for the whole body.
        if (steady_clock::now() - start > milliseconds(manifestTimeoutMs)) return BodyProblem::Timeout;
    }
}

// GET with the cache-busting query, "no-cache" and any further header lines: the status and,
// for a 200, the body, as sent (compressed when compressed is asked for and the server
// compressed it).
FileError fetchText(const std::string& url, std::int64_t now, std::int64_t maxBytes, HttpRequest& request,
                    std::string& body, BodyProblem& problem, FileError& readFailure, bool compressed = false,
                    std::string_view more = {}) {
    std::wstring headers =
        compressed ? L"Cache-Control: no-cache\r\nAccept-Encoding: gzip\r\n" : L"Cache-Control: no-cache\r\n";
    headers.append(more.begin(), more.end()); // ASCII only
    if (FileError e = request.get(cacheBustingUrl(url, now), headers, manifestTimeoutMs); e.failed) return e;
    problem = request.status == 200 ? readBody(request, maxBytes, body, readFailure) : BodyProblem::None;
    return {};
}

// The signature is fetched right after the manifest, with its query, and checked over the
// body's exact bytes; whatever keeps it from being read is a missing signature.
FileError checkSignature(const std::string& url, std::int64_t now, std::string_view body,
                         const std::vector<EcPoint>& trustedKeys, std::string& text) {
    HttpRequest request;
    BodyProblem problem = BodyProblem::None;
    FileError readFailure;
    if (fetchText(signatureUrl(url), now, maxSignatureBytes, request, text, problem, readFailure).failed ||
        request.status != 200 || problem != BodyProblem::None) {
        return plainFailure("signature missing");
    }
    return checkManifestSignature(body, text, trustedKeys, verifyEcdsa);
}

FileError decodeBody(const HttpRequest& request, BodyProblem problem, const FileError& readFailure,
                     std::string& body) {
    switch (problem) {
    case BodyProblem::None:
        break;
    case BodyProblem::Read:
        return plainFailure("manifest is not valid: " + readFailure.message);
    case BodyProblem::TooLarge:
        return plainFailure("manifest is not valid: larger than 64 MiB");
    case BodyProblem::Timeout:
        return plainFailure("manifest is not valid: timeout");
    }
    if (const std::string encoding = request.contentEncoding(); encoding == "gzip") {
        std::string text;
        switch (gunzip(body, maxManifestBytes, text)) {
        case GunzipResult::Ok:
            body = std::move(text);
            break;
        case GunzipResult::TooLarge:
            return plainFailure("manifest is not valid: larger than 64 MiB");
        case GunzipResult::Corrupt:
            return plainFailure("manifest is not valid: corrupt compressed data");
        }
    } else if (!encoding.empty() && encoding != "identity") {
        return plainFailure("manifest is not valid: unknown encoding " + encoding);
    }
    return {};
}

// A kept copy counts only as what it would have been when just fetched: signed by a trusted key
// when keys are trusted, and a valid manifest.
FileError useCopy(const ManifestCopy& copy, const std::vector<EcPoint>& trustedKeys, Manifest& manifest) {
    if (!trustedKeys.empty()) {
        if (FileError e = checkManifestSignature(copy.body, copy.signature, trustedKeys, verifyEcdsa);
            e.failed)
            return e;
    }
    if (FileError e = parseManifest(copy.body, manifest); e.failed) return e;
    applyPatchList(copy.patches, manifest);
    return {};
}

std::string digestOf(std::string_view bytes) {
    Sha256 digest;
    digest.update(bytes.data(), bytes.size());
    return digest.finishHex();
}

enum class Pointed { Nothing, Unchanged, Patched };

// The patch list that lies beside a manifest patch, as it came (unzipped), or nothing.
std::string fetchPatchList(const std::string& name) {
    HttpRequest request;
    std::string gzipped, list;
    FileError readFailure;
    if (request.get(name + ".patches", L"", manifestTimeoutMs).failed || request.status != 200 ||
        readBody(request, maxPatchListBytes, gzipped, readFailure) != BodyProblem::None ||
        gunzip(gzipped, maxPatchListBytes, list) != GunzipResult::Ok) {
        return {};
    }
    return list;
}

// Where the kept copy says the publisher writes patches between manifests: the manifest's
// digest, asked for first, then a patch from the copy to the manifest it names, checked
// against that digest. Anything missing or wrong leaves the manifest to be fetched whole.
// Where that patch is published, so is the list of file patches for players of the copy's build,
// fetched even when the manifest patch itself turns out broken.
Pointed followPointer(const std::string& url, std::int64_t now, const ManifestCopy& kept, std::string& body,
                      std::string& list) {
    if (kept.url != url || url.find('?') != std::string::npos ||
        kept.body.find("\"manifestPatches\":true") == std::string::npos)
        return Pointed::Nothing;
    HttpRequest request;
    std::string text;
    BodyProblem problem = BodyProblem::None;
    FileError readFailure;
    if (fetchText(url + ".sha256", now, 256, request, text, problem, readFailure).failed ||
        request.status != 200 || problem != BodyProblem::None)
        return Pointed::Nothing;
    request.close();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const std::string was = digestOf(kept.body);
    if (!isSha256Text(text)) return Pointed::Nothing;
    if (text == was) return Pointed::Unchanged;
    // Named by both digests, a patch never changes: caches may keep it.
    const std::string name = url + ".d/" + was + "-" + text;
    std::string patch;
    if (request.get(name, L"", manifestTimeoutMs).failed || request.status != 200) return Pointed::Nothing;
    const BodyProblem read = readBody(request, maxManifestBytes, patch, readFailure);
    request.close();
    list = fetchPatchList(name);
    PatchHeader header;
    if (read != BodyProblem::None || !readPatchHeader(patch, header) || header.newSize > maxManifestBytes ||
        header.oldSize != static_cast<std::int64_t>(kept.body.size()))
        return Pointed::Nothing;
    body.clear();
    const PatchIo io{[&](std::int64_t at, char* data, std::size_t size) {
                         kept.body.copy(data, size, static_cast<std::size_t>(at));
                         return true;
                     },
                     [&](const char* data, std::size_t size) {
                         body.append(data, size);
                         return true;
                     },
                     [&](std::string_view& old) {
                         old = kept.body;
                         return true;
                     }};
    if (applyPatch(patch, io) != PatchResult::Ok || digestOf(body) != text) return Pointed::Nothing;
    return Pointed::Patched;
}

// A manifest body as fetched (or made by a patch from the kept copy): its signature checked when
// keys are trusted, parsed, and kept with its validators.
FileError takeFetched(const std::string& url, std::int64_t now, std::string body, std::string etag,
                      std::string lastModified, std::string list, const std::vector<EcPoint>& trustedKeys,
                      Manifest& manifest, ManifestCopy* kept) {
    ManifestCopy fetched{url, std::move(etag), std::move(lastModified), {}, {}, {}};
    if (!trustedKeys.empty()) {
        if (FileError e = checkSignature(url, now, body, trustedKeys, fetched.signature); e.failed) return e;
    }
    if (FileError e = parseManifest(body, manifest); e.failed) return e;
    // The list names files by their place in this manifest, and their old versions by the copy
    // the patch led from; kept resolved, it outlives that copy.
    if (Manifest before; !list.empty() && kept && !parseManifest(kept->body, before).failed) {
        fetched.patches = resolvePatchList(list, before, manifest);
        applyPatchList(fetched.patches, manifest);
    }
    if (kept) {
        fetched.body = std::move(body);
        *kept = std::move(fetched);
    }
    return {};
}

} // namespace

FileError fetchManifest(const std::string& url, Manifest& manifest, const std::vector<EcPoint>& trustedKeys,
                        ManifestCopy* kept) {
    using namespace std::chrono;
    const std::int64_t now = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    std::string patched, list;
    switch (kept ? followPointer(url, now, *kept, patched, list) : Pointed::Nothing) {
    case Pointed::Unchanged:
        if (!useCopy(*kept, trustedKeys, manifest).failed) return {};
        break;
    case Pointed::Patched:
        return takeFetched(url, now, std::move(patched), {}, {}, std::move(list), trustedKeys, manifest,
                           kept);
    case Pointed::Nothing: // what a patch that failed made is thrown away
        break;
    }
    std::string body;
    const std::string conditions = kept ? conditionalHeaders(*kept, url) : std::string();
    HttpRequest request;
    BodyProblem problem = BodyProblem::None;
    FileError readFailure;
    if (FileError e =
            fetchText(url, now, maxManifestBytes, request, body, problem, readFailure, true, conditions);
        e.failed)
        return e;
    if (request.status == 304 && !conditions.empty()) {
        request.close();
        // A copy that no longer passes (a key withdrawn, the file damaged) is asked for whole.
        if (!useCopy(*kept, trustedKeys, manifest).failed) return {};
        ManifestCopy whole; // no URL, so nothing conditional
        FileError e = fetchManifest(url, manifest, trustedKeys, &whole);
        if (!e.failed) *kept = std::move(whole);
        return e;
    }
    if (request.status != 200) return plainFailure("manifest: HTTP " + std::to_string(request.status));
    if (FileError e = decodeBody(request, problem, readFailure, body); e.failed) return e;
    std::string etag = request.header(WINHTTP_QUERY_ETAG),
                lastModified = request.header(WINHTTP_QUERY_LAST_MODIFIED);
    request.close();
    return takeFetched(url, now, std::move(body), std::move(etag), std::move(lastModified), std::move(list),
                       trustedKeys, manifest, kept);
}
