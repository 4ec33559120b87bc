// send_message CLASS MESSAGE [DPI FROM_DPI]: sends a window message with no parameters to the
// first window of the class, as another program's doing would; exit code 1 when there is no
// such window. With DPIs the message is WM_DPICHANGED as the system sends it when a window of
// FROM_DPI moves to a monitor of DPI: the suggested rectangle, in the window's process, lies
// at the screen's top-left corner and scales the client area.
#include <windows.h>

#include <string>

namespace {

int sendDpiChanged(HWND window, UINT message, int dpi, int from) {
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE); // the window's own pixels
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    RECT suggested{0, 0, outer.right - outer.left + client.right * (dpi - from) / from,
                   outer.bottom - outer.top + client.bottom * (dpi - from) / from};
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return 3;
    void* remote =
        VirtualAllocEx(process, nullptr, sizeof suggested, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    const bool written = remote && WriteProcessMemory(process, remote, &suggested, sizeof suggested, nullptr);
    if (written) SendMessageW(window, message, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote));
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return written ? 0 : 3;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 && argc != 5) return 2;
    const HWND window = FindWindowW(argv[1], nullptr);
    if (!window) return 1;
    const auto message = static_cast<UINT>(std::stoul(argv[2]));
    if (argc == 5) return sendDpiChanged(window, message, std::stoi(argv[3]), std::stoi(argv[4]));
    SendMessageW(window, message, 0, 0);
    return 0;
}
