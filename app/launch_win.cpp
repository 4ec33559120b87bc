#include "app/launch.h"

#include "net/manifest.h"
#include "store/files.h"
#include "store/handle.h"
#include "store/paths.h"
#include "store/text.h"
#include "sync/game_folder.h"
#include "sync/state.h"

#include <vector>

std::string findGameExe(const std::wstring& gameDir) {
    const InstallState state = loadInstallState(gameDir);
    // The state file is only a file in the folder: what it names is started only when it
    // obeys the rules a manifest's executable obeys.
    if (!state.exe.empty() && !checkManifestPath(state.exe).failed &&
        fileInfo(joinGamePath(gameDir, state.exe)))
        return state.exe;
    for (const std::string_view name : gameExeNames) {
        if (fileInfo(joinGamePath(gameDir, name))) return std::string(name);
    }
    return std::string(gameExeNames[0]);
}

FileError launchGame(const std::wstring& gameDir, const std::string& exe) {
    const std::wstring program = joinGamePath(gameDir, exe.empty() ? findGameExe(gameDir) : exe);
    bool isDir = false;
    if (!fileInfo(program, nullptr, nullptr, &isDir) || isDir) {
        return plainFailure("exec: \"" + toUtf8(program) + "\": file does not exist");
    }
    if (const std::uint32_t code = startProcess(program, {}, gameDir)) {
        FileError e = plainFailure("fork/exec " + toUtf8(program) + ": " + systemText(code));
        e.code = code;
        return e;
    }
    return {};
}

std::uint32_t startProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                           const std::wstring& workingDir) {
    std::wstring commandLine = quoteArgument(program);
    for (const std::wstring& a : arguments)
        commandLine += L" " + quoteArgument(a);

    // The started program gets the NUL device as its standard handles, never the launcher's
    // console or pipes, and inherits no other handle: a script reading the launcher's output
    // through a pipe must see its end when the launcher exits, however long the game runs.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    FileHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    HANDLE inherited[] = {nul.get()};
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> listBuffer(listSize);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBuffer.data());
    const bool listed = nul && InitializeProcThreadAttributeList(list, 1, 0, &listSize);
    if (listed && UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                            sizeof inherited, nullptr, nullptr)) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = startup.StartupInfo.hStdOutput = startup.StartupInfo.hStdError =
            nul.get();
        startup.lpAttributeList = list;
    }
    // Without the list nothing is inherited at all, the NUL handles included.
    const bool inheritNul = startup.lpAttributeList != nullptr;
    PROCESS_INFORMATION info{};
    const BOOL started =
        CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, inheritNul,
                       CREATE_UNICODE_ENVIRONMENT | (inheritNul ? EXTENDED_STARTUPINFO_PRESENT : 0), nullptr,
                       workingDir.empty() ? nullptr : workingDir.c_str(), &startup.StartupInfo, &info);
    const DWORD error = started ? 0 : lastErrorCode();
    if (listed) DeleteProcThreadAttributeList(list);
    // The process and thread handles are not kept: the launcher never waits for the game.
    KernelHandle process(info.hProcess), thread(info.hThread);
    return started ? 0 : error;
}
