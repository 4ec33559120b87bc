// The file check: for every manifest file, whether the copy in the game folder is current
// and, if not, what the update does with it (the plan row). It reads and writes nothing.
#pragma once

#include "base/session_status.h"
#include "net/manifest.h"
#include "store/file_error.h"
#include "store/handle.h"
#include "sync/apply.h"
#include "sync/file_index.h"
#include "sync/plan.h"
#include "sync/state.h"

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct CheckContext {
    const Manifest& manifest;
    std::wstring folder; // normalised
    const SessionOptions& options;
    const InstallState& state;
    std::vector<FileCheckResult>& results; // one per manifest file
    SessionStatus& status;
    FileIndex& index; // what the folder holds, as the check found it
    // Old copies of files to rebuild, each held open without write sharing from its scan until
    // its chunks are copied: nobody changes the bytes the scan checked in between.
    OpenTargets& heldOld;
    // Files an update that did not finish named: their records are not trusted, as a killed
    // process may leave a write time that does not show its last writes.
    const std::set<std::string>& unsettled;
    std::atomic<std::uint64_t> nextIndex{0};
    std::atomic<std::uint64_t> filesDone{0};
};

// Checks every manifest file on checkThreads threads; fails only when the threads cannot be
// started.
inline constexpr int checkThreads = 4;
FileError checkAllFiles(CheckContext& context);
