#include "app/launch.h"

#include "store/files.h"
#include "store/handle.h"
#include "store/paths.h"
#include "store/state.h"
#include "store/text.h"

std::string findGameExe(const std::wstring& gameDir) {
    const InstallState state = loadInstallState(gameDir);
    if (!state.exe.empty() && fileInfo(joinGamePath(gameDir, state.exe))) return state.exe;
    for (const char* name : {"Vellumark Online.exe", "Vellumark.exe"}) {
        if (fileInfo(joinPath(gameDir, toWide(name)))) return name;
    }
    return "Vellumark Online.exe";
}

bool launchGame(const std::wstring& gameDir, const std::string& exe, std::string* errorText) {
    const std::wstring program = joinGamePath(gameDir, exe.empty() ? findGameExe(gameDir) : exe);
    bool isDir = false;
    if (!fileInfo(program, nullptr, nullptr, &isDir) || isDir) {
        if (errorText) *errorText = "exec: \"" + toUtf8(program) + "\": file does not exist";
        return false;
    }
    std::uint32_t code = 0;
    if (!startProcess(program, {}, gameDir, &code)) {
        if (errorText) *errorText = "fork/exec " + toUtf8(program) + ": " + systemText(code);
        return false;
    }
    return true;
}

bool startProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                  const std::wstring& workingDir, std::uint32_t* code) {
    std::wstring commandLine = quoteArgument(program);
    for (const std::wstring& a : arguments)
        commandLine += L" " + quoteArgument(a);

    // The started program gets the NUL device as its standard handles, never the launcher's
    // console or pipes.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    FileHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (nul) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
    }
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, nul.valid(),
                                        CREATE_UNICODE_ENVIRONMENT, nullptr,
                                        workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info);
    const DWORD error = started ? 0 : lastErrorCode();
    if (started) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    if (code) *code = error;
    return started != 0;
}
