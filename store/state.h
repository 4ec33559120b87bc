// The launcher's two files in the game folder: the install state (what was last verified,
// so unchanged files need not be hashed again) and the download journal.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const wchar_t* stateFileName = L".launcher-state.json";
inline constexpr const wchar_t* journalFileName = L".launcher-downloading.json";

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
std::vector<std::string> loadJournal(const std::wstring& gameDir);
// A journal that cannot be written is not reported: it only serves a later clean-up.
void writeJournal(const std::wstring& gameDir, const std::set<std::string>& paths);
