#include "ui/frame.h"

#include "ui/display.h"
#include "ui/scaled_artwork.h"

#include <algorithm>
#include <cmath>

void ScreenFrame::useDpi(int dpi) {
    uiScale_ = dpi >= 96 ? dpi / 96.0 : 1.0;
    const double wanted = uiScale_ * 2;
    std::vector<int> scales{2};
    for (const res::ScaledSet& set : res::scaledSets)
        scales.push_back(set.halves);
    std::sort(scales.begin(), scales.end(), [wanted](int a, int b) {
        const double da = std::abs(a - wanted), db = std::abs(b - wanted);
        return da != db ? da < db : a > b;
    });
    look_ = ui::baseLook();
    for (const int halves : scales) {
        if (halves == 2) break;
        if (loadScaledArtwork(halves)) {
            look_ = *ui::scaledLook(halves);
            break;
        }
    }
    look_.contrast = highContrast_ ? &contrastColors_ : nullptr;
    canvas_ = ui::Canvas(look_.width(), look_.height());
    presentBuffer_.assign(canvas_.bytes(), 0);
    framed_ = false;
}

void ScreenFrame::readContrast() {
    const bool on = highContrastOn();
    const ui::Contrast colors = systemContrast();
    if (on == highContrast_ && (!on || colors == contrastColors_)) return;
    highContrast_ = on;
    contrastColors_ = colors;
    look_.contrast = on ? &contrastColors_ : nullptr;
    framed_ = false;
}

// Client pixels per frame pixel: 1 when the resources hold the window's scale.
double ScreenFrame::frameToClient() const {
    return uiScale_ * 2 / look_.scale.halves;
}

bool ScreenFrame::stretched() const {
    return std::abs(frameToClient() - 1) > 0.001;
}

RECT ScreenFrame::onScreen(ui::Rect r) const {
    // Scaled stretching blends neighbouring pixels: a pixel more on each side covers that.
    const double k = frameToClient();
    const int margin = stretched() ? 1 : 0;
    return {static_cast<int>(r.left * k) - margin, static_cast<int>(r.top * k) - margin,
            static_cast<int>(r.right * k + 0.999) + margin, static_cast<int>(r.bottom * k + 0.999) + margin};
}

void ScreenFrame::show(HWND window, const ScreenView& before, const ScreenView& next) {
    if (!framed_) {
        ui::composeFrame(canvas_, next, look_);
        ui::toBgrx(canvas_, presentBuffer_.data());
        InvalidateRect(window, nullptr, FALSE);
        framed_ = true;
        return;
    }
    for (const ui::Rect area : ui::changedAreas(before, next, look_)) {
        ui::composeArea(canvas_, next, area, look_);
        ui::toBgrx(canvas_, presentBuffer_.data(), area);
        const RECT r = onScreen(area);
        InvalidateRect(window, &r, FALSE);
    }
}

void ScreenFrame::paint(HWND window) const {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(window, &ps);
    const double k = frameToClient();
    const int frameW = canvas_.width(), frameH = canvas_.height();
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
                      presentBuffer_.data() + static_cast<std::size_t>(area.top) * frameW * 4, &info,
                      DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(window, &ps);
}
