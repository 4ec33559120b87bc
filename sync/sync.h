// Bringing one game folder into line with one manifest.
#pragma once

#include "app/session_status.h"
#include "net/manifest.h"
#include "store/file_error.h"
#include "sync/plan.h"

#include <chrono>
#include <set>
#include <string>
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
FileError runDownloads(const std::wstring& folder, const Manifest& manifest, const std::vector<DownloadJob>& jobs,
                       const OpenTargets& targets, SessionStatus& status, RetryPause retryPause = defaultRetryPause);

// Full paths of every file and/or directory below root, each directory before its contents.
void listTree(const std::wstring& root, std::vector<std::wstring>* files, std::vector<std::wstring>* dirs);
// Removes every empty directory below root, never root itself.
void removeEmptyDirectories(const std::wstring& root);
// After an interrupted download phase (the journal exists): removes the files the journal
// names, every ".part" file, the journal and the folders left empty.
void discardInterruptedDownloads(const std::wstring& folder);
// Removes every file the manifest does not list, but the launcher and its working files.
void pruneUnknownFiles(const std::wstring& folder, const std::set<std::string>& manifestPaths);
// A drive root, or a folder that is or holds a user's profile or a well-known shell folder:
// pruning there could delete the player's own files.
bool isProtectedFolder(const std::wstring& folder);
