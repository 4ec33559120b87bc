// Turning a manifest body into a Manifest, with the checks that keep a bad manifest from
// ever reaching the game folder.
#include "net/manifest.h"
#include "store/ascii.h"
#include "store/hex.h"
#include "store/rolling.h"
#include "json/reader.h"
#include "json/writer.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <set>

namespace {

const char* const notValid = "manifest is not valid: ";

// Reads an optional string member; false for any kind but String and Null.
bool getText(const JsonValue& object, std::string_view key, std::string& out) {
    const JsonValue* v = findMember(object, key);
    if (!v || v->kind == JsonValue::Null) return true;
    if (v->kind != JsonValue::String) return false;
    out = v->text;
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// Reads the optional list of mirrors: strings that are not empty, each once, none baseUrl.
bool readMirrors(const JsonValue& root, const std::string& baseUrl, std::vector<std::string>& mirrors) {
    const JsonValue* v = findMember(root, "mirrors");
    if (!v || v->kind == JsonValue::Null) return true;
    if (v->kind != JsonValue::Array) return false;
    for (const JsonValue& item : v->items) {
        if (item.kind != JsonValue::String || item.text.empty()) return false;
        std::string url = item.text.back() == '/' ? item.text : item.text + '/';
        if (url != baseUrl && std::find(mirrors.begin(), mirrors.end(), url) == mirrors.end())
            mirrors.push_back(std::move(url));
    }
    return true;
}

bool readChunks(const JsonValue& entry, std::vector<std::string>& chunks) {
    const JsonValue* v = findMember(entry, "chunks");
    if (!v || v->kind == JsonValue::Null) return true;
    if (v->kind != JsonValue::Array) return false;
    bool ok = true;
    for (const JsonValue& item : v->items) {
        if (item.kind == JsonValue::String) {
            chunks.push_back(item.text);
        } else {
            chunks.emplace_back();
            ok = ok && item.kind == JsonValue::Null;
        }
    }
    return ok;
}

bool readFile(const JsonValue& entry, ManifestFile& file) {
    if (entry.kind == JsonValue::Null) return true;
    if (entry.kind != JsonValue::Object) return false;
    bool ok = getText(entry, "path", file.path);
    ok = getInt(entry, "size", file.size) && ok;
    ok = getText(entry, "sha256", file.sha256) && ok;
    ok = readChunks(entry, file.chunks) && ok;
    // Launchers before the rolling checksums ignore them; so does this one when they are not
    // one per chunk.
    std::string rolling;
    if (ok && getText(entry, "rolling", rolling) &&
        !parseRollingText(rolling, file.chunks.size(), file.rolling))
        file.rolling.clear();
    if (const JsonValue* indexed = findMember(entry, "indexed");
        indexed && indexed->kind != JsonValue::Null) {
        ok = ok && indexed->kind == JsonValue::Bool;
        file.indexed = indexed->boolValue;
    }
    return ok;
}

// A digest is 64 lowercase hexadecimal digits; an empty one matches nothing.
bool isDigest(std::string_view text) {
    return text.empty() || isSha256Text(text);
}

// A chunk list must cover its file exactly, or chunk jobs of no or negative length follow.
// Sizes stay far below what a disk holds, and a chunk, held whole in memory by each of six
// workers, below 64 MiB.
bool fitsItsFile(const ManifestFile& file, std::int64_t chunkSize) {
    if (file.size < 0 || file.size > maxFileSize || !isDigest(file.sha256)) return false;
    for (const std::string& chunk : file.chunks) {
        if (!isDigest(chunk)) return false;
    }
    if (file.chunks.empty()) return true;
    if (chunkSize <= 0 || chunkSize > maxChunkSize) return false;
    const std::int64_t needed = file.size / chunkSize + (file.size % chunkSize != 0);
    return static_cast<std::int64_t>(file.chunks.size()) == needed;
}

// The root object, but for its "files" member: the entries of the last one are read into files
// one at a time, never held as one tree (a build may list tens of thousands of files). filesOk
// tells whether that member and all its entries were of the expected kinds.
bool parseRoot(JsonParser& parser, JsonValue& root, std::vector<ManifestFile>& files, bool& filesOk) {
    if (peekValue(parser) != '{') return parseValue(parser, root);
    root.kind = JsonValue::Object;
    JsonValue entry;
    return parseMembers(parser, [&](std::string& key, JsonParser& p) {
        if (!equalsFoldingAscii(key, "files")) {
            JsonMember& member = root.members.emplace_back();
            member.key = std::move(key);
            return parseValue(p, member.value);
        }
        files.clear();
        if (peekValue(p) != '[') {
            entry = JsonValue{};
            if (!parseValue(p, entry)) return false;
            filesOk = entry.kind == JsonValue::Null;
            return true;
        }
        filesOk = true;
        return parseItems(p, [&](JsonParser& p) {
            entry = JsonValue{};
            if (!parseValue(p, entry)) return false;
            filesOk = readFile(entry, files.emplace_back()) && filesOk;
            return true;
        });
    });
}

// The store and its chunking: both or neither. The store is a URL of its own, or a path relative
// to the build's folder that never starts at the server's root.
bool readStore(const JsonValue& root, Manifest& m) {
    if (!getText(root, "store", m.store)) return false;
    const JsonValue* chunking = findMember(root, "chunking");
    if (m.store.empty()) return true;
    if (m.store.back() != '/') m.store += '/';
    const bool absolute = startsWithNoCase(m.store, "https://") || startsWithNoCase(m.store, "http://");
    if (!absolute && (m.store[0] == '/' || m.store.find(':') != std::string::npos)) return false;
    if (absolute && startsWithNoCase(m.baseUrl, "https://") && !startsWithNoCase(m.store, "https://"))
        return false;
    if (!chunking || chunking->kind != JsonValue::Array || chunking->items.size() != 3) return false;
    std::int64_t values[3] = {};
    for (std::size_t i = 0; i < 3; ++i) {
        if (!intValue(chunking->items[i], values[i])) return false;
    }
    m.chunking = {values[0], values[1], values[2]};
    if (!getText(root, "solid", m.solid)) return false;
    if (!m.solid.empty() &&
        !(m.solid.size() == 66 && m.solid.starts_with("l/") && isSha256Text(m.solid.substr(2))))
        return false;
    return validChunking(m.chunking, maxChunkSize);
}

} // namespace

std::string storeUrlFor(const Manifest& m, std::string_view server) {
    if (startsWithNoCase(m.store, "https://") || startsWithNoCase(m.store, "http://")) return m.store;
    return resolveRelativeUrl(server, m.store);
}

FileError parseManifest(std::string_view body, Manifest& manifest) {
    JsonParser parser(body);
    JsonValue root;
    Manifest m;
    bool filesOk = true;
    if (!parseRoot(parser, root, m.files, filesOk)) return plainFailure(std::string(notValid) + "bad JSON");
    if (root.kind != JsonValue::Object && root.kind != JsonValue::Null) {
        return plainFailure(std::string(notValid) + "unexpected value");
    }

    bool ok = filesOk;
    if (root.kind == JsonValue::Object) {
        ok = getText(root, "version", m.version) && ok;
        ok = getText(root, "baseUrl", m.baseUrl) && ok;
        ok = getText(root, "exe", m.exe) && ok;
        ok = getInt(root, "chunkSize", m.chunkSize) && ok;
        if (const JsonValue* sequence = findMember(root, "sequence");
            sequence && sequence->kind != JsonValue::Null) {
            std::int64_t value = 0;
            ok = getInt(root, "sequence", value) && ok;
            m.sequence = value;
        }
        std::int64_t total = 0; // each size is at most maxFileSize, so this never overflows
        for (const ManifestFile& f : m.files) {
            ok = ok && fitsItsFile(f, m.chunkSize);
            total += ok ? f.size : 0;
            ok = ok && total <= maxInstallSize;
        }
    }
    if (!ok) return plainFailure(std::string(notValid) + "unexpected value");
    if (m.baseUrl.empty() || m.exe.empty() || m.files.empty()) return plainFailure("manifest is incomplete");

    // The executable is joined to the game folder and started, so it obeys the file rules.
    if (FileError e = checkManifestPath(m.exe); e.failed) return e;
    // Two entries naming one file would have two workers write it at once; a file and its
    // name + ".part" would have the download of the first write over the second.
    std::set<std::u16string> seen;
    for (const ManifestFile& f : m.files) {
        const std::u16string key = pathIdentity(f.path);
        if (seen.contains(key) || seen.contains(pathIdentity(f.path + ".part")) ||
            (key.ends_with(u".PART") && seen.contains(key.substr(0, key.size() - 5)))) {
            return plainFailure(std::string(notValid) + "duplicate path " + f.path);
        }
        seen.insert(key);
    }

    if (m.baseUrl.back() != '/') m.baseUrl += '/';
    if (const JsonValue* patches = findMember(root, "manifestPatches");
        patches && patches->kind == JsonValue::Bool)
        m.manifestPatches = patches->boolValue;
    if (!readMirrors(root, m.baseUrl, m.mirrors) || !readStore(root, m))
        return plainFailure(std::string(notValid) + "unexpected value");
    // A build served over https is served so by its mirrors too: a player's requests in the
    // clear would tell anyone on the way what the player fetches.
    if (startsWithNoCase(m.baseUrl, "https://")) {
        for (const std::string& mirror : m.mirrors) {
            if (!startsWithNoCase(mirror, "https://"))
                return plainFailure(std::string(notValid) + "a mirror is not https");
        }
    }
    manifest = std::move(m);
    return {};
}

std::string serializeManifest(const Manifest& m) {
    std::string json = "{\"version\":" + jsonString(m.version) + ",\"baseUrl\":" + jsonString(m.baseUrl);
    if (!m.mirrors.empty()) {
        json += ",\"mirrors\":[";
        for (std::size_t i = 0; i < m.mirrors.size(); ++i)
            json += (i ? "," : "") + jsonString(m.mirrors[i]);
        json += ']';
    }
    json += ",\"exe\":" + jsonString(m.exe) + ",\"chunkSize\":" + jsonInt(m.chunkSize);
    if (m.sequence) json += ",\"sequence\":" + jsonInt(*m.sequence);
    if (!m.store.empty()) {
        json += ",\"store\":" + jsonString(m.store) + ",\"chunking\":[" + jsonInt(m.chunking.min) + ',' +
                jsonInt(m.chunking.avg) + ',' + jsonInt(m.chunking.max) + ']';
        if (!m.solid.empty()) json += ",\"solid\":" + jsonString(m.solid);
    }
    // Launchers look for this very text in the copy they keep, without parsing it.
    if (m.manifestPatches) json += ",\"manifestPatches\":true";
    json += ",\"files\":[";
    for (std::size_t i = 0; i < m.files.size(); ++i) {
        const ManifestFile& f = m.files[i];
        if (i) json += ',';
        json += "\n{\"path\":" + jsonString(f.path) + ",\"size\":" + jsonInt(f.size) +
                ",\"sha256\":" + jsonString(f.sha256);
        if (!f.chunks.empty()) {
            json += ",\"chunks\":[";
            for (std::size_t k = 0; k < f.chunks.size(); ++k) {
                if (k) json += ',';
                json += jsonString(f.chunks[k]);
            }
            json += ']';
            if (!f.rolling.empty()) json += ",\"rolling\":\"" + rollingText(f.rolling) + '"';
        }
        if (f.indexed) json += ",\"indexed\":true";
        json += '}';
    }
    return json + "\n]}\n";
}

bool applyPatchList(std::string_view list, Manifest& manifest) {
    constexpr std::size_t line = 64 + 1 + 64 + 1;
    if (list.size() % line != 0 || static_cast<std::int64_t>(list.size()) > maxPatchListBytes) return false;
    std::map<std::string_view, std::vector<std::string_view>> from; // new digest: old ones
    for (std::size_t at = 0; at < list.size(); at += line) {
        const std::string_view oldSha = list.substr(at, 64), newSha = list.substr(at + 65, 64);
        if (list[at + 64] != '-' || list[at + line - 1] != '\n' || !isSha256Text(oldSha) ||
            !isSha256Text(newSha))
            return false;
        from[newSha].push_back(oldSha);
    }
    for (ManifestFile& f : manifest.files) {
        const auto it = from.find(f.sha256);
        if (it == from.end()) continue;
        for (const std::string_view oldSha : it->second) {
            if (f.patches.size() < maxPatchesPerFile &&
                std::find(f.patches.begin(), f.patches.end(), oldSha) == f.patches.end())
                f.patches.emplace_back(oldSha);
        }
    }
    return true;
}

std::string resolvePatchList(std::string_view list, const Manifest& before, const Manifest& after) {
    std::map<std::string_view, std::string_view> was; // path: digest
    for (const ManifestFile& f : before.files)
        was.emplace(f.path, f.sha256);
    std::string resolved;
    std::int64_t index = -1;
    while (!list.empty()) {
        const std::size_t end = list.find('\n');
        if (end == std::string_view::npos) return {};
        std::int64_t gap = 0;
        const auto [at, ec] = std::from_chars(list.data(), list.data() + end, gap);
        if (ec != std::errc() || at != list.data() + end || gap < 1 ||
            gap > static_cast<std::int64_t>(after.files.size()) - 1 - index)
            return {};
        index += gap;
        list.remove_prefix(end + 1);
        const ManifestFile& f = after.files[static_cast<std::size_t>(index)];
        if (const auto it = was.find(f.path);
            it != was.end() && it->second != f.sha256 && !it->second.empty() && !f.sha256.empty())
            resolved.append(it->second).append("-").append(f.sha256).append("\n");
    }
    return resolved;
}
