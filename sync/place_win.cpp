// Putting files in place: every file the update writes whole (received, reused, rebuilt)
// comes into place here, in one order: its bytes on the disk, then the move.
#include "sync/download.h"

#include "base/session_status.h"
#include "store/files.h"
#include "store/paths.h"
#include "sync/folder_guard.h"

namespace {

// Elsewhere a running program cannot be overwritten but can be renamed: the old executable moves
// aside to ".old", where the next start of the launcher removes it.
FileError replaceLauncher(const std::wstring& target, const std::wstring& part) {
    // Where the system allows it, one rename puts the new executable in place: no moment passes
    // without a launcher under its name, as it would between the two moves below.
    if (renameOverInUse(part, target) == 0) {
        launcherReplaced.exchange(1);
        return {};
    }
    const std::wstring old = target + L".old";
    removePath(old);
    if (const std::uint32_t code = moveReplacing(target, old)) {
        removePath(part);
        return twoPathFailure("rename", target, old, code);
    }
    if (const std::uint32_t code = moveReplacing(part, target)) {
        moveReplacing(old, target);
        return twoPathFailure("rename", part, target, code);
    }
    launcherReplaced.exchange(1);
    return {};
}

// Moves a checked part file over its target, in a folder checked and held by folders. The
// launcher's own executable is first moved aside to "<target>.old".
FileError placeWholeFile(const std::wstring& target, const std::wstring& part, WriteFolders& folders) {
    // Held since its check, the folder is still the one checked; a swap for a link is refused.
    if (!folders.inside(parentFolder(target))) return outsideFailure();
    if (isLauncherPath(target)) return replaceLauncher(target, part);
    // The move is on the disk before the call returns, so a power cut never leaves the name
    // pointing at data that was not written yet.
    std::uint32_t code = moveReplacing(part, target);
    if (code == ERROR_ACCESS_DENIED) {
        makeWritable(target); // a read-only file cannot be replaced
        code = moveReplacing(part, target);
    }
    if (code) return twoPathFailure("rename", part, target, code);
    return {};
}

} // namespace

FileError placeFile(ReceivedFile& file, WriteFolders& folders, RetryPause pause) {
    if (file.part) {
        FileError failure;
        if (!FlushFileBuffers(file.part.get()))
            failure = pathFailure("write", file.partPath, lastErrorCode());
        if (!CloseHandle(file.part.release()) && !failure.failed)
            failure = pathFailure("close", file.partPath, lastErrorCode());
        if (failure.failed) {
            removePath(file.partPath);
            return failure;
        }
    }
    FileError outcome;
    for (int attempt = 0; attempt < downloadAttempts; ++attempt) {
        if (attempt > 0 && cancellableSleep(pause * (1 << attempt))) return cancelledFailure();
        outcome = placeWholeFile(file.target, file.partPath, folders);
        if (!outcome.failed) break;
    }
    return outcome;
}
