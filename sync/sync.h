// Bringing one game folder into line with one manifest.
#pragma once

#include "base/session_status.h"
#include "net/manifest.h"
#include "store/file_error.h"
#include "sync/workers.h"

#include <functional>
#include <string_view>

// Told the name of each step of a sync as it ends ("checked", "journal", "reused", "written",
// "downloaded", "placed", "removed", "state"); tests end the process there.
using SyncSteps = std::function<void(std::string_view step)>;

// Checks the folder, downloads what is missing or changed, deletes what the manifest dropped,
// prunes unknown files of a recognised install and writes the new state file. The check only
// reads; the journal names every file the run changes before the first byte changes.
FileError syncFolder(const SessionOptions& options, const Manifest& manifest, SessionStatus& status,
                     RetryPause retryPause = defaultRetryPause, const SyncSteps& steps = {});

// The check alone, of every file's contents, changing nothing in the folder: results get one
// entry per manifest file, with the jobs a repair would run.
FileError verifyFolder(const SessionOptions& options, const Manifest& manifest, SessionStatus& status,
                       std::vector<FileCheckResult>& results);
