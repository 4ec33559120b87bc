#include "ui/window.h"

#include "ui/accessible.h"
#include "ui/compose.h"
#include "ui/display.h"
#include "ui/scaled_artwork.h"
#include "ui/taskbar.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <stdexcept>
#include <vector>

namespace {

// The animation clock's zero, read once during static initialisation.
const auto processStart = std::chrono::steady_clock::now();

constexpr int width = ui::canvasWidth, height = ui::canvasHeight; // logical pixels
constexpr DWORD windowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// What the window works with; main thread only, but the status, which sessions write.
WindowActions* actions = nullptr;
ScreenView view; // what the frame on screen shows
// The window's DPI over 96 (1 at least); what frames are drawn with at that DPI, and the
// system's colours while high contrast is on.
double uiScale = 1;
ui::Look look;
ui::Contrast contrastColors;
bool highContrast = false;
bool overButton = false, overRepair = false, buttonDown = false;
// The control Tab reached; shown only once the keyboard was used, as the system does.
Focus keyboardFocus = Focus::None;
bool keyboardUsed = false;
HCURSOR arrowCursor = nullptr, handCursor = nullptr;
// The frame, in the look's pixels, and its screen form.
ui::Canvas canvas;
std::vector<std::uint8_t> presentBuffer(ui::canvasBytes);

int scaled(int logical) {
    return static_cast<int>(uiScale * logical + 0.5);
}

// Client pixels per frame pixel: 1 when the resources hold the window's scale.
double frameToClient() {
    return uiScale * 2 / look.scale.halves;
}

void hitTest(int x, int y) {
    const ui::Hit hit = ui::hitTest(x, y);
    overButton = hit.button;
    overRepair = hit.repairLink;
}

void hitTestAt(LPARAM lParam) {
    const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
    hitTest(static_cast<int>(x / uiScale), static_cast<int>(y / uiScale));
}

TaskbarButton taskbar;
UINT taskbarButtonCreated = 0;

// The frame on screen is kept in canvas and, in the screen's form, in presentBuffer; each
// tick redraws only the parts of the frame whose look changed since, and asks the system to
// show only those.
bool framed = false;

bool stretched() {
    return std::abs(frameToClient() - 1) > 0.001;
}

RECT onScreen(ui::Rect r) {
    // Scaled stretching blends neighbouring pixels: a pixel more on each side covers that.
    const double k = frameToClient();
    const int margin = stretched() ? 1 : 0;
    return {static_cast<int>(r.left * k) - margin, static_cast<int>(r.top * k) - margin,
            static_cast<int>(r.right * k + 0.999) + margin, static_cast<int>(r.bottom * k + 0.999) + margin};
}

// Draws at the scale the resources hold nearest the DPI (the larger of two as near), decoding
// its set the first time; the frame is stretched only when no set matches exactly.
void useDpi(int dpi) {
    uiScale = dpi >= 96 ? dpi / 96.0 : 1.0;
    const double wanted = uiScale * 2;
    std::vector<int> scales{2};
    for (const res::ScaledSet& set : res::scaledSets)
        scales.push_back(set.halves);
    std::sort(scales.begin(), scales.end(), [wanted](int a, int b) {
        const double da = std::abs(a - wanted), db = std::abs(b - wanted);
        return da != db ? da < db : a > b;
    });
    look = ui::baseLook();
    for (const int halves : scales) {
        if (halves == 2) break;
        if (loadScaledArtwork(halves)) {
            look = *ui::scaledLook(halves);
            break;
        }
    }
    look.contrast = highContrast ? &contrastColors : nullptr;
    canvas = ui::Canvas(look.width(), look.height());
    presentBuffer.assign(canvas.bytes(), 0);
    framed = false;
}

// Reads the high-contrast setting and the system's colours; the whole frame is drawn again
// when either changed.
void readContrast() {
    const bool on = highContrastOn();
    const ui::Contrast colors = systemContrast();
    if (on == highContrast && (!on || colors == contrastColors)) return;
    highContrast = on;
    contrastColors = colors;
    look.contrast = on ? &contrastColors : nullptr;
    framed = false;
}

void refresh(HWND window) {
    const double time =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - processStart).count();
    const SessionSnapshot snapshot = takeSnapshot(actions->status());
    taskbar.show(window, taskbarProgress(snapshot));
    ScreenView next = buildView(snapshot, time);
    next.buttonHover = overButton && next.buttonEnabled;
    next.buttonPressed = buttonDown && overButton && next.buttonEnabled;
    next.repairHover = overRepair && next.repairVisible;
    // A control that went away (the link while a repair runs) takes the focus with it.
    if ((keyboardFocus == Focus::Link && !next.repairVisible) ||
        (keyboardFocus == Focus::Button && next.buttonLabel.empty()))
        keyboardFocus = Focus::None;
    next.focus = keyboardUsed ? keyboardFocus : Focus::None;
    if (framed) announceChanges(window, view, next);
    if (!framed) {
        ui::composeFrame(canvas, next, look);
        ui::toBgrx(canvas, presentBuffer.data());
        InvalidateRect(window, nullptr, FALSE);
        framed = true;
    } else {
        for (const ui::Rect area : ui::changedAreas(view, next, look)) {
            ui::composeArea(canvas, next, area, look);
            ui::toBgrx(canvas, presentBuffer.data(), area);
            const RECT r = onScreen(area);
            InvalidateRect(window, &r, FALSE);
        }
    }
    view = std::move(next);
}

