// send_message CLASS MESSAGE: sends a window message with no parameters to the first window
// of the class, as another program's doing would; exit code 1 when there is no such window.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    const HWND window = FindWindowW(argv[1], nullptr);
    if (!window) return 1;
    SendMessageW(window, static_cast<UINT>(std::stoul(argv[2])), 0, 0);
    return 0;
}
