#include "app/launcher.h"

#include "app/error_box.h"
#include "app/game_folder.h"
#include "app/headless.h"
#include "app/launch.h"
#include "app/options.h"
#include "store/files.h"
#include "store/paths.h"
#include "ui/window.h"

#include <exception>

int runLauncher() {
    collectArguments();
    LaunchOptions options = defaultOptions();
    if (const int result = parseCommandLine(options); result != optionsRead) return result;

    std::wstring self = exePath();
    if (self.empty()) self = L".";
    // A self-replacement moves the previous executable aside under this name; it can only go
    // once that process has ended, which is now. A failure means nothing to anyone.
    removePath(self + L".old");

    // A folder given on the command line is used exactly as given.
    if (options.gameDir.empty()) options.gameDir = resolveGameFolder(self);

    if (options.skipUpdate) {
        std::string error;
        if (!launchGame(options.gameDir, "", &error)) showErrorBox(error);
    } else if (options.headless) {
        runHeadless(options);
    } else {
        runWindow(options);
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
