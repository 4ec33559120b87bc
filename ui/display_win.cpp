#include "ui/display.h"

namespace {

// The DPI functions of Windows 10, looked up: the launcher also runs on Windows 8.1.
template <class F> F user32Function(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

ui::Color systemColor(int index) {
    const COLORREF c = GetSysColor(index);
    return {GetRValue(c), GetGValue(c), GetBValue(c), 255};
}

} // namespace

int systemDpi() {
    int dpi = 96;
    if (const HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }
    return dpi;
}

int windowDpi(HWND window) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = user32Function<DpiForWindow>("GetDpiForWindow");
    return dpiForWindow ? static_cast<int>(dpiForWindow(window)) : 0;
}

SIZE outerSize(int width, int height, DWORD style, int dpi) {
    using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = user32Function<AdjustForDpi>("AdjustWindowRectExForDpi");
    RECT outer{0, 0, width, height};
    if (adjustForDpi)
        adjustForDpi(&outer, style, FALSE, 0, static_cast<UINT>(dpi));
    else
        AdjustWindowRectEx(&outer, style, FALSE, 0);
    return {outer.right - outer.left, outer.bottom - outer.top};
}

bool highContrastOn() {
    wchar_t forced[4] = {};
    if (GetEnvironmentVariableW(L"VELLUMARK_HIGH_CONTRAST", forced, 4) == 1 &&
        (forced[0] == L'0' || forced[0] == L'1'))
        return forced[0] == L'1';
    HIGHCONTRASTW hc{sizeof hc, 0, nullptr};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
}

ui::Contrast systemContrast() {
    return {systemColor(COLOR_WINDOW),        systemColor(COLOR_WINDOWTEXT), systemColor(COLOR_HIGHLIGHT),
            systemColor(COLOR_HIGHLIGHTTEXT), systemColor(COLOR_BTNFACE),    systemColor(COLOR_BTNTEXT),
            systemColor(COLOR_GRAYTEXT),      systemColor(COLOR_HOTLIGHT)};
}
