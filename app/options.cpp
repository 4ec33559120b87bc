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

int parseCommandLine(LaunchOptions& options) {
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

bool parseBool(const std::wstring& text, bool& out) {
    static const wchar_t* const trueTexts[] = {L"1", L"t", L"T", L"TRUE", L"true", L"True"};
    static const wchar_t* const falseTexts[] = {L"0", L"f", L"F", L"FALSE", L"false", L"False"};
    for (const wchar_t* t : trueTexts) {
        if (text == t) return out = true, true;
    }
    for (const wchar_t* t : falseTexts) {
        if (text == t) return out = false, true;
    }
    return false;
}

int parseArguments(const std::vector<std::wstring>& args, LaunchOptions& options,
                   std::vector<ArgumentValue>* gameDirAt) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        // The first argument that is not an option ends the options; it and all after it are
        // left alone (they still pass on at a self-restart).
        if (a.size() < 2 || a[0] != L'-') return optionsRead;
        if (a == L"--") return optionsRead;
        std::wstring name = a.substr(a[1] == L'-' ? 2 : 1);
        if (name.empty() || name[0] == L'-' || name[0] == L'=') return badCommandLine;

        std::wstring value;
        bool hasValue = false;
        if (const std::size_t eq = name.find(L'='); eq != std::wstring::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            hasValue = true;
        }

        bool* flag = name == L"nolaunch"     ? &options.noLaunch
                     : name == L"skipupdate" ? &options.skipUpdate
                     : name == L"headless"   ? &options.headless
                                             : nullptr;
        if (flag) {
            if (!hasValue) {
                *flag = true;
            } else if (!parseBool(value, *flag)) {
                return badCommandLine;
            }
        } else if (name == L"manifest" || name == L"dir") {
            if (!hasValue) {
                // The next argument is the value whatever it looks like, dashes included.
                if (i + 1 >= args.size()) return badCommandLine;
                value = args[++i];
            }
            if (name == L"manifest") {
                options.manifestUrl = toUtf8(value);
            } else {
                options.gameDir = value;
                if (gameDirAt) gameDirAt->push_back({i, hasValue});
            }
        } else if (name == L"help" || name == L"h") {
            return helpRequested;
        } else {
            return badCommandLine;
        }
    }
    return optionsRead;
}