// Shows the part of the frame the system asks for.
void paint(HWND window) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(window, &ps);
    const double k = frameToClient();
    const int frameW = canvas.width(), frameH = canvas.height();
    const ui::Rect area = ui::intersect(
        {static_cast<int>(ps.rcPaint.left / k), static_cast<int>(ps.rcPaint.top / k),
         static_cast<int>(ps.rcPaint.right / k + 0.999), static_cast<int>(ps.rcPaint.bottom / k + 0.999)},
        {0, 0, frameW, frameH});
    if (!area.empty()) {
        // The picture handed over is the rows of the area alone, so its orientation cannot
        // move the source rectangle.
        const int rows = area.bottom - area.top;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = frameW;
        info.bmiHeader.biHeight = -rows; // top to bottom
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(dc, stretched() ? HALFTONE : COLORONCOLOR);
        const auto client = [k](int v) { return static_cast<int>(v * k + 0.5); };
        const int x = client(area.left), y = client(area.top);
        StretchDIBits(dc, x, y, client(area.right) - x, client(area.bottom) - y, area.left, 0,
                      area.right - area.left, rows,
                      presentBuffer.data() + static_cast<std::size_t>(area.top) * frameW * 4, &info,
                      DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(window, &ps);
}

void clickMainButton(HWND window) {
    const SessionSnapshot s = takeSnapshot(actions->status());
    if (view.buttonLabel == "RETRY") {
        actions->update(false);
    } else if (view.buttonEnabled && actions->play(s.exe)) {
        DestroyWindow(window); // the launcher closes once the game has started
    }
}

// Tab and Shift+Tab move between the button and the link (when shown); Enter and Space press
// the focused control; Enter presses the button when nothing has the focus.
void handleKey(HWND window, WPARAM key) {
    keyboardUsed = true;
    if (key == VK_TAB) {
        std::vector<Focus> order;
        if (!view.buttonLabel.empty()) order.push_back(Focus::Button);
        if (view.repairVisible) order.push_back(Focus::Link);
        if (order.empty()) return;
        const bool back = GetKeyState(VK_SHIFT) < 0;
        auto at = std::find(order.begin(), order.end(), keyboardFocus);
        if (at == order.end()) {
            keyboardFocus = back ? order.back() : order.front();
        } else {
            const std::size_t i = static_cast<std::size_t>(at - order.begin());
            keyboardFocus = order[(i + (back ? order.size() - 1 : 1)) % order.size()];
        }
        refresh(window);
    } else if ((key == VK_RETURN || key == VK_SPACE) && keyboardFocus == Focus::Link) {
        if (view.repairVisible) actions->update(true);
    } else if (key == VK_SPACE ? keyboardFocus == Focus::Button : key == VK_RETURN) {
        if (view.buttonEnabled) clickMainButton(window);
    }
}

// An exception must never unwind through the system's code that called the window
// procedure: it ends the message loop, and runWindow raises it again on its own stack.
std::exception_ptr windowFailure;

LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarButtonCreated && message != 0) {
        taskbar.attach(); // again after the shell restarted, too
        return 0;
    }
    switch (message) {
    case WM_TIMER: {
        POINT p;
        if (GetCursorPos(&p) && ScreenToClient(window, &p)) {
            hitTest(static_cast<int>(p.x / uiScale), static_cast<int>(p.y / uiScale));
        }
        refresh(window);
        return 0;
    }
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1; // every paint covers the whole client area
    case WM_SETCURSOR: {
        const bool hand = LOWORD(lParam) == HTCLIENT &&
                          ((overButton && view.buttonEnabled) || (overRepair && view.repairVisible));
        SetCursor(hand ? handCursor : arrowCursor);
        return 1;
    }
    case WM_MOUSEMOVE:
        hitTestAt(lParam);
        return 0;
    case WM_LBUTTONDOWN:
        hitTestAt(lParam);
        if (overButton && view.buttonEnabled) {
            buttonDown = true;
            SetCapture(window);
        }
        return 0;
    case WM_CAPTURECHANGED:
        buttonDown = false;
        return 0; // a press another window took away
    case WM_LBUTTONUP: {
        const bool wasDown = buttonDown;
        buttonDown = false;
        ReleaseCapture();
        hitTestAt(lParam);
        if (wasDown && overButton) {
            clickMainButton(window);
        } else if (overRepair && view.repairVisible) {
            actions->update(true);
        }
        return 0;
    }
    case WM_KEYDOWN:
        handleKey(window, wParam);
        return 0;
    case WM_DPICHANGED: {
        // Moved to a monitor of another DPI: drawn anew at its scale, in the rectangle the
        // system suggests.
        const int dpi = LOWORD(wParam);
        useDpi(dpi);
        const RECT* r = reinterpret_cast<const RECT*>(lParam);
        const SIZE needed = outerSize(scaled(width), scaled(height), windowStyle, dpi);
        const ui::Rect screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                              GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                              GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
        if (r && ui::saneWindowRect({r->left, r->top, r->right, r->bottom}, needed.cx, needed.cy, screen)) {
            SetWindowPos(window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            // Anything else keeps the window where it is, at the size the DPI needs.
            SetWindowPos(window, nullptr, 0, 0, needed.cx, needed.cy,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        refresh(window);
        return 0;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
        readContrast();
        if (!framed) refresh(window);
        return message == WM_SETTINGCHANGE ? DefWindowProcW(window, message, wParam, lParam) : 0;
    case WM_GETOBJECT:
        return answerGetObject(window, wParam, lParam, &view, &uiScale);
    case pressButtonMessage: // the button's default action, as assistive technology asks it
        if (view.buttonEnabled) clickMainButton(window);
        return 0;
    case startRepairMessage:
        if (view.repairVisible) actions->update(true);
        return 0;
    case WM_CLOSE:
        actions->close();
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        disconnectAccessible();
        taskbar.reset();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        return handleMessage(window, message, wParam, lParam);
    } catch (...) {
        if (!windowFailure) windowFailure = std::current_exception();
        PostQuitMessage(1);
        return 0;
    }
}

} // namespace

const std::uint8_t* loadResource(int number, std::size_t minSize) {
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(number), MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (!found || SizeofResource(nullptr, found) < minSize)
        throw std::runtime_error("the launcher's artwork is missing");
    const HGLOBAL loaded = LoadResource(nullptr, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) throw std::runtime_error("the launcher's artwork is missing");
    return static_cast<const std::uint8_t*>(data);
}

void runWindow(WindowActions& launcher) {
    actions = &launcher;
    const std::uint8_t* resources[res::count];
    for (int i = 0; i < res::count; ++i)
        resources[i] = loadResource(res::all[i].id, res::all[i].bytes);
    ui::bindArtwork(resources);

    // The taskbar's interface is a COM object of the shell, used from this thread alone.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    struct ComScope {
        bool entered;
        ~ComScope() {
            if (entered) CoUninitialize();
        }
    } comScope{SUCCEEDED(com)};
    taskbarButtonCreated = RegisterWindowMessageW(L"TaskbarButtonCreated");
    // The manifest declares the process aware of each monitor's DPI: until the window exists,
    // the system's DPI is the best guess.
    const int dpi = systemDpi();
    readContrast();
    useDpi(dpi);

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    arrowCursor = LoadCursorW(nullptr, IDC_ARROW);
    handCursor = LoadCursorW(nullptr, IDC_HAND);
    const auto icon = [instance](int w, int h) {
        return static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, w, h, LR_DEFAULTCOLOR));
    };
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = icon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    wc.hIconSm = icon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    wc.hCursor = arrowCursor;
    wc.lpszClassName = L"VellumarkLauncher";
    RegisterClassExW(&wc);

    constexpr DWORD style = windowStyle;
    const SIZE outer = outerSize(scaled(width), scaled(height), style, dpi);
    const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - static_cast<int>(outer.cx)) / 2);
    const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - static_cast<int>(outer.cy)) / 2);
    const HWND window = CreateWindowExW(0, wc.lpszClassName, L"Vellumark", style, x, y, outer.cx, outer.cy,
                                        nullptr, nullptr, instance, nullptr);
    if (!window) throw std::runtime_error("could not create window");
    // Made on a monitor of another DPI than the system's: sized and drawn for that one.
    if (const int own = windowDpi(window); own >= 48 && own != dpi) {
        useDpi(own);
        const SIZE resized = outerSize(scaled(width), scaled(height), style, own);
        SetWindowPos(window, nullptr, 0, 0, resized.cx, resized.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    taskbar.attach(); // the shell may never announce the button
    actions->update(false);
    refresh(window);
    SetTimer(window, 1, frameInterval, nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (windowFailure) std::rethrow_exception(windowFailure);
}
