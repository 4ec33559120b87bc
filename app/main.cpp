#include "app/launcher.h"

#include <windows.h>

#include <initializer_list>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before any DLL is loaded on demand: only the system folder is searched, never the
    // launcher's own folder, where anyone who can write a download can plant a DLL. WinHTTP
    // and CNG, imported with delay loading, are loaded from there now, so that no later load
    // of them (a system DLL's own import among them) can find another copy first.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    for (const wchar_t* dll : {L"bcrypt.dll", L"winhttp.dll"})
        LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // ExitProcess also ends a session worker that is still running.
    ExitProcess(static_cast<UINT>(runGuarded()));
}
