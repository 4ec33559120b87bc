#include "app/launcher.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // ExitProcess also ends a session worker that is still running.
    ExitProcess(static_cast<UINT>(runGuarded()));
}
