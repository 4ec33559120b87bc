#include "store/holders.h"

#include "store/handle.h"
#include "store/text.h"

#include <windows.h>

#include <restartmanager.h>

namespace {

using StartSession = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using EndSession = DWORD(WINAPI*)(DWORD);
using RegisterResources = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
using GetList = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, LPDWORD);

// The Restart Manager, loaded from the system folder alone on first use and kept for the
// process's life; null functions when it is not there.
struct RestartManager {
    StartSession start = nullptr;
    EndSession end = nullptr;
    RegisterResources registerResources = nullptr;
    GetList getList = nullptr;

    RestartManager() {
        const HMODULE module = LoadLibraryExW(L"rstrtmgr.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module) return;
        start =
            reinterpret_cast<StartSession>(reinterpret_cast<void*>(GetProcAddress(module, "RmStartSession")));
        end = reinterpret_cast<EndSession>(reinterpret_cast<void*>(GetProcAddress(module, "RmEndSession")));
        registerResources = reinterpret_cast<RegisterResources>(
            reinterpret_cast<void*>(GetProcAddress(module, "RmRegisterResources")));
        getList = reinterpret_cast<GetList>(reinterpret_cast<void*>(GetProcAddress(module, "RmGetList")));
    }
    bool usable() const { return start && end && registerResources && getList; }
};

// One Restart Manager session, ended on every path.
class Session {
public:
    explicit Session(const RestartManager& rm) : rm_(rm) {
        WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
        open_ = rm_.start(&handle_, 0, key) == ERROR_SUCCESS;
    }
    ~Session() {
        if (open_) rm_.end(handle_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    bool open() const { return open_; }
    DWORD handle() const { return handle_; }

private:
    const RestartManager& rm_;
    DWORD handle_ = 0;
    bool open_ = false;
};

// The file name of a process's executable, or the name the Restart Manager gave it.
std::string programName(const RM_PROCESS_INFO& info) {
    const KernelHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, info.Process.dwProcessId));
    wchar_t image[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    if (process && QueryFullProcessImageNameW(process.get(), 0, image, &size)) {
        const std::wstring path(image, size);
        return toUtf8(path.substr(path.find_last_of(L"\\/") + 1));
    }
    return toUtf8(info.strAppName);
}

} // namespace

std::vector<std::string> programsHolding(const std::vector<std::wstring>& paths) {
    static const RestartManager rm;
    std::vector<std::string> programs;
    if (!rm.usable() || paths.empty()) return programs;
    const Session session(rm);
    if (!session.open()) return programs;
    std::vector<LPCWSTR> names;
    for (const std::wstring& p : paths)
        names.push_back(p.c_str());
    if (rm.registerResources(session.handle(), static_cast<UINT>(names.size()), names.data(), 0, nullptr, 0,
                             nullptr) != ERROR_SUCCESS) {
        return programs;
    }
    std::vector<RM_PROCESS_INFO> infos(4);
    for (int attempt = 0; attempt < 3; ++attempt) {
        UINT needed = 0, count = static_cast<UINT>(infos.size());
        DWORD reasons = 0;
        const DWORD result = rm.getList(session.handle(), &needed, &count, infos.data(), &reasons);
        if (result == ERROR_MORE_DATA) { // more holders than room: ask again with enough
            infos.resize(needed + 2);
            continue;
        }
        if (result != ERROR_SUCCESS) return programs;
        for (UINT i = 0; i < count && i < infos.size(); ++i) {
            if (infos[i].Process.dwProcessId != GetCurrentProcessId())
                programs.push_back(programName(infos[i]));
        }
        break;
    }
    return programs;
}
