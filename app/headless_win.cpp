#include "app/headless.h"

#include "app/launch.h"
#include "app/launcher.h"
#include "app/player_message.h"
#include "app/session.h"
#include "sync/state.h"
#include "sync/sync.h"
#include "ui/screen_view.h"

#include <windows.h>

#include <chrono>
#include <thread>

namespace {

SessionStatus& headlessStatus() {
    static SessionStatus status;
    return status;
}

// The console control handler reads the game folder from here.
LaunchOptions headlessOptions;

void writeOut(const std::string& bytes) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Runs on a thread of the system's: nothing may unwind out of it, and the process ends with
// the interruption's exit code whatever the shutdown met.
BOOL WINAPI onConsoleEvent(DWORD) noexcept {
    try {
        shutdownSessions(headlessOptions.gameDir);
    } catch (...) {
    }
    ExitProcess(1);
}

} // namespace

void runHeadless(const LaunchOptions& options) {
    headlessOptions = options;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    startSession(options, &headlessStatus(), false);
    std::string last;
    for (;;) {
        std::this_thread::sleep_for(headlessPollInterval);
        const SessionSnapshot s = takeSnapshot(headlessStatus());
        const ScreenView view = buildView(s, 0);
        const std::string line = view.headline + " | " + view.detail;
        if (line != last) {
            writeOut(headlessLine(view.headline, view.detail));
            last = line;
        }
        if (!isFinalPhase(s.phase)) continue;
        writeOut("\n");
        // The session's last steps come after its final phase: the manifest copy is kept and the
        // installed sequence recorded, and a replaced launcher is restarted by the worker, which
        // then ends this process. Ending first would cut them short (a copy left as its ".tmp").
        while (sessionRunning.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (s.phase == SessionPhase::Failed) ExitProcess(1);
        if (!options.noLaunch) launchGame(options.gameDir, s.exe);
        return;
    }
}

int runVerify(const LaunchOptions& options) {
    const SessionOptions session{options.manifestUrl, options.gameDir}; // verifyFolder makes it read-only
    SessionStatus status;
    Manifest manifest;
    std::vector<FileCheckResult> results;
    ManifestCopy copy = loadManifestCopy(options.gameDir); // read only, like the whole check
    FileError e = fetchTrustedManifest(session, manifest, &copy);
    if (!e.failed) e = verifyFolder(session, manifest, status, results);
    if (e.failed) {
        writeOut(playerMessage(e) + "\n");
        return exitFailure;
    }
    bool clean = false;
    writeOut(verifyReport(manifest, results, clean));
    return clean ? exitOk : exitNeedsRepair;
}
