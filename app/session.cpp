#include "app/session.h"

#include "app/launch.h"
#include "app/log.h"
#include "app/player_message.h"
#include "net/manifest.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/state.h"
#include "store/text.h"
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
    appendLog("update failed: " + failure.message);
    const std::string text = playerMessage(failure);
    std::lock_guard guard(status->lock);
    status->phase = SessionPhase::Failed;
    status->message = text;
}

void afterManifestFailure(const SessionOptions& options, SessionStatus* status, const FileError& failure) {
    const InstallState state = loadInstallState(options.gameDir);
    const std::string exe = findGameExe(options.gameDir);
    if (fileInfo(joinGamePath(options.gameDir, exe)) && !state.files.empty()) {
        std::lock_guard guard(status->lock);
        status->phase = SessionPhase::Offline;
        status->exe = exe;
        status->version = state.version;
        status->message = failure.message;
        return;
    }
    appendLog("manifest failed: " + failure.message);
    std::lock_guard guard(status->lock);
    status->phase = SessionPhase::Failed;
    status->message = unreachable;
}

void driveSession(const SessionOptions& options, SessionStatus* status) {
    resetStatus(*status);
    Manifest manifest;
    if (FileError e = fetchManifest(options.manifestUrl, manifest); e.failed) {
        afterManifestFailure(options, status, e);
        return;
    }
    if (FileError e = syncFolder(options, manifest, *status); e.failed) failSession(status, e);
}

struct SessionBlock {
    SessionOptions options;
    SessionStatus* status;
};

void workerThread(std::unique_ptr<SessionBlock> block) noexcept {
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
    try {
        auto block = std::make_unique<SessionBlock>(
            SessionBlock{{options.manifestUrl, options.gameDir, repair}, status});
        std::thread(workerThread, std::move(block)).detach();
    } catch (...) {
        sessionRunning.exchange(0); // no worker exists to clear it, and a later start must work
        throw;
    }
    return 0;
}

void restartLauncher() {
    const std::wstring self = exePath();
    if (self.empty()) return;
    if (startProcess(self, launcherArguments(), parentFolder(self))) ExitProcess(0);
}

void shutdownSessions(const std::wstring& gameDir) {
    cancelRequested.exchange(1);
    {
        std::unique_lock guard(shutdownLock);
        shutdownSignal.wait_until(guard, std::chrono::steady_clock::now() + std::chrono::seconds(8),
                                  [] { return activeSessions == 0; });
    }
    discardInterruptedDownloads(gameDir);
    RemoveDirectoryW(extendedPath(normalisePath(gameDir)).c_str()); // only when empty
}
