#include "app/session.h"

#include "app/launch.h"
#include "app/player_message.h"
#include "app/sequence_floor.h"
#include "app/trusted_keys.h"
#include "base/log.h"
#include "base/threads.h"
#include "net/manifest.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/text.h"
#include "sync/folder_guard.h"
#include "sync/state.h"
#include "sync/sync.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

std::atomic<std::int32_t> sessionRunning{0};

namespace {

// Sessions inside the driver, guarded by the shutdown lock and signalled when one ends.
std::mutex shutdownLock;
std::condition_variable shutdownSignal;
int activeSessions = 0;

const char* const unreachable =
    "Could not reach the update server. Check your internet connection and try again.";

void failSession(SessionStatus* status, const FileError& failure) {
    appendLog("update failed: " + shortened(failure.message, maxLoggedBytes));
    const std::string text = playerMessage(failure);
    std::lock_guard guard(status->lock);
    status->phase = SessionPhase::Failed;
    status->message = text;
}

void afterManifestFailure(const SessionOptions& options, SessionStatus* status, const FileError& failure) {
    const InstallState state = loadInstallState(options.gameDir);
    const std::string exe = findGameExe(options.gameDir);
    // A journal names files an update left part way: the install may not start at all.
    bool interrupted = false;
    loadJournal(options.gameDir, &interrupted);
    if (fileInfo(joinGamePath(options.gameDir, exe)) && !state.files.empty() && !interrupted) {
        // A launcher that checks signatures says why it stays offline: a refusal may be an attack.
        if (!trustedKeys().empty())
            appendLog("manifest failed: " + shortened(failure.message, maxLoggedBytes));
        std::lock_guard guard(status->lock);
        status->phase = SessionPhase::Offline;
        status->exe = exe;
        status->version = state.version;
        status->message = shortened(failure.message, maxLoggedBytes);
        return;
    }
    appendLog("manifest failed: " + shortened(failure.message, maxLoggedBytes));
    std::lock_guard guard(status->lock);
    status->phase = SessionPhase::Failed;
    status->message = unreachable;
}

// A signed launcher never goes back to an older build than the one installed: the state file
// and the registry record the sequence of the build it installed, and the higher one counts.
FileError checkNotOlder(const SessionOptions& options, const Manifest& manifest) {
    std::optional<std::int64_t> installed = loadInstallState(options.gameDir).sequence;
    if (const auto recorded = recordedSequence(options.manifestUrl);
        recorded && (!installed || *recorded > *installed))
        installed = recorded;
    if (!installed || (manifest.sequence && *manifest.sequence >= *installed)) return {};
    return plainFailure("older than the installed build (sequence " +
                        (manifest.sequence ? std::to_string(*manifest.sequence) : std::string("none")) +
                        ", installed " + std::to_string(*installed) + ")");
}

void driveSession(const SessionOptions& options, SessionStatus* status) {
    resetStatus(*status);
    Manifest manifest;
    ManifestCopy copy = loadManifestCopy(options.gameDir);
    if (FileError e = fetchTrustedManifest(options, manifest, &copy); e.failed) {
        afterManifestFailure(options, status, e);
        return;
    }
    FileError f = syncFolder(options, manifest, *status);
    // Kept once the folder exists, even when the update failed: the manifest itself passed.
    if (FileError k = keepManifestCopy(options.gameDir, copy); k.failed)
        appendLog("manifest copy not kept: " + shortened(k.message, maxLoggedBytes));
    if (f.failed) {
        failSession(status, f);
    } else if (manifest.sequence) { // kept only by a launcher that checks signatures
        recordSequence(options.manifestUrl, *manifest.sequence);
    }
}

struct SessionBlock {
    SessionOptions options;
    SessionStatus* status;
};

void workerThread(const std::shared_ptr<SessionBlock>& block) noexcept {
    try {
        runSession(block->options, block->status);
        const SessionSnapshot s = takeSnapshot(*block->status);
        if (s.phase == SessionPhase::Ready && s.launcherReplaced) restartLauncher();
    } catch (...) {
        // runSession keeps its own failures; only the snapshot's lock is left to fail here.
    }
    sessionRunning.exchange(0);
}

} // namespace

FileError fetchTrustedManifest(const SessionOptions& options, Manifest& manifest, ManifestCopy* kept) {
    const std::vector<EcPoint>& keys = trustedKeys();
    FileError e = fetchManifest(options.manifestUrl, manifest, keys, kept);
    if (!e.failed && !keys.empty()) e = checkNotOlder(options, manifest);
    // Without keys the sequence means nothing, and the state file stays as it always was.
    if (keys.empty()) manifest.sequence.reset();
    return e;
}

void runSession(const SessionOptions& options, SessionStatus* status) {
    {
        std::lock_guard guard(shutdownLock);
        ++activeSessions;
    }
    // Nothing escapes to the thread's entry, where it would end the process with no word to
    // anyone: an exception fails the session like any other failure.
    try {
        driveSession(options, status);
    } catch (const std::exception& e) {
        failSession(status, plainFailure(e.what()));
    } catch (...) {
        failSession(status, plainFailure("unknown error"));
    }
    {
        std::lock_guard guard(shutdownLock);
        --activeSessions;
    }
    shutdownSignal.notify_all();
}

int startSession(const LaunchOptions& options, SessionStatus* status, bool repair) {
    std::int32_t expected = 0;
    if (!sessionRunning.compare_exchange_strong(expected, 1)) return expected;
    auto block =
        std::make_shared<SessionBlock>(SessionBlock{{options.manifestUrl, options.gameDir, repair}, status});
    std::thread worker;
    if (FileError e = startThread(worker, [block] { workerThread(block); }); e.failed) {
        // No worker exists to clear the flag, and a later RETRY must be able to start one.
        resetStatus(*status);
        failSession(status, e);
        sessionRunning.exchange(0);
        return 0;
    }
    worker.detach();
    return 0;
}

void restartLauncher() {
    const std::wstring self = exePath();
    if (self.empty()) return;
    if (startProcess(self, launcherArguments(), parentFolder(self)) == 0) ExitProcess(0);
}

void shutdownSessions(const std::wstring& gameDir, std::chrono::milliseconds wait) {
    requestCancel();
    bool ended = false;
    {
        std::unique_lock guard(shutdownLock);
        ended = shutdownSignal.wait_until(guard, std::chrono::steady_clock::now() + wait,
                                          [] { return activeSessions == 0; });
    }
    // A session still running has workers writing files: removing the folder under them
    // would race them. What an interrupted download wrote stays either way, for the next start
    // to check and resume.
    if (!ended) return;
    // Only an empty folder can go, and never one of the player's own, even empty.
    if (!isProtectedFolder(gameDir)) RemoveDirectoryW(extendedPath(normalisePath(gameDir)).c_str());
}
