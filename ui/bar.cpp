#include "ui/bar.h"

#include "ui/font.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ui {

void fillRoundedRect(Canvas& canvas, Rect rect, int r, const ColorFunction& color) {
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) return;
    const Rect area = intersect(canvas.clip(), rect);
    for (int i = area.top - rect.top; i < area.bottom - rect.top; ++i) {
        for (int j = area.left - rect.left; j < area.right - rect.left; ++j) {
            double coverage = 1;
            int cx = 0, cy = 0;
            bool corner = true;
            if (j < r && i < r) {
                cx = r, cy = r;
            } else if (j >= w - r && i < r) {
                cx = w - r, cy = r;
            } else if (j < r && i >= h - r) {
                cx = r, cy = h - r;
            } else if (j >= w - r && i >= h - r) {
                cx = w - r, cy = h - r;
            } else {
                corner = false;
            }
            if (corner && cx >= 0) {
                const double d = std::hypot(j + 0.5 - cx, i + 0.5 - cy);
                coverage = std::min(1.0, std::max(0.0, r + 0.5 - d));
            }
            if (coverage == 0) continue;
            blendPixel(canvas, rect.left + j, rect.top + i, color(j, i), coverage);
        }
    }
}

namespace {

Rect inset(Rect r, int by) {
    return {r.left + by, r.top + by, r.right - by, r.bottom - by};
}

std::uint8_t mix(double from, double to, double t) {
    return static_cast<std::uint8_t>(static_cast<int>((1 - t) * from + t * to + 0.5));
}

std::uint8_t lighten(int c, double scale, double add) {
    return static_cast<std::uint8_t>(static_cast<int>(c * scale + add + 0.5));
}

} // namespace

void bar(Canvas& canvas, Rect rect, double value, bool indeterminate, double time, const BarPalette& palette,
         const std::string& label) {
    const int frameH = rect.bottom - rect.top;
    fillRoundedRect(canvas, rect, 12, [frameH](int, int y) {
        const double t = static_cast<double>(y) / frameH;
        return Color{mix(240, 150, t), mix(190, 96, t), mix(70, 20, t), 255};
    });
    fillRoundedRect(canvas, inset(rect, 3), 10, [](int, int) { return Color{58, 34, 10, 255}; });
    const Rect well = inset(rect, 5);
    const int wellH = well.bottom - well.top;
    fillRoundedRect(canvas, well, 8, [wellH](int, int y) {
        const double t = static_cast<double>(y) / wellH;
        return Color{mix(14, 34, t), mix(8, 20, t), mix(4, 10, t), 255};
    });

    const int wellW = well.right - well.left;
    int fill = 0, offset = 0;
    if (indeterminate) {
        fill = wellW * 3 / 10;
        offset = static_cast<int>((wellW - fill) * ((std::sin(time * 2.4 - std::numbers::pi / 2) + 1) * 0.5));
    } else {
        fill = static_cast<int>(std::round(wellW * std::min(1.0, std::max(0.0, value))));
    }
    if (fill > 0) {
        const bool striped = indeterminate || value < 1;
        const int shift = static_cast<int>(time * 46);
        const int highlightRows = 2 * wellH / 5;
        const Color top = palette.topColor, bottom = palette.bottomColor;
        fillRoundedRect(
            canvas, {well.left + offset, well.top, well.left + offset + fill, well.bottom},
            fill >= 16 ? 8 : fill / 2, [=](int x, int y) {
                const double t = static_cast<double>(y) / wellH;
                Color c{mix(top.r, bottom.r, t), mix(top.g, bottom.g, t), mix(top.b, bottom.b, t), 255};
                if (y < highlightRows) {
                    c = {lighten(c.r, 0.78, 56.1), lighten(c.g, 0.78, 56.1), lighten(c.b, 0.78, 56.1), 255};
                }
                if (striped && (x + y + shift) % 28 < 14) {
                    c = {lighten(c.r, 0.91, 22.95), lighten(c.g, 0.91, 22.95), lighten(c.b, 0.91, 22.95),
                         255};
                }
                return c;
            });
    }
    if (!label.empty()) {
        const int x = rect.left + (rect.right - rect.left) / 2 - measureText(labelFont, label) / 2;
        const int baseline = labelFont.ascent / 2 + rect.top + (rect.bottom - rect.top) / 2;
        drawText(labelFont, canvas, x + 2, baseline + 2, label, {10, 5, 2, 200});
        drawText(labelFont, canvas, x, baseline, label, {255, 250, 235, 255});
    }
}

} // namespace ui
