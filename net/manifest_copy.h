// The last manifest the launcher verified, kept beside the game so that asking for an
// unchanged manifest costs one short answer (304) instead of its body.
#pragma once

#include <string>
#include <string_view>

struct ManifestCopy {
    std::string url;  // the manifest URL it came from, without the cache-busting query
    std::string etag; // the validators the server sent with it; either may be empty
    std::string lastModified;
    std::string signature; // the signature file's text as fetched; empty when none was checked
    std::string body;      // the manifest's exact bytes, as signed
    // The patch list fetched with it (applyPatchList's text): a player stopped before the update
    // ends still finds its patches when the copy is all it fetches next time.
    std::string patches;

    bool operator==(const ManifestCopy&) const = default;
};

// A header line, then each field as its name, its length in bytes and its bytes, so that any
// bytes survive exactly.
std::string serializeManifestCopy(const ManifestCopy& copy);
// False, leaving copy alone, for anything but what serializeManifestCopy writes.
bool parseManifestCopy(std::string_view text, ManifestCopy& copy);

// The request headers that ask whether the manifest changed since the copy: empty when the
// copy is of another URL, has no body or no validator. A validator holding anything but
// printable ASCII is not sent.
std::string conditionalHeaders(const ManifestCopy& copy, std::string_view url);
