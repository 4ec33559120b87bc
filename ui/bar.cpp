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

namespace {

// Where the fill lies in a well of the given width: its offset from the well's left and its width.
struct Span {
    int offset, width;
};

Span fillSpan(int wellW, double value, bool indeterminate, double time) {
    if (!indeterminate) return {0, static_cast<int>(std::round(wellW * std::min(1.0, std::max(0.0, value))))};
    const int fill = wellW * 3 / 10;
    return {static_cast<int>((wellW - fill) * ((std::sin(time * 2.4 - std::numbers::pi / 2) + 1) * 0.5)),
            fill};
}

int labelX(Rect rect, const Font& font, const std::string& label) {
    return rect.left + (rect.right - rect.left) / 2 - measureText(font, label) / 2;
}

int labelBaseline(Rect rect, const Font& font) {
    return font.ascent / 2 + rect.top + (rect.bottom - rect.top) / 2;
}

} // namespace

void bar(Canvas& canvas, Rect rect, double value, bool indeterminate, double time, const BarPalette& palette,
         const std::string& label, Scale scale, const Font& font) {
    const int frameH = rect.bottom - rect.top;
    fillRoundedRect(canvas, rect, scale(12), [frameH](int, int y) {
        const double t = static_cast<double>(y) / frameH;
        return Color{mix(240, 150, t), mix(190, 96, t), mix(70, 20, t), 255};
    });
    fillRoundedRect(canvas, inset(rect, scale(3)), scale(10), [](int, int) {
        return Color{58, 34, 10, 255};
    });
    const Rect well = inset(rect, scale(5));
    const int wellH = well.bottom - well.top;
    fillRoundedRect(canvas, well, scale(8), [wellH](int, int y) {
        const double t = static_cast<double>(y) / wellH;
        return Color{mix(14, 34, t), mix(8, 20, t), mix(4, 10, t), 255};
    });

    const auto [offset, fill] = fillSpan(well.right - well.left, value, indeterminate, time);
    if (fill > 0) {
        const bool striped = indeterminate || value < 1;
        // The stripes move as fast, and are as wide, at every scale.
        const int shift = static_cast<int>(time * 46 * scale.halves / 2);
        const int period = scale(28), stripe = scale(14);
        const int highlightRows = 2 * wellH / 5;
        const Color top = palette.topColor, bottom = palette.bottomColor;
        fillRoundedRect(
            canvas, {well.left + offset, well.top, well.left + offset + fill, well.bottom},
            fill >= scale(16) ? scale(8) : fill / 2, [=](int x, int y) {
                const double t = static_cast<double>(y) / wellH;
                Color c{mix(top.r, bottom.r, t), mix(top.g, bottom.g, t), mix(top.b, bottom.b, t), 255};
                if (y < highlightRows) {
                    c = {lighten(c.r, 0.78, 56.1), lighten(c.g, 0.78, 56.1), lighten(c.b, 0.78, 56.1), 255};
                }
                if (striped && (x + y + shift) % period < stripe) {
                    c = {lighten(c.r, 0.91, 22.95), lighten(c.g, 0.91, 22.95), lighten(c.b, 0.91, 22.95),
                         255};
                }
                return c;
            });
    }
    if (!label.empty()) {
        const int x = labelX(rect, font, label), baseline = labelBaseline(rect, font);
        drawText(font, canvas, x + scale(2), baseline + scale(2), label, {10, 5, 2, 200});
        drawText(font, canvas, x, baseline, label, {255, 250, 235, 255});
    }
}

void plainBar(Canvas& canvas, Rect rect, double value, bool indeterminate, double time,
              const std::string& label, Scale scale, const Font& font, const PlainColors& colors) {
    fillRoundedRect(canvas, rect, scale(12), [&](int, int) { return colors.outline; });
    const Rect well = inset(rect, scale(3));
    fillRoundedRect(canvas, well, scale(9), [&](int, int) { return colors.track; });
    const auto [offset, fill] = fillSpan(well.right - well.left, value, indeterminate, time);
    const Rect filled{well.left + offset, well.top, well.left + offset + fill, well.bottom};
    if (fill > 0)
        fillRoundedRect(canvas, filled, std::min(scale(9), fill / 2), [&](int, int) { return colors.fill; });
    if (label.empty()) return;
    // Each pixel of the label takes the colour that reads on what lies under it.
    const int x = labelX(rect, font, label), baseline = labelBaseline(rect, font);
    const Rect clip = canvas.clip();
    canvas.setClip(intersect(clip, filled));
    drawText(font, canvas, x, baseline, label, colors.fillText);
    for (const Rect side : {Rect{rect.left, rect.top, filled.left, rect.bottom},
                            Rect{filled.right, rect.top, rect.right, rect.bottom}}) {
        canvas.setClip(intersect(clip, side));
        drawText(font, canvas, x, baseline, label, colors.outline);
    }
    canvas.setClip(clip);
}

} // namespace ui
