// Bringing one game folder into line with one manifest.
#pragma once

#include "app/session_status.h"
#include "net/manifest.h"
#include "store/file_error.h"
#include "sync/plan.h"

#include <chrono>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The unit of the pauses between download attempts: attempt n (1 to 4) waits unit * 2^n.
// Tests shorten it; the product always waits 2, 4, 8 and 16 seconds.
using RetryPause = std::chrono::milliseconds;
inline constexpr RetryPause defaultRetryPause{1000};

// Checks the folder, downloads what is missing or changed, deletes what the manifest dropped,
// prunes unknown files of a recognised install and writes the new state file.
FileError syncFolder(const SessionOptions& options, const Manifest& manifest, SessionStatus& status,
                     RetryPause retryPause = defaultRetryPause);

// Runs the jobs on six workers, five attempts each, while the progress sampler publishes the
// byte count. The first job to fail for good stops the phase; its message gets the path prefix.
FileError runDownloads(const std::wstring& folder, const Manifest& manifest,
                       const std::vector<DownloadJob>& jobs, const OpenTargets& targets,
                       SessionStatus& status, RetryPause retryPause = defaultRetryPause);

// Paths relative to the game folder as the file system tells them apart: separators unified,
// runs of them collapsed, leading ones dropped, letter case ignored for all of Unicode.
class FileSystemPaths {
public:
    // A manifest path; the folders on its way become known folders.
    void add(std::string_view path);
    bool containsFile(const std::wstring& path) const;
    bool containsFolder(const std::wstring& path) const;

private:
    struct Less {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    std::set<std::wstring, Less> files_, folders_;
};

// Full paths of every file and/or directory below root, each directory before its contents.
void listTree(const std::wstring& root, std::vector<std::wstring>* files, std::vector<std::wstring>* dirs);
// Removes every empty directory below root, never root itself.
void removeEmptyDirectories(const std::wstring& root);
// After an interrupted download phase (the journal exists): removes the files the journal
// names, every ".part" file, the journal and the folders left empty. In a protected folder
// only the named files, their ".part" files and the folders their removal emptied go.
void discardInterruptedDownloads(const std::wstring& folder);
// Removes every file the manifest does not list, but the launcher and its working files, and
// links that lead to manifest files. Never in a protected folder.
void pruneUnknownFiles(const std::wstring& folder, const FileSystemPaths& manifestPaths);
// A drive root, a share root, or a folder that is or holds a user's profile or one of the
// known folders of a user's own files, compared after both are resolved through links:
// pruning there could delete the player's own files.
bool isProtectedFolder(const std::wstring& folder);
