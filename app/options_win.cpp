#include "app/options.h"

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
    wchar_t rate[64];
    const DWORD n = GetEnvironmentVariableW(L"VELLUMARK_MAXRATE", rate, 64);
    if (n >= 64 || (n > 0 && !parseRate(std::wstring(rate, n), options.maxRate))) return CommandLine::Bad;
    return parseArguments(arguments, options, &gameDirArguments);
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
