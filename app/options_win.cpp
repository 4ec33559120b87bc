#include "app/options.h"

#include "app/player_message.h"
#include "base/log.h"
#include "store/text.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>

#ifndef VELLUMARK_MANIFEST_URL
#error "VELLUMARK_MANIFEST_URL is set by the build"
#endif

namespace {

std::vector<std::wstring> arguments;
// The arguments that gave the game folder, so that it can be written there as an absolute path.
std::vector<ArgumentValue> gameDirArguments;

} // namespace

std::string defaultManifestUrl() {
    return VELLUMARK_MANIFEST_URL;
}

LaunchOptions defaultOptions() {
    LaunchOptions options;
    options.manifestUrl = defaultManifestUrl();
    return options;
}

void collectArguments() {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return;
    arguments.assign(argv + std::min(count, 1), argv + count);
    LocalFree(argv);
}

const std::vector<std::wstring>& launcherArguments() {
    return arguments;
}

CommandLine parseCommandLine(LaunchOptions& options) {
    // The environment gives the rate limit unless the command line does.
    std::wstring rate(GetEnvironmentVariableW(L"VELLUMARK_MAXRATE", nullptr, 0), L'\0');
    const DWORD n =
        GetEnvironmentVariableW(L"VELLUMARK_MAXRATE", rate.data(), static_cast<DWORD>(rate.size()));
    rate.resize(std::min<std::size_t>(n, rate.size()));
    const bool badRate = n > 0 && !parseRate(rate, options.maxRate);
    const CommandLine read = parseArguments(arguments, options, &gameDirArguments);
    if (!badRate || read != CommandLine::Read) return read;
    // A script hears of a bad value at once. A player may not know a persistent variable is
    // set at all: the window ignores it, says so in the log, and the game can still start.
    if (options.headless || options.verify) return CommandLine::Bad;
    appendLog("ignored VELLUMARK_MAXRATE: " + shortened(toUtf8(rate), maxLoggedBytes));
    return read;
}

void makeGameDirAbsolute(LaunchOptions& options) {
    if (options.gameDir.empty()) return;
    std::wstring full(32768, L'\0');
    const DWORD n =
        GetFullPathNameW(options.gameDir.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size()) return;
    full.resize(n);
    options.gameDir = full;
    // A restart passes the arguments on; the restarted launcher runs in its own folder.
    for (const ArgumentValue& at : gameDirArguments) {
        std::wstring& a = arguments[at.index];
        a = at.afterEquals ? a.substr(0, a.find(L'=') + 1) + full : full;
    }
}
