#include "ui/window.h"

#include "ui/accessible.h"
#include "ui/compose.h"
#include "ui/display.h"
#include "ui/frame.h"
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
ScreenFrame frame;
bool overButton = false, overRepair = false, buttonDown = false;
// The control Tab reached; shown only once the keyboard was used, as the system does.
Focus keyboardFocus = Focus::None;
bool keyboardUsed = false;
HCURSOR arrowCursor = nullptr, handCursor = nullptr;

void hitTest(int x, int y) {
    const ui::Hit hit = ui::hitTest(x, y);
    overButton = hit.button;
    overRepair = hit.repairLink;
}

void hitTestAt(LPARAM lParam) {
    const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
    hitTest(static_cast<int>(x / frame.scale()), static_cast<int>(y / frame.scale()));
}

TaskbarButton taskbar;
UINT taskbarButtonCreated = 0;

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
    if (frame.drawn()) announceChanges(window, view, next);
    frame.show(window, view, next);
    view = std::move(next);
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

// The animation's tick: the pointer looked at again (it may have left without a message), and
// the frame brought up to date.
void tick(HWND window) {
    POINT p;
    if (GetCursorPos(&p) && ScreenToClient(window, &p))
        hitTest(static_cast<int>(p.x / frame.scale()), static_cast<int>(p.y / frame.scale()));
    refresh(window);
}

void handleMouse(HWND window, UINT message, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
        hitTestAt(lParam);
        return;
    case WM_LBUTTONDOWN:
        hitTestAt(lParam);
        if (overButton && view.buttonEnabled) {
            buttonDown = true;
            SetCapture(window);
        }
        return;
    case WM_CAPTURECHANGED:
        buttonDown = false; // a press another window took away
        return;
    default: { // WM_LBUTTONUP
        const bool wasDown = buttonDown;
        buttonDown = false;
        ReleaseCapture();
        hitTestAt(lParam);
        if (wasDown && overButton) {
            clickMainButton(window);
        } else if (overRepair && view.repairVisible) {
            actions->update(true);
        }
    }
    }
}

// Moved to a monitor of another DPI: drawn anew at its scale, in the rectangle the system
// suggests when it is sane.
void moveToDpi(HWND window, int dpi, const RECT* r) {
    frame.useDpi(dpi);
    const SIZE needed = outerSize(frame.scaled(width), frame.scaled(height), windowStyle, dpi);
    const ui::Rect screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                          GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                          GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (r && ui::saneWindowRect({r->left, r->top, r->right, r->bottom}, needed.cx, needed.cy, screen)) {
        SetWindowPos(window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        // Anything else keeps the window where it is, at the size the DPI needs.
        SetWindowPos(window, nullptr, 0, 0, needed.cx, needed.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    refresh(window);
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
    case WM_TIMER:
        tick(window);
        return 0;
    case WM_PAINT:
        frame.paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;      // every paint covers the whole client area
    case WM_SETCURSOR: // a hand over what can be clicked
        SetCursor(LOWORD(lParam) == HTCLIENT &&
                          ((overButton && view.buttonEnabled) || (overRepair && view.repairVisible))
                      ? handCursor
                      : arrowCursor);
        return 1;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_CAPTURECHANGED:
    case WM_LBUTTONUP:
        handleMouse(window, message, lParam);
        return 0;
    case WM_KEYDOWN:
        handleKey(window, wParam);
        return 0;
    case WM_DPICHANGED:
        moveToDpi(window, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
        frame.readContrast();
        if (!frame.drawn()) refresh(window);
        return message == WM_SETTINGCHANGE ? DefWindowProcW(window, message, wParam, lParam) : 0;
    case WM_GETOBJECT:
        return answerGetObject(window, wParam, lParam, &view, frame.scaleSource());
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

// The window, centred, sized for the DPI it is made at.
HWND makeWindow(int dpi) {
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
    const SIZE outer = outerSize(frame.scaled(width), frame.scaled(height), style, dpi);
    const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - static_cast<int>(outer.cx)) / 2);
    const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - static_cast<int>(outer.cy)) / 2);
    const HWND window = CreateWindowExW(0, wc.lpszClassName, L"Vellumark", style, x, y, outer.cx, outer.cy,
                                        nullptr, nullptr, instance, nullptr);
    if (!window) throw std::runtime_error("could not create window");
    // Made on a monitor of another DPI than the system's: sized and drawn for that one.
    if (const int own = windowDpi(window); own >= 48 && own != dpi) {
        frame.useDpi(own);
        const SIZE resized = outerSize(frame.scaled(width), frame.scaled(height), style, own);
        SetWindowPos(window, nullptr, 0, 0, resized.cx, resized.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    return window;
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
    frame.readContrast();
    frame.useDpi(dpi);

    const HWND window = makeWindow(dpi);
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
