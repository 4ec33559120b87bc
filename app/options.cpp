#include "app/options.h"

#include "store/text.h"

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

bool parseRate(const std::wstring& text, std::int64_t& out) {
    if (text.empty()) return false;
    std::int64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value > (std::int64_t{1} << 40) ? value : value * 10 + (c - L'0');
    }
    out = value > (std::int64_t{1} << 40) ? 0 : value;
    return true;
}

CommandLine parseArguments(const std::vector<std::wstring>& args, LaunchOptions& options,
                           std::vector<ArgumentValue>* gameDirAt) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        // The first argument that is not an option ends the options; it and all after it are
        // left alone (they still pass on at a self-restart).
        if (a.size() < 2 || a[0] != L'-') return CommandLine::Read;
        if (a == L"--") return CommandLine::Read;
        std::wstring name = a.substr(a[1] == L'-' ? 2 : 1);
        if (name.empty() || name[0] == L'-' || name[0] == L'=') return CommandLine::Bad;

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
                     : name == L"verify"     ? &options.verify
                                             : nullptr;
        if (flag) {
            if (!hasValue) {
                *flag = true;
            } else if (!parseBool(value, *flag)) {
                return CommandLine::Bad;
            }
        } else if (name == L"manifest" || name == L"dir" || name == L"maxrate") {
            if (!hasValue) {
                // The next argument is the value whatever it looks like, dashes included.
                if (i + 1 >= args.size()) return CommandLine::Bad;
                value = args[++i];
            }
            if (name == L"maxrate") {
                if (!parseRate(value, options.maxRate)) return CommandLine::Bad;
            } else if (name == L"manifest") {
                options.manifestUrl = toUtf8(value);
            } else {
                options.gameDir = value;
                if (gameDirAt) gameDirAt->push_back({i, hasValue});
            }
        } else if (name == L"help" || name == L"h") {
            return CommandLine::Help;
        } else {
            return CommandLine::Bad;
        }
    }
    return CommandLine::Read;
}
