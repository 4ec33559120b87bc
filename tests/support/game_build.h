// Generated game builds published into the nginx web root, with their manifests.
#pragma once

#include "net/manifest.h"
#include "store/rolling.h"
#include "store/sha256.h"
#include "support/servers.h"

#include <map>
#include <string>

inline std::string sha256Of(const std::string& bytes) {
    Sha256 h;
    h.update(bytes.data(), bytes.size());
    return h.finishHex();
}

// Deterministic content that differs from file to file.
inline std::string pattern(std::size_t size, unsigned seed) {
    std::string s(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 23);
    }
    return s;
}

// A manifest of files the fault server serves; the first one is the "executable".
inline Manifest faultManifest(std::vector<ManifestFile> files, std::int64_t chunkSize = 0) {
    Manifest m;
    m.baseUrl = faultUrl("/");
    m.exe = files.front().path;
    m.chunkSize = chunkSize;
    m.files = std::move(files);
    return m;
}

// Publishes the manifest as /name.json and returns its URL.
inline std::string publishManifest(const std::string& name, const Manifest& m) {
    publish(toWide(name + ".json"), serializeManifest(m));
    return httpsUrl("/" + name + ".json");
}

struct GameBuild {
    std::string name; // folder of the web root: served at /name/
    std::int64_t chunkSize = 65536;
    std::int64_t chunkThreshold = 100000;     // files at least this large are chunked
    std::map<std::string, std::string> files; // manifest path -> content
    std::string exe = "Vellumark Online.exe";

    // Publishes every file and returns the manifest the launcher would get for them.
    Manifest publishAll(const std::string& baseUrl = "") const {
        for (const auto& [path, content] : files)
            publish(toWide(name + "/" + path), content);
        return manifest(baseUrl);
    }

    Manifest manifest(const std::string& baseUrl = "") const {
        Manifest m;
        m.version = name + "-1";
        m.baseUrl = baseUrl.empty() ? httpsUrl("/" + name + "/") : baseUrl;
        m.exe = exe;
        m.chunkSize = chunkSize;
        for (const auto& [path, content] : files) {
            ManifestFile f{path, static_cast<std::int64_t>(content.size()), sha256Of(content), {}};
            if (static_cast<std::int64_t>(content.size()) >= chunkThreshold) {
                for (std::size_t at = 0; at < content.size(); at += static_cast<std::size_t>(chunkSize)) {
                    const std::string chunk = content.substr(at, static_cast<std::size_t>(chunkSize));
                    f.chunks.push_back(sha256Of(chunk));
                    f.rolling.push_back(rollingSum(chunk));
                }
            }
            m.files.push_back(std::move(f));
        }
        return m;
    }
};
