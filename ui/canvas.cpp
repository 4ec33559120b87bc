#include "ui/canvas.h"

#include <algorithm>

namespace ui {

Rect unite(Rect a, Rect b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

Rect intersect(Rect a, Rect b) {
    const Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    return r.empty() ? Rect{} : r;
}

void Canvas::setClip(Rect r) {
    clip_ = intersect(r, {0, 0, width_, height_});
}

void toBgrx(const Canvas& canvas, std::uint8_t* out, Rect area) {
    area = intersect(area, {0, 0, canvas.width(), canvas.height()});
    for (int y = area.top; y < area.bottom; ++y) {
        const std::uint8_t* in = canvas.at(area.left, y);
        std::uint8_t* o = out + (in - canvas.pixels());
        for (int i = 0; i < (area.right - area.left) * 4; i += 4) {
            o[i] = in[i + 2];
            o[i + 1] = in[i + 1];
            o[i + 2] = in[i];
            o[i + 3] = 255;
        }
    }
}

void blitImage(Canvas& canvas, const Image& image, int x, int y, bool useOpacity, int opacity) {
    const std::uint32_t o = static_cast<std::uint32_t>(opacity);
    if (useOpacity && o == 0) return; // every pixel would stay as it is
    // With opacity, a source value v adds v * o * 66049 and an alpha a keeps keep[a] of the
    // pixel under it; both are worked out once for the picture, not for every pixel.
    std::uint32_t scaled[256], keep[256];
    if (useOpacity) {
        for (std::uint32_t v = 0; v < 256; ++v) {
            scaled[v] = v * o * 66049u;
            keep[v] = 16842495u - (scaled[v] / 65535) * 257;
        }
    }
    const Rect area = intersect(canvas.clip(), {x, y, x + image.width, y + image.height});
    for (int row = area.top; row < area.bottom; ++row) {
        const std::uint8_t* s =
            image.pixels + (static_cast<std::size_t>(row - y) * image.width + area.left - x) * 4;
        std::uint8_t* d = canvas.at(area.left, row);
        for (int column = area.left; column < area.right; ++column, s += 4, d += 4) {
            const std::uint32_t sa = s[3];
            // A transparent pixel of a premultiplied picture changes nothing; without opacity an
            // opaque one replaces the pixel under it. Both give what the blend below would.
            if (sa == 0 && (s[0] | s[1] | s[2]) == 0) continue;
            if (!useOpacity) {
                if (sa == 255) {
                    d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = s[3];
                    continue;
                }
                const std::uint32_t k = 66049u * (255 - sa);
                for (int c = 0; c < 4; ++c)
                    d[c] = static_cast<std::uint8_t>(((k * d[c]) / 65535 + s[c] * 257u) >> 8);
            } else {
                const std::uint32_t r = keep[sa];
                for (int c = 0; c < 3; ++c) {
                    d[c] = static_cast<std::uint8_t>(((d[c] * r + scaled[s[c]]) / 65535) >> 8);
                }
                d[3] = static_cast<std::uint8_t>(((d[3] * r + scaled[sa]) / 65535) >> 8);
            }
        }
    }
}

void blendPixel(Canvas& canvas, int x, int y, Color color, double coverage) {
    if (coverage <= 0 || !canvas.contains(x, y)) return;
    std::uint8_t* d = canvas.at(x, y);
    if (color.a == 255 && coverage == 1) { // the blend below gives the colour itself
        d[0] = color.r, d[1] = color.g, d[2] = color.b;
        return;
    }
    const double a = color.a * coverage / 255;
    const std::uint8_t c[3] = {color.r, color.g, color.b};
    for (int k = 0; k < 3; ++k)
        d[k] = static_cast<std::uint8_t>(static_cast<int>(d[k] * (1 - a) + c[k] * a + 0.5));
}

} // namespace ui
