// The demo's stand-in for the game: a window that says the game has started.
#include <windows.h>

namespace {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(window, &ps);
        RECT area;
        GetClientRect(window, &area);
        const HBRUSH background = CreateSolidBrush(RGB(28, 18, 40));
        FillRect(dc, &area, background);
        DeleteObject(background);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(250, 232, 178));
        // Centred as a block: the text is measured first, then drawn in the middle.
        const wchar_t* text =
            L"Vellumark Online has started.\n\n(This is the demo game. Close this window to quit.)";
        RECT measured = area;
        DrawTextW(dc, text, -1, &measured, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
        const int height = measured.bottom - measured.top;
        area.top += (area.bottom - area.top - height) / 2;
        DrawTextW(dc, text, -1, &area, DT_CENTER | DT_WORDBREAK);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"VellumarkDemoGame";
    RegisterClassExW(&wc);
    const HWND window =
        CreateWindowExW(0, wc.lpszClassName, L"Vellumark Online", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 640, 360, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, SW_SHOW);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
