#include "app/launcher.h"

#include "app/headless.h"
#include "app/launch.h"
#include "app/options.h"
#include "app/session.h"
#include "store/files.h"
#include "store/paths.h"
#include "store/text.h"
#include "sync/game_folder.h"
#include "sync/rate_limit.h"
#include "ui/window.h"

#include <windows.h>

#include <chrono>
#include <exception>
#include <thread>

void showErrorBox(std::string_view text) {
    const std::wstring body = L"The launcher hit an unexpected problem:\n\n" + toWide(text);
    MessageBoxW(nullptr, body.c_str(), L"Vellumark Launcher", MB_ICONERROR);
}

// The window's buttons, carried out by the session driver and the game launch. It lives as
// long as the process: a session the window's close could not wait for still writes status.
class LauncherActions final : public WindowActions {
public:
    explicit LauncherActions(LaunchOptions options) : options_(std::move(options)) {}
    SessionStatus& status() override { return status_; }
    void update(bool repair) override { startSession(options_, &status_, repair); }
    bool play(const std::string& exe) override { return !launchGame(options_.gameDir, exe).failed; }
    void close() override { shutdownSessions(options_.gameDir); }

private:
    LaunchOptions options_;
    SessionStatus status_;
};

int runLauncher() {
    collectArguments();
    LaunchOptions options = defaultOptions();
    switch (parseCommandLine(options)) {
    case CommandLine::Read:
        break;
    case CommandLine::Help:
        return exitOk; // help stays silent
    case CommandLine::Bad:
        return exitBadCommandLine;
    }

    std::wstring self = exePath();
    if (self.empty()) self = L".";
    // A self-replacement moves the previous executable aside under this name; it can only go
    // once that process has ended, which may take it a moment after it started this one. A
    // failure means nothing to anyone: the next start tries again.
    const std::wstring old = self + L".old";
    const auto deadline = std::chrono::steady_clock::now() + oldExecutableWait;
    while (removePath(old) != 0 && fileInfo(old) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    // A folder given on the command line is used as given, made absolute.
    if (options.gameDir.empty()) {
        options.gameDir = resolveGameFolder(self);
    } else {
        makeGameDirAbsolute(options);
    }

    setDownloadRateLimit(options.maxRate * 1024);
    if (options.verify) return runVerify(options);
    if (options.skipUpdate) {
        if (const FileError e = launchGame(options.gameDir, ""); e.failed) showErrorBox(e.message);
    } else if (options.headless) {
        runHeadless(options);
    } else {
        static LauncherActions actions(options);
        runWindow(actions);
    }

    return exitOk;
}

int runGuarded() {
    int code = exitFailure;
    try {
        code = runLauncher();
    } catch (const std::exception& e) {
        showErrorBox(e.what());
    } catch (...) {
        showErrorBox("unknown error");
    }
    return code;
}
