// The launcher's two files in the game folder: the install state (what was last verified,
// so unchanged files need not be hashed again) and the download journal.
#pragma once

#include "net/manifest_copy.h"
#include "store/file_error.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const wchar_t* stateFileName = L".launcher-state.json";
inline constexpr const wchar_t* journalFileName = L".launcher-downloading.json";
// Present in a game folder that held other things when the launcher first installed into it:
// the launcher then never removes a file there that it did not put there.
inline constexpr const wchar_t* sharedMarkerName = L".launcher-shared";
// The last manifest the launcher verified, with the validators that let the server answer 304.
inline constexpr const wchar_t* manifestCopyName = L".launcher-manifest";
// Patches fetched and not yet applied, named "<old sha256>-<new sha256>"; emptied once an update
// ends in order.
inline constexpr const wchar_t* patchFolderName = L".launcher-patches";
// Solid objects fetched and unpacked, named by their digests; emptied once an update ends in order.
inline constexpr const wchar_t* solidFolderName = L".launcher-solid";
// The chunk lists of files made from the chunk store, named by the files' digests, kept while
// the install holds those versions.
inline constexpr const wchar_t* chunkListFolderName = L".launcher-chunks";

struct InstallRecord {
    std::int64_t size = 0;
    std::int64_t mtime = 0; // nanoseconds since 1970
    std::string sha;

    bool operator==(const InstallRecord&) const = default;
};

struct InstallState {
    std::string version;
    std::string exe;
    std::map<std::string, InstallRecord> files; // by manifest path, in byte order
    std::optional<std::int64_t> sequence;       // the signed build installed; written last when set

    bool operator==(const InstallState&) const = default;
};

// Reading is lenient: a damaged document gives an empty result, which costs only a rehash
// or a missed clean-up.
InstallState parseInstallState(std::string_view document);
std::string serializeInstallState(const InstallState& state);

std::vector<std::string> parseJournal(std::string_view document);
std::string serializeJournal(const std::set<std::string>& paths);

// The files themselves, in a game folder.
InstallState loadInstallState(const std::wstring& gameDir);
// found tells whether a journal exists at all, readable or not.
std::vector<std::string> loadJournal(const std::wstring& gameDir, bool* found = nullptr);
// The journal is what tells the next run which files may hold a mix of old and new bytes: a
// download phase does not begin without it.
FileError writeJournal(const std::wstring& gameDir, const std::set<std::string>& paths);

// An unreadable or damaged copy is no copy: the manifest is then fetched whole.
ManifestCopy loadManifestCopy(const std::wstring& gameDir);
// Replaces the copy when it differs, in a folder that exists (never making one).
FileError keepManifestCopy(const std::wstring& gameDir, const ManifestCopy& copy);
