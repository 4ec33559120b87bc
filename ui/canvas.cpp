#include "ui/canvas.h"

namespace ui {

void toBgrx(const Canvas& canvas, std::uint8_t* out) {
    const std::uint8_t* in = canvas.pixels();
    for (std::size_t i = 0; i < canvas.bytes(); i += 4) {
        out[i] = in[i + 2];
        out[i + 1] = in[i + 1];
        out[i + 2] = in[i];
        out[i + 3] = 255;
    }
}

void blitImage(Canvas& canvas, const Image& image, int x, int y, bool useOpacity, int opacity) {
    const std::uint32_t o = static_cast<std::uint32_t>(opacity);
    for (int i = 0; i < image.height; ++i) {
        const int row = y + i;
        if (row < 0 || row >= canvas.height()) continue;
        for (int j = 0; j < image.width; ++j) {
            const int column = x + j;
            if (column < 0 || column >= canvas.width()) continue;
            const std::uint8_t* s = image.pixels + (static_cast<std::size_t>(i) * image.width + j) * 4;
            std::uint8_t* d = canvas.at(column, row);
            const std::uint32_t sa = s[3];
            if (!useOpacity) {
                const std::uint32_t k = 66049u * (255 - sa);
                for (int c = 0; c < 4; ++c)
                    d[c] = static_cast<std::uint8_t>(((k * d[c]) / 65535 + s[c] * 257u) >> 8);
            } else {
                const std::uint32_t t = sa * o * 66049u;
                const std::uint32_t r = 16842495u - (t / 65535) * 257;
                for (int c = 0; c < 3; ++c) {
                    d[c] = static_cast<std::uint8_t>(((d[c] * r + s[c] * o * 66049u) / 65535) >> 8);
                }
                d[3] = static_cast<std::uint8_t>(((d[3] * r + t) / 65535) >> 8);
            }
        }
    }
}

void blendPixel(Canvas& canvas, int x, int y, Color color, double coverage) {
    if (coverage <= 0 || !canvas.contains(x, y)) return;
    const double a = color.a * coverage / 255;
    std::uint8_t* d = canvas.at(x, y);
    const std::uint8_t c[3] = {color.r, color.g, color.b};
    for (int k = 0; k < 3; ++k)
        d[k] = static_cast<std::uint8_t>(static_cast<int>(d[k] * (1 - a) + c[k] * a + 0.5));
}

} // namespace ui
